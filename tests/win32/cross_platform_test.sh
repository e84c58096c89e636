#!/usr/bin/env bash
# A file encrypted by one system's build decrypts byte for byte with the
# other's, both ways, with keys shorter and longer than the data.
#   cross_platform_test.sh LINUX_CLI WINDOWS_CLI WINE_LOADER
set -euo pipefail
linux=$1 windows=$2 wine=$3
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"

run_windows() { "$wine" "$windows" "$@" </dev/null; }

fail=0
for size in 1 1000 300001; do
  for keysize in 1 777 400000; do
    head -c "$size" /dev/urandom > plain
    head -c "$keysize" /dev/urandom > key.bin
    for way in linux-windows windows-linux; do
      cp plain data.bin
      if [ $way = linux-windows ]; then
        "$linux" encrypt -q -k key.bin -o 201 data.bin
        run_windows decrypt -q -k key.bin -o 201 data.bin
      else
        run_windows encrypt -q -k key.bin -o 201 data.bin
        "$linux" decrypt -q -k key.bin -o 201 data.bin
      fi
      if cmp -s plain data.bin; then
        echo "ok   $way: data $size, key $keysize"
      else
        echo "FAIL $way: data $size, key $keysize"
        fail=1
      fi
    done
    # Both builds make the same cipher bytes, not only undo each other.
    cp plain a.bin; cp plain b.bin
    "$linux" encrypt -q -k key.bin -o 9 a.bin
    run_windows encrypt -q -k key.bin -o 9 b.bin
    cmp -s a.bin b.bin || { echo "FAIL: cipher bytes differ, data $size, key $keysize"; fail=1; }
  done
done
exit $fail
