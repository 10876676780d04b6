#!/usr/bin/env bash
# Builds the core and the Windows adapters for 32-bit Windows and runs the
# Windows tests under Wine, in a fresh prefix made for this run. Installs what
# it needs (Debian 12).
#
# Where the kernel runs no 32-bit programs (IA-32 emulation switched off,
# as on some virtual machines), 32-bit Wine cannot start at all, and where
# its i386 packages cannot be had on the day (a mirror in the middle of a
# sync), it cannot be installed. The 32-bit build is still made, and the
# same tests are then built for 64-bit Windows and run under 64-bit Wine:
# the same advapi32 and CreateProcess code paths. CORVANE_WIN64_TESTS=1
# takes that path where 32-bit Wine would start too (scripts/lib.sh,
# wine32_runs, decides and says why).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

started=$(date +%s)
# The Windows program's tests open windows: Wine draws them on Xvfb.
# openssl runs the local servers of the TLS test.
ensure_packages "${CORE_PACKAGES[@]}" "${WINDOWS_PACKAGES[@]}" googletest g++-mingw-w64-i686-posix \
  g++-mingw-w64-i686-win32 xvfb xauth openssl
# BearSSL's sources, as Debian ships them (once).
scripts/fetch-sources.sh

echo "== 32-bit Windows build"
cmake --preset win32
preset=win32
if wine32_runs; then
  cmake --build --preset win32 -j "$(jobs)"
else
  # The tests cannot run here as 32-bit programs: build the program's own
  # code for 32-bit Windows (warnings are errors there too), then the tests
  # for 64-bit Windows.
  cmake --build --preset win32 -j "$(jobs)" --target corvane_core corvane_fake corvane_win32 corvane_marker \
    corvane_win32_program
  echo "The Windows tests run as 64-bit programs under 64-bit Wine: $WINE32_WHY."
  ensure_packages g++-mingw-w64-x86-64-posix wine wine64
  preset=win64
  cmake --preset win64
  cmake --build --preset win64 -j "$(jobs)"
fi

# A fresh prefix for this run, gone afterwards with its server.
prefix_root=$(mktemp -d "${TMPDIR:-/tmp}/corvane-wine.XXXXXX")
export CORVANE_WINEPREFIX="$prefix_root/prefix"
case "$preset" in
  win32) server=/usr/lib/wine/wineserver32 ;;
  win64) server=/usr/lib/wine/wineserver64 ;;
esac
cleanup() {
  WINEPREFIX="$CORVANE_WINEPREFIX" "$server" -k >/dev/null 2>&1 || true
  rm -rf "$prefix_root"
}
trap cleanup EXIT

echo "== Windows tests under Wine ($preset)"
# Under Xvfb from the prefix's first start on, so Wine's desktop has a display.
export CORVANE_PRESET=$preset CORVANE_JOBS=$(jobs)
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  set -euo pipefail
  prefix_started=$(date +%s)
  cmake/wine-run.sh "$CORVANE_PRESET" --prepare
  echo "Wine prefix made and warmed in $(( $(date +%s) - prefix_started )) s"
  ctest --preset "$CORVANE_PRESET" -j "$CORVANE_JOBS"
'
echo "Windows build and tests took $(( $(date +%s) - started )) s"
