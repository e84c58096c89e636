#!/bin/sh
# The template po/veltrane.pot, made from every text marked in the sources:
#   po/template.sh          writes it, and brings each LANG.po up to date with it
#   po/template.sh --check  fails when the template is out of date, or a
#                           catalogue lacks a translation or fails msgfmt -c
set -eu
cd "$(dirname "$0")/.."
made=$(mktemp)
trap 'rm -f "$made" "$made.cmp1" "$made.cmp2" "$made.installer"' EXIT

# The program's texts, as marked by platform/translation.h. A text with %1
# is read as Qt's format, whose numbered arguments msgfmt -c then checks in
# every translation. Locations name the file alone, so that the template
# changes only when a text does.
git ls-files '*.cpp' | grep -E '^(app|cli|engine|platform|res|ui)/' | LC_ALL=C sort |
  xgettext --files-from=- --language=C++ --from-code=UTF-8 --qt \
    --keyword= --keyword=Tr --keyword=TrPlural:1,2 --keyword=TR_MARK \
    --add-comments=TRANSLATORS: --package-name=Veltrane --copyright-holder="the Veltrane authors" \
    --msgid-bugs-address=packages@veltrane.org --no-wrap --add-location=file --output="$made"
# The desktop's own files: the entries (Nemo's actions are entries by
# another name), the AppStream data and GNOME Files' extension, which
# the package carries in every language through msgfmt.
xgettext --join-existing --language=Desktop --keyword=Keywords --no-wrap --add-location=file --output="$made" \
  packaging/org.veltrane.Veltrane.desktop packaging/file-managers/*.desktop \
  packaging/file-managers/org.veltrane.Veltrane.nemo_action
xgettext --join-existing --its=/usr/share/gettext/its/metainfo.its --no-wrap --add-location=file --output="$made" \
  packaging/org.veltrane.Veltrane.metainfo.xml.in
# The installer's own texts.
python3 packaging/windows/installer_texts.py pot packaging/windows/installer_texts.nsh > "$made.installer"
xgettext --join-existing --language=PO --no-wrap --add-location=file --output="$made" "$made.installer"
xgettext --join-existing --language=Python --keyword= --keyword=_ --no-wrap --add-location=file --output="$made" \
  packaging/file-managers/nautilus-extension.py

if [ "${1-}" = --check ]; then
  # The creation date changes with every run; the rest must not.
  sed '/^"POT-Creation-Date:/d' "$made" > "$made.cmp1"
  sed '/^"POT-Creation-Date:/d' po/veltrane.pot > "$made.cmp2"
  if ! cmp -s "$made.cmp1" "$made.cmp2"; then
    diff -u "$made.cmp2" "$made.cmp1" | head -n 40
    echo "po/veltrane.pot is out of date with the sources: run 'make pot'." >&2
    exit 1
  fi
  status=0
  for lang in $(grep -v '^#' po/LINGUAS); do
    stats=$(LC_ALL=C msgfmt -c --statistics -o /dev/null "po/$lang.po" 2>&1) || { echo "$stats" >&2; status=1; continue; }
    case "$stats" in
    *untranslated* | *fuzzy*) echo "po/$lang.po: $stats" >&2; status=1 ;;
    esac
    # Every text of the template, no more and no fewer.
    if ! msgcmp --use-untranslated "po/$lang.po" po/veltrane.pot 2>/dev/null ||
       [ -n "$(msgattrib --only-obsolete --no-wrap "po/$lang.po")" ]; then
      echo "po/$lang.po does not hold the template's texts: run 'make pot'." >&2
      status=1
    fi
  done
  exit $status
fi

cp "$made" po/veltrane.pot
for lang in $(grep -v '^#' po/LINGUAS); do
  if [ -f "po/$lang.po" ]; then
    msgmerge --quiet --update --backup=none --no-wrap --no-fuzzy-matching "po/$lang.po" po/veltrane.pot
  else
    msginit --no-translator --no-wrap --locale="$lang" --input=po/veltrane.pot --output-file="po/$lang.po"
  fi
done
