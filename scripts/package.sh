#!/usr/bin/env bash
# Makes the release files in dist/ (Debian 12, installs what it needs):
#   corvane-ombrel_<version>_<arch>.deb        the Linux program (CPack)
#   Corvane-Ombrel-<version>-win32.zip         the Windows program, README.txt, LICENSE.txt
#   Corvane-Ombrel-<version>-win32-setup.exe   the Windows installer (NSIS)
# The version is the program's own (app/identity_values.h). The Windows
# program is the release build of preset win32-release, and it is packaged
# only when its test passes: it must start on Windows XP and stay under 1 MB.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

ensure_packages "${CORE_PACKAGES[@]}" "${GTK_PACKAGES[@]}" "${WINDOWS_PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}"
# BearSSL's sources for the Windows program, as Debian ships them (once).
scripts/fetch-sources.sh

identity() { sed -n "s/^#define CORVANE_$1 \"\{0,1\}\([^\"]*\)\"\{0,1\}$/\1/p" app/identity_values.h; }
version="$(identity VERSION_MAJOR).$(identity VERSION_MINOR).$(identity VERSION_REVISION)"
publisher=$(identity COMPANY_NAME)
exe=$(identity EXE_NAME)
dist=$PWD/dist
stage=$PWD/build/package
rm -rf "$dist" "$stage"
mkdir -p "$dist" "$stage/win32"

echo "== Debian package $version"
cmake --preset linux >/dev/null
# The program and every file the package installs that the build makes
# (the manual page and the changelog, compressed), so that this works on a
# fresh clone as well as after a full build.
cmake --build --preset linux -j "$(jobs)" --target corvane-ombrel corvane_docs
(cd build/linux && cpack -G DEB -B "$stage/deb" >/dev/null)
cp "$stage"/deb/corvane-ombrel_"${version}"_*.deb "$dist/"

echo "== Windows program $version (Windows XP SP3 and later)"
cmake --preset win32-release >/dev/null
cmake --build --preset win32-release -j "$(jobs)"
ctest --preset win32-release

# Text files for Windows have CRLF line ends (Notepad before Windows 10 shows
# nothing else).
crlf() { sed -e 's/\r$//' -e 's/$/\r/' -e "s/@VERSION@/$version/g" "$1" >"$2"; }
cp "build/win32-release/bin/$exe" "$stage/win32/$exe"
crlf programs/windows/README.txt "$stage/win32/README.txt"
crlf LICENSE "$stage/win32/LICENSE.txt"

zip_name="Corvane-Ombrel-$version-win32.zip"
(cd "$stage" && rm -rf "Corvane Ombrel" && cp -r win32 "Corvane Ombrel" &&
  zip -q -X -r "$dist/$zip_name" "Corvane Ombrel")

makensis -V2 -DVERSION="$version" -DPUBLISHER="$publisher" -DSTAGE="$stage/win32" \
  -DOUTFILE="$dist/Corvane-Ombrel-$version-win32-setup.exe" programs/windows/installer.nsi

echo "== Made in dist/:"
ls -l "$dist"
