# Shared helpers for the build and test scripts. Source it; do not run it.

# Runs a command as root: directly, or through sudo.
as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  else
    sudo "$@"
  fi
}

# apt-get without questions, waiting for another apt-get to finish.
apt_run() {
  as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 -q "$@"
}

# Runs `apt-get ARGS...` and tries again, a few times with a pause, when it
# fails the way a mirror can make it fail for a while (an index or package
# whose size or hash does not match while the mirror syncs, a time-out, a
# refused connection): one line says what is tried again. Other failures,
# and the last try's, are shown whole and returned.
# CORVANE_APT_TRIES (4) and CORVANE_APT_PAUSE (seconds, 20) set how often
# and how long.
apt_retried() {
  local tries=${CORVANE_APT_TRIES:-4} pause=${CORVANE_APT_PAUSE:-20}
  local try log status reason
  log=$(mktemp "${TMPDIR:-/tmp}/corvane-apt.XXXXXX")
  for ((try = 1; ; try++)); do
    status=0
    apt_run "$@" >"$log" 2>&1 || status=$?
    if [ "$status" -eq 0 ]; then
      rm -f "$log"
      return 0
    fi
    reason=$(grep -m 1 -E 'unexpected size|Hash Sum mismatch|Mirror sync|[Tt]imed? ?out|Temporary failure|Could not (connect|resolve)|Connection (failed|refused|timed out)|Failed to fetch' "$log" |
      cut -c 1-160)
    if [ -z "$reason" ] || [ "$try" -ge "$tries" ]; then
      cat "$log" >&2
      rm -f "$log"
      return "$status"
    fi
    echo "apt-get $1 failed (try $try of $tries: $reason); trying again in $pause s"
    sleep "$pause"
  done
}

# The package lists, fresh (tried again while a mirror is in a bad moment).
apt_update() { apt_retried update; }

# Installs the Debian packages that are not installed yet (as root, or via
# sudo). A machine that has them all runs no apt-get at all. Package lists
# that still cannot be brought up to date after the tries are used as they
# are: the install may still find what it needs.
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
  apt_update || echo "apt-get update still fails; installing from the package lists as they are"
  if ! apt_retried install -y --no-install-recommends "${missing[@]}"; then
    # A list that was stale a moment ago may name a package file the mirror
    # no longer has: once more with fresh lists.
    apt_update || true
    apt_retried install -y --no-install-recommends "${missing[@]}"
  fi
}

# Writes FILE: a 96-byte 32-bit x86 Linux program that only exits with
# status 42.
write_probe32() {
  {
    printf '\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\10\64\0\0\0\0\0\0\0\0\0\0\0'
    printf '\64\0\40\0\1\0\0\0\0\0\0\0'                                         # one program header
    printf '\1\0\0\0\0\0\0\0\0\200\4\10\0\200\4\10\140\0\0\0\140\0\0\0\5\0\0\0\0\20\0\0' # load all
    printf '\270\1\0\0\0\273\52\0\0\0\315\200'                                  # exit(42)
  } >"$1"
  chmod +x "$1"
}

# Whether this kernel runs 32-bit x86 programs (some kernels are built or
# booted without it). Asked before anything 32-bit is installed, by running
# the program write_probe32 writes: no 32-bit package is needed to ask.
kernel_runs_32bit() {
  local dir status=0
  mkdir -p build
  dir=$(mktemp -d "$PWD/build/.probe.XXXXXX")
  write_probe32 "$dir/exit42"
  "$dir/exit42" 2>/dev/null || status=$?
  rm -rf "$dir"
  [ "$status" -eq 42 ]
}

# Whether 32-bit Wine is installed and starts.
wine32_starts() { /usr/lib/wine/wine --version >/dev/null 2>&1; }

# Whether the Windows tests run as 32-bit programs under 32-bit Wine,
# installing it (with the i386 architecture) where it is missing and the
# kernel can run it. Decided once per run: the answer is exported to the
# scripts started after it. Says why, in WINE32_WHY, when it answers no:
# - CORVANE_WIN64_TESTS=1 asks for the 64-bit path on a machine that could
#   run both;
# - the kernel runs no 32-bit programs: no i386 architecture is added and
#   no i386 package asked for;
# - 32-bit Wine's packages cannot be had today (a mirror's i386 index in the
#   middle of a sync): an i386 architecture this call added is removed
#   again, so that apt-get keeps working for everything else.
wine32_runs() {
  case "${CORVANE_WINE_PATH:-}" in
    win32) return 0 ;;
    win64)
      WINE32_WHY=${CORVANE_WINE_WHY:-}
      return 1
      ;;
  esac
  if choose_wine32; then
    export CORVANE_WINE_PATH=win32
    return 0
  fi
  export CORVANE_WINE_PATH=win64 CORVANE_WINE_WHY="$WINE32_WHY"
  return 1
}

choose_wine32() {
  if [ "${CORVANE_WIN64_TESTS:-0}" = 1 ]; then
    WINE32_WHY="CORVANE_WIN64_TESTS=1 asks for the 64-bit fallback"
    return 1
  fi
  if wine32_starts; then
    return 0
  fi
  if ! kernel_runs_32bit; then
    WINE32_WHY="this kernel cannot run 32-bit programs, so 32-bit Wine cannot start here"
    return 1
  fi
  local added=0
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "Adding the i386 architecture for 32-bit Wine"
    as_root dpkg --add-architecture i386
    added=1
  fi
  if apt_update && apt_retried install -y --no-install-recommends wine wine32:i386 && wine32_starts; then
    return 0
  fi
  WINE32_WHY="32-bit Wine cannot be installed here today (the i386 package lists or wine32:i386 failed)"
  if [ "$added" = 1 ]; then
    if as_root dpkg --remove-architecture i386; then
      echo "Removed the i386 architecture again: this run added it and could not use it"
    else
      echo "warning: could not remove the i386 architecture this run added (dpkg --remove-architecture i386)" >&2
    fi
  fi
  return 1
}

