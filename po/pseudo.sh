#!/bin/sh
# The pseudo-language's catalogue from the template: pseudo.sh TEMPLATE OUT.mo.
# Each vowel is doubled and accented, which makes a text about two fifths
# longer, and the whole is put in brackets; arguments (%1), escapes (\n)
# and the Windows loop's %f are left as they are.
set -eu
msgen --no-wrap "$1" | sed 's/^"Plural-Forms: .*"$/"Plural-Forms: nplurals=2; plural=(n != 1);\\n"/' |
  msgfilter --keep-header --no-wrap sed -e 's/a/áà/g; s/e/éè/g; s/i/íì/g; s/o/óò/g; s/u/úù/g' \
    -e 's/A/ÁÀ/g; s/E/ÉÈ/g; s/I/ÍÌ/g; s/O/ÓÒ/g; s/U/ÚÙ/g' -e '1s/^./[&/' -e '$s/.$/&]/' |
  msgfmt -o "$2" -
