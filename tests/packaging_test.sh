#!/usr/bin/env bash
# Installs into a staging prefix and builds the Debian package, as a packager
# would, then checks what lands where and that the packaged program runs.
# Usage: packaging_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
source=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$work/stage" >/dev/null
for file in bin/veltrane bin/veltrane-cli share/man/man1/veltrane-cli.1.gz \
            share/man/man1/veltrane.1.gz share/doc/veltrane/ReadMe.txt \
            share/doc/veltrane/veltrane.png share/doc/veltrane/copyright \
            share/doc/veltrane/changelog.gz \
            share/applications/org.veltrane.Veltrane.desktop \
            share/Thunar/sendto/org.veltrane.Veltrane.desktop \
            share/nemo/actions/org.veltrane.Veltrane.nemo_action \
            share/kio/servicemenus/org.veltrane.Veltrane.desktop \
            share/nautilus-python/extensions/veltrane.py \
            share/metainfo/org.veltrane.Veltrane.metainfo.xml; do
  [ -f "$work/stage/$file" ] || fail "installing left out $file"
done
[ -f "$work/stage/share/bash-completion/completions/veltrane-cli" ] || fail "no bash completion"
for size in 16 32 48 64 128 256; do
  icon=$work/stage/share/icons/hicolor/${size}x${size}/apps/org.veltrane.Veltrane.png
  [ -f "$icon" ] || fail "no ${size}px icon"
  file "$icon" | grep -q "$size x $size" || fail "the ${size}px icon has another size"
done
desktop-file-validate "$work/stage/share/applications/org.veltrane.Veltrane.desktop" \
  "$work/stage/share/Thunar/sendto/org.veltrane.Veltrane.desktop"
# Never the program that opens a file: the entry claims no type, and with
# the package's files, as its install trigger indexes them, and the system's
# MIME database alone, neither GIO nor xdg-mime names it for any type. It is
# offered for any file all the same where the desktop lists every program,
# and on the context menus; file_managers_check.py launches each as they do.
grep -q '^MimeType=' "$work/stage/share/applications/org.veltrane.Veltrane.desktop" \
  && fail "the desktop entry claims file types"
update-desktop-database "$work/stage/share/applications"
export XDG_DATA_DIRS=$work/stage/share:/usr/share XDG_DATA_HOME=$work/home XDG_CONFIG_HOME=$work/config \
       XDG_CONFIG_DIRS=$work/config VELTRANE_LAUNCHED=$work/launched
unset XDG_CURRENT_DESKTOP DESKTOP_SESSION KDE_FULL_SESSION
for type in application/octet-stream text/plain application/pdf image/png; do
  if gio mime "$type" | grep -q veltrane || [ "$(xdg-mime query default "$type")" = org.veltrane.Veltrane.desktop ]; then
    fail "Veltrane is a program for $type"
  fi
done
mkdir "$work/bin"
mkfifo "$work/launched"
printf '#!/bin/sh\nprintf "%%s\\n" "$@" > "$VELTRANE_LAUNCHED"\n' > "$work/bin/veltrane"
chmod +x "$work/bin/veltrane"
echo data > "$work/data.bin"
PATH=$work/bin:$PATH /usr/bin/python3 "$source/tests/file_managers_check.py" "$work/stage/share" "$work/data.bin"
for entry in Thunar/sendto/org.veltrane.Veltrane.desktop nemo/actions/org.veltrane.Veltrane.nemo_action \
             kio/servicemenus/org.veltrane.Veltrane.desktop; do
  grep -q '^Name=Encrypt or decrypt with Veltrane$' "$work/stage/share/$entry" || fail "$entry has another name"
  grep -Eq '^Exec=veltrane %[fF]$' "$work/stage/share/$entry" || fail "$entry hands over no file"
done
appstreamcli validate --no-net "$work/stage/share/metainfo/org.veltrane.Veltrane.metainfo.xml" >/dev/null \
  || fail "AppStream data invalid"
grep -q "version=\"$version\"" "$work/stage/share/metainfo/org.veltrane.Veltrane.metainfo.xml" \
  || fail "AppStream data has another version"

(cd "$work" && cpack --config "$build/CPackConfig.cmake" -B "$work/deb" >/dev/null)
deb=$(ls "$work"/deb/*.deb)
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version is not $version"
# Computed from the binaries: the toolkit and the C++ runtime must be there.
depends=$(dpkg-deb -f "$deb" Depends)
for library in libwx libstdc++ libc6; do
  echo "$depends" | grep -q "$library" || fail "Depends lacks $library: $depends"
done
dpkg-deb -x "$deb" "$work/root"
[ -x "$work/root/usr/bin/veltrane" ] || fail "package lacks the window program"
[ "$("$work/root/usr/bin/veltrane-cli" --version)" = "veltrane-cli $version" ] \
  || fail "packaged veltrane-cli does not run"
# Every language of po/ in the package: the programs' catalogue where
# gettext looks for it, and the desktop's files in that language.
for lang in $(grep -v '^#' "$source/po/LINGUAS"); do
  msgunfmt "$work/root/usr/share/locale/$lang/LC_MESSAGES/veltrane.mo" >/dev/null || fail "the package lacks $lang.mo"
  for entry in applications/org.veltrane.Veltrane.desktop nemo/actions/org.veltrane.Veltrane.nemo_action \
               kio/servicemenus/org.veltrane.Veltrane.desktop; do
    grep -q "^Name\[$lang\]=" "$work/root/usr/share/$entry" || fail "$entry has no name in $lang"
  done
  grep -q "<summary xml:lang=\"$lang\">" "$work/root/usr/share/metainfo/org.veltrane.Veltrane.metainfo.xml" \
    || fail "the AppStream data has no summary in $lang"
done

# What a distribution checks first: any error or warning fails. (Run as root,
# lintian also says that it is; that notice is not a finding.)
if ! findings=$(lintian --fail-on error,warning "$deb" 2>&1) || grep -q '^[EW]: ' <<<"$findings"; then
  fail "lintian finds fault with the package:"$'\n'"$findings"
fi
# Built as a distribution builds a security tool: lintian's notes on
# hardening are findings too, and hardening-check agrees on each program.
hardening=$(lintian -I "$deb" 2>&1 | grep 'hardening-') && fail "lintian: $hardening"
for program in veltrane veltrane-cli; do
  hardening-check "$work/root/usr/bin/$program" >&2 || fail "$program is not fully hardened"
done
# The changelog's newest entry is this release, signed by the maintainer.
zcat "$work/root/usr/share/doc/veltrane/changelog.gz" > "$work/changelog"
[ "$(dpkg-parsechangelog -l "$work/changelog" -S Version)" = "$version" ] \
  || fail "the changelog's newest entry is not $version"
[ "$(dpkg-parsechangelog -l "$work/changelog" -S Maintainer)" = "$(dpkg-deb -f "$deb" Maintainer)" ] \
  || fail "the changelog is signed by someone other than the maintainer"
# The copyright file and the read-me that the About box names carry the
# terms of LICENSE word for word.
terms() { sed 's/^ \.$//; s/^ //' "$1" | sed -n '/^Permission is hereby/,/^SOFTWARE\.$/p'; }
for copy in copyright ReadMe.txt; do
  diff <(terms "$source/LICENSE") <(terms "$work/root/usr/share/doc/veltrane/$copy") >&2 \
    || fail "$copy does not carry the terms of LICENSE"
done
echo "packaging checks passed"
