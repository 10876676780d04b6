# Shared helpers for the build and test scripts. Source it; do not run it.

# Installs the Debian packages that are not installed yet (as root, or via sudo).
ensure_packages() {
  local missing=()
  local pkg
  for pkg in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$pkg")
    fi
  done
  if [ "${#missing[@]}" -eq 0 ]; then
    return 0
  fi
  echo "Installing: ${missing[*]}"
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
  fi
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# Enables the i386 architecture for dpkg when it is not enabled yet.
ensure_i386() {
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
      sudo=(sudo)
    fi
    "${sudo[@]}" dpkg --add-architecture i386
    # Force a fresh package list so the i386 packages are known.
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
  fi
}

# Packages every build needs.
CORE_PACKAGES=(g++ cmake make pkg-config libgtest-dev libgmock-dev libbenchmark-dev python3)

# Packages of the GTK front end, its tests (a private X server, XTEST input, a
# private session bus, the desktop's accessibility bus launcher) and the
# headless demo (window tools, screenshots).
GTK_PACKAGES=(libgtk-3-dev libwebkit2gtk-4.1-dev libx11-dev libxtst-dev xvfb xauth xdotool
  x11-utils dbus-daemon at-spi2-core fonts-liberation imagemagick python3 openssl poppler-utils)

# Packages that make the release files (scripts/package.sh): the Debian
# package's dependencies (dpkg-shlibdeps), the Windows program with the win32
# thread model, the zip and the installer.
PACKAGE_PACKAGES=(dpkg-dev g++-mingw-w64-i686-win32 zip nsis)

# Whether the Windows tests run as 32-bit programs under 32-bit Wine. Not where
# the kernel runs no 32-bit programs (32-bit Wine cannot start there), nor when
# CORVANE_WIN64_TESTS=1 asks for the 64-bit fallback on a machine that could
# run both. Says why, once, when it answers no.
wine32_runs() {
  if [ "${CORVANE_WIN64_TESTS:-0}" = 1 ]; then
    WINE32_WHY="CORVANE_WIN64_TESTS=1 asks for the 64-bit fallback"
    return 1
  fi
  if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    WINE32_WHY="this kernel cannot run 32-bit programs, so 32-bit Wine cannot start here"
    return 1
  fi
  return 0
}

jobs() { nproc 2>/dev/null || echo 2; }
