#!/usr/bin/env bash
# Runs one Windows build's tests under Wine: ./run_ctest.sh BUILD_DIR [ctest args]
#
# The Wine prefix lives in the build folder. Its first start needs a display,
# so it is made once under a virtual one. Wine's background processes inherit
# the output pipe of whoever starts them, so the Wine server is started first,
# detached from ctest's pipes; otherwise every test waits on it and a server
# started from inside a test can hold ctest for good.
set -euo pipefail
build=$(cd "$1" && pwd)
shift
loader=$(sed -n 's/^VELTRANE_WINE_LOADER:[A-Z]*=//p' "$build/CMakeCache.txt")
export WINEPREFIX="$build/wine-prefix" WINEDEBUG=-all

# A 32-bit loader runs only where it is installed (wine32:i386, which
# `make deps` may fail to install) and the kernel runs 32-bit programs (some
# virtual machines' kernels don't).
if [ ! -e "$loader" ]; then
  echo "SKIPPED: $(basename "$build"): $loader is not installed (wine32:i386, see make deps);" \
       "the programs and tests are built, not run."
  exit 0
fi
if ! "$loader" --version >/dev/null 2>&1; then
  echo "SKIPPED: $(basename "$build"): this machine's kernel can't run $loader (no 32-bit program" \
       "support); the programs and tests are built, not run."
  exit 0
fi

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Making the Wine prefix $WINEPREFIX"
  xvfb-run -a "$loader" wineboot --init >/dev/null 2>&1 </dev/null
  wineserver -w
fi
# (Already running when another run of this prefix is under way.)
wineserver -p >/dev/null 2>&1 </dev/null || true
"$loader" cmd /c exit >/dev/null 2>&1 </dev/null || true
status=0
(cd "$build" && ctest --output-on-failure -j2 "$@") || status=$?
wineserver -k >/dev/null 2>&1 || true
exit $status
