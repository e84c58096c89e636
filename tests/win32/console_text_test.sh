#!/usr/bin/env bash
# Text that veltrane-cli.exe writes to a file from a console (`2> err.txt`,
# `> help.txt`) is what Windows' own console programs write: the console's
# code page, CRLF line ends; `type` in the same console shows it as the
# program would have, and it says what the program says to a program that
# reads its output without a console (UTF-8, LF). Under Wine the console is
# the terminal that `script` gives it, in code page 850 here.
#   console_text_test.sh WINDOWS_CLI WINE_LOADER
set -euo pipefail
cli=$1 wine=$2
dir=$(mktemp -d "${TMPDIR:-/var/tmp}/veltrane-console-XXXXXX")
trap 'rm -rf "$dir"' EXIT
cd "$dir"
fail=0
# cmd reads a batch file in the console's code page.
printf '%s\r\n' '@chcp 850 >nul' "@\"Z:${cli//\//\\}\" encrypt -k none.key Ärger.txt 2> err.txt" \
  "@\"Z:${cli//\//\\}\" /? > help.txt" '@type err.txt' | iconv -f UTF-8 -t CP850 >run.bat
script -qec "'$wine' cmd /c run.bat" typescript </dev/null >/dev/null 2>&1 || true
# The same, read by a program without a console.
"$wine" "$cli" encrypt -k none.key Ärger.txt 2>err.utf8 </dev/null || true
"$wine" "$cli" /? >help.utf8 </dev/null
for f in err help; do
  [ "$(grep -c $'\r$' $f.txt)" = "$(wc -l <$f.txt)" ] || { echo "$f.txt: lines without CR"; fail=1; }
  iconv -f CP850 -t UTF-8 $f.txt | tr -d '\r' | cmp -s - $f.utf8 || { echo "$f.txt is not the text in code page 850"; fail=1; }
done
grep -qF "$(cat err.utf8)" typescript || { echo "type shows something else:"; cat -v typescript; fail=1; }
exit $fail
