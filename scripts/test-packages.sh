#!/usr/bin/env bash
# Tests the release files that scripts/package.sh made in dist/:
#   the Windows zip (tests/packaging/zip_test.py),
#   the Debian package checked by lintian, appstreamcli and
#     desktop-file-validate, installed, started and removed with apt-get
#     (tests/packaging/deb_test.sh; as root or with sudo),
#   the Windows installer under Wine, reporting Windows XP: silent install,
#     the Windows program tests on the installed program, silent uninstall
#     (tests/packaging/installer_test.sh; builds the program tests of preset
#     win32 when they are not there yet).
# Where dist/ does not hold the three files yet (a fresh clone), it makes
# them first with scripts/package.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

started=$(date +%s)
ensure_packages python3 xvfb xauth xdotool x11-utils lintian appstream desktop-file-utils
shopt -s nullglob
release_files() {
  debs=(dist/corvane-ombrel_*.deb)
  zips=(dist/Corvane-Ombrel-*-win32.zip)
  setups=(dist/Corvane-Ombrel-*-win32-setup.exe)
  [ "${#debs[@]}" -eq 1 ] && [ "${#zips[@]}" -eq 1 ] && [ "${#setups[@]}" -eq 1 ]
}
if ! release_files; then
  echo "dist/ does not hold the three release files: making them (scripts/package.sh)"
  bash scripts/package.sh
  release_files || { echo "scripts/package.sh did not make the three release files" >&2; exit 1; }
fi

echo "== Windows zip"
python3 tests/packaging/zip_test.py "${zips[0]}"

echo "== Debian package"
bash tests/packaging/deb_test.sh "${debs[0]}"

echo "== Windows installer"
if wine32_runs; then
  gui_tests=build/win32/bin/corvane_win32_gui_tests.exe
  if [ ! -f "$gui_tests" ]; then
    ensure_packages googletest g++-mingw-w64-i686-posix "${WINDOWS_PACKAGES[@]}" openssl
    scripts/fetch-sources.sh
    cmake --preset win32 >/dev/null
    cmake --build --preset win32 -j "$(jobs)" --target corvane_win32_gui_tests
  fi
  bash tests/packaging/installer_test.sh "${setups[0]}" "$gui_tests"
else
  echo "SKIPPED: the 32-bit installer and the program it installs need 32-bit Wine ($WINE32_WHY)"
fi
echo "Release file tests took $(($(date +%s) - started)) s"