# Packages every build needs.
CORE_PACKAGES=(g++ cmake make pkg-config libgtest-dev libgmock-dev libbenchmark-dev python3)

# Packages of the GTK front end, its tests (a private X server, XTEST input, a
# private session bus, the desktop's accessibility bus launcher) and the
# headless demo (window tools, screenshots).
GTK_PACKAGES=(libgtk-3-dev libwebkit2gtk-4.1-dev libx11-dev libxtst-dev xvfb xauth xdotool
  x11-utils dbus-daemon at-spi2-core fonts-liberation imagemagick python3 openssl poppler-utils)

# Packages only the tests need: a 32-bit x86 emulator runs the kernel
# check's own program in the setup test (tests/scripts/setup_test.sh); a
# window manager frames the windows in one end-to-end test (e2e.WindowManager);
# openssl makes the certificates and runs the servers of the Windows TLS test.
TEST_PACKAGES=(qemu-user openbox openssl)

# Packages the Windows program's build needs besides a compiler: the roots its
# own TLS trusts (ca-certificates), Python for the trust-anchor generator.
WINDOWS_PACKAGES=(ca-certificates python3)

# Packages that make the release files (scripts/package.sh): the Debian
# package's dependencies (dpkg-shlibdeps), the Windows program with the win32
# thread model, the zip and the installer.
PACKAGE_PACKAGES=(dpkg-dev g++-mingw-w64-i686-win32 zip nsis)

jobs() { nproc 2>/dev/null || echo 2; }

# Writes, into folder OUT, apt source entries (deb-src) for the archives the
# machine's own apt sources name: the deb822 files (*.sources) and the
# one-line lists (sources.list, *.list). OUT gets sources.list and an empty
# sources.list.d/; the machine's own files are only read.
write_source_entries() {
  local out=$1 etc=${CORVANE_APT_ETC:-/etc/apt} file
  mkdir -p "$out/sources.list.d"
  : >"$out/sources.list.d/.keep"
  : >"$out/sources.list"
  for file in "$etc/sources.list" "$etc"/sources.list.d/*.list; do
    [ -f "$file" ] || continue
    sed -n 's/^[[:space:]]*deb[[:space:]]\+/deb-src /p' "$file" >>"$out/sources.list"
  done
  for file in "$etc"/sources.list.d/*.sources; do
    [ -f "$file" ] || continue
    # deb822 stanzas: each that has "deb" among its Types becomes one of
    # Types: deb-src with the same fields (comments and the Types line out).
    awk -v list="$out/sources.list.d/src-$(basename "$file")" '
      function flush() {
        if (isdeb && body != "") { printf "Types: deb-src\n%s\n", body >> list }
        body = ""; isdeb = 0
      }
      /^[[:space:]]*#/ { next }
      /^[[:space:]]*$/ { flush(); next }
      /^Types:/ { n = split($0, t, /[[:space:]]+/); for (i = 2; i <= n; i++) if (t[i] == "deb") isdeb = 1; next }
      { body = body $0 "\n" }
      END { flush() }' "$file"
  done
}

# Fetches Debian's source package NAME and unpacks its upstream tarball into
# DESTDIR (made; an existing DESTDIR that a former call completed is kept,
# and nothing is asked of apt then). apt checks the files against the signed
# index as for any download. The source entries and package lists live in a
# private folder beside DESTDIR: the machine's apt setup is left as it is.
fetch_source_package() {
  local name=$1 dest=$2
  if [ -f "$dest/.corvane-fetched" ]; then
    return 0
  fi
  local work
  mkdir -p "$(dirname "$dest")"
  work="$(cd "$(dirname "$dest")" && pwd)/.apt-$name"
  rm -rf "$work"
  mkdir -p "$work/lists/partial" "$work/cache/archives/partial" "$work/download"
  write_source_entries "$work/etc"
  local private=(-o "Dir::Etc::SourceList=$work/etc/sources.list"
    -o "Dir::Etc::SourceParts=$work/etc/sources.list.d"
    -o "Dir::State::Lists=$work/lists" -o "Dir::Cache=$work/cache"
    -o "Dir::Cache::pkgcache=" -o "Dir::Cache::srcpkgcache=")
  echo "Fetching the source package $name"
  apt_retried update "${private[@]}" || return
  (cd "$work/download" && apt_retried source --download-only "${private[@]}" "$name") || return
  local orig
  orig=$(find "$work/download" -maxdepth 1 -name "${name}_*.orig.tar.*" | head -n 1)
  if [ -z "$orig" ]; then
    echo "fetch_source_package: no upstream tarball of $name came down" >&2
    return 1
  fi
  rm -rf "$dest.part"
  mkdir -p "$dest.part"
  tar -xf "$orig" -C "$dest.part" --strip-components=1 || return
  basename "$orig" >"$dest.part/.corvane-fetched"
  rm -rf "$dest"
  mv "$dest.part" "$dest"
  rm -rf "$work"
}
