#!/usr/bin/env bash
# The setup helpers of scripts/lib.sh against stand-ins for apt-get, dpkg
# and dpkg-query, which keep the machine's state (architectures, installed
# packages, a mirror's mood) in a folder of the test's own and log every
# call. Nothing on the real machine is asked for or changed.
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/corvane-setup-test.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The stand-ins. $STATE/arches: foreign architectures; $STATE/installed:
# packages; $STATE/mirror: "fail N" (the next N updates fail as a mirror in
# sync does), "i386" (updates fail while i386 is added), "ok"; $STATE/log:
# one line per call.
mkdir -p "$work/bin"
cat >"$work/bin/apt-get" <<'EOF'
#!/usr/bin/env bash
echo "apt-get $*" >>"$STATE/log"
args=" $* "
mood=$(cat "$STATE/mirror")
for arg in "$@"; do  # the source entries a private setup names
  case "$arg" in
    Dir::Etc::SourceList=*) cat "${arg#*=}" >>"$STATE/sources" ;;
    Dir::Etc::SourceParts=*) cat "${arg#*=}"/*.sources >>"$STATE/sources" 2>/dev/null ;;
  esac
done
case "$args" in
  *" source "*)
    mkdir -p pkg-1.0/src && echo "int x;" >pkg-1.0/src/x.c
    tar -cJf "${*: -1}_1.0.orig.tar.xz" pkg-1.0 && rm -rf pkg-1.0
    exit 0 ;;
  *" update "*)
    case "$mood" in
      fail\ *)
        left=${mood#fail }
        if [ "$left" -gt 0 ]; then
          echo "fail $((left - 1))" >"$STATE/mirror"
          echo "E: Failed to fetch http://deb.example/debian/dists/bookworm/main/binary-amd64/Packages.xz  File has unexpected size (1234 != 5678). Mirror sync in progress? [IP: 192.0.2.1 80]"
          exit 100
        fi ;;
      i386)
        if grep -qx i386 "$STATE/arches"; then
          echo "E: Failed to fetch http://deb.example/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (100 != 200). Mirror sync in progress? [IP: 192.0.2.1 80]"
          echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
          exit 100
        fi ;;
      broken)
        echo "E: Malformed entry 1 in list file /etc/apt/sources.list.d/x.list (Component)"
        exit 100 ;;
    esac
    exit 0 ;;
  *" install "*)
    for pkg in "$@"; do
      case "$pkg" in
        -*|install) ;;
        *:i386)
          grep -qx i386 "$STATE/arches" || { echo "E: Unable to locate package $pkg"; exit 100; }
          [ "$mood" = i386 ] && { echo "E: Unable to locate package $pkg"; exit 100; }
          echo "$pkg" >>"$STATE/installed" ;;
        *) echo "$pkg" >>"$STATE/installed" ;;
      esac
    done
    exit 0 ;;
esac
exit 0
EOF
cat >"$work/bin/dpkg" <<'EOF'
#!/usr/bin/env bash
echo "dpkg $*" >>"$STATE/log"
case "$1" in
  --print-foreign-architectures) cat "$STATE/arches" ;;
  --add-architecture) echo "$2" >>"$STATE/arches" ;;
  --remove-architecture) grep -vx "$2" "$STATE/arches" >"$STATE/arches.new"; mv "$STATE/arches.new" "$STATE/arches" ;;
esac
EOF
cat >"$work/bin/dpkg-query" <<'EOF'
#!/usr/bin/env bash
pkg=${*: -1}
grep -qx "$pkg" "$STATE/installed" && printf 'install ok installed'
true
EOF
printf '#!/usr/bin/env bash\nexec "$@"\n' >"$work/bin/sudo"
chmod +x "$work/bin/"*

passed=0
failed=0
check() {  # check NAME CONDITION...
  local name=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $name"
    echo "  calls:"
    sed 's/^/    /' "$STATE/log"
    echo "  output:"
    sed 's/^/    /' "$STATE/out"
  fi
}
logged() { grep -q -- "$1" "$STATE/log"; }
said() { grep -q -- "$1" "$STATE/out"; }
count() { grep -c -- "$1" "$STATE/log"; }

# A fresh machine state: MOOD, the architectures added, the packages there.
fresh() {
  export STATE="$work/state.$1"
  mkdir -p "$STATE"
  echo "$2" >"$STATE/mirror"
  printf '%s' "$3" >"$STATE/arches"
  printf '%s\n' "${@:4}" >"$STATE/installed"
  : >"$STATE/log"
}

# Runs the helpers in a shell of their own, with the stand-ins first on the
# PATH. KERNEL32=yes|no answers the kernel check; 32-bit Wine starts once
# wine32:i386 is installed.
run() {
  (
    cd "$top" || exit 1
    export PATH="$work/bin:$PATH" CORVANE_APT_PAUSE=0 CORVANE_APT_TRIES=4
    unset CORVANE_WINE_PATH CORVANE_WINE_WHY CORVANE_WIN64_TESTS
    # shellcheck source=scripts/lib.sh
    source scripts/lib.sh
    kernel_runs_32bit() { echo "kernel check" >>"$STATE/log"; [ "$KERNEL32" = yes ]; }
    wine32_starts() { grep -qx 'wine32:i386' "$STATE/installed"; }
    eval "$1"
  ) >"$STATE/out" 2>&1
}

# 1. A mirror mid-sync fails the update twice, then serves it: the package
# is installed, each retry said in one line.
fresh mirror-twice "fail 2" ""
KERNEL32=no run 'ensure_packages zip'
status=$?
check "a mirror failing twice is tried again until the update passes" \
  test "$status" -eq 0 -a "$(count 'apt-get .*update')" -eq 3 -a "$(grep -c 'trying again' "$STATE/out")" -eq 2
check "the package is installed after the retries" grep -qx zip "$STATE/installed"
check "the retry says what failed" said 'try 1 of 4: .*unexpected size'

# 2. A mirror that keeps failing: the update is given up after the tries, and
# the install still goes on from the lists as they are.
fresh mirror-always "fail 99" ""
KERNEL32=no run 'ensure_packages zip'
check "a mirror that keeps failing is tried four times, then the install goes on" \
  test "$(count 'apt-get .*update')" -eq 4 -a "$(count 'apt-get .*install')" -ge 1

# 3. A failure no mirror causes is not tried again.
fresh broken "broken" ""
KERNEL32=no run 'apt_update'
check "a broken source list fails at once, with its message" \
  test "$(count 'apt-get .*update')" -eq 1
check "its message is shown" said 'Malformed entry'

# 4. The kernel runs no 32-bit programs: the 64-bit path, and nothing 32-bit
# is ever asked for.
fresh no-ia32 "ok" ""
KERNEL32=no run 'if wine32_runs; then echo path=win32; else echo "path=win64 why=$WINE32_WHY"; fi'
check "no 32-bit kernel takes the 64-bit path" said 'path=win64 why=this kernel cannot run 32-bit'
check "no 32-bit kernel adds no i386 architecture and asks for no i386 package" \
  bash -c '! grep -q -e "--add-architecture" -e "i386" "$STATE/log"'

# 5. The kernel could run 32-bit Wine, but the mirror's i386 lists keep
# failing: the 64-bit path, with the reason, and i386 removed again so that
# apt-get update works for the rest.
fresh i386-broken "i386" ""
KERNEL32=yes run 'if wine32_runs; then echo path=win32; else echo "path=win64 why=$WINE32_WHY"; fi
  apt_update && echo "update after: ok"'
check "i386 lists that cannot be had take the 64-bit path" said 'path=win64 why=32-bit Wine cannot be installed'
check "the i386 architecture this run added is removed again" \
  bash -c 'grep -q -- "--add-architecture i386" "$STATE/log" && ! grep -qx i386 "$STATE/arches"'
check "apt-get update works again afterwards" said 'update after: ok'

# 6. An i386 architecture the machine had before is left as it was.
fresh i386-theirs "i386" "i386"
KERNEL32=yes run 'wine32_runs; true'
check "an i386 architecture added before this run stays" \
  bash -c 'grep -qx i386 "$STATE/arches" && ! grep -q -- "--remove-architecture" "$STATE/log"'

# 7. The kernel runs 32-bit programs and the mirror is well: 32-bit Wine is
# installed, the architecture added first, and the answer passed on.
fresh ia32 "ok" ""
KERNEL32=yes run 'if wine32_runs; then echo "path=$CORVANE_WINE_PATH"; fi'
check "a 32-bit kernel with a good mirror installs 32-bit Wine" \
  bash -c 'grep -q "path=win32" "$STATE/out" && grep -qx "wine32:i386" "$STATE/installed"'

# 8. A machine that has everything runs no apt-get and no kernel check.
fresh ready "fail 99" "i386" zip wine32:i386
KERNEL32=yes run 'ensure_packages zip && wine32_runs && echo ready'
check "a machine that has everything runs no apt-get at all" \
  bash -c 'grep -q ready "$STATE/out" && [ ! -s "$STATE/log" ] || grep -q "^dpkg --print" "$STATE/log" && ! grep -q apt-get "$STATE/log"'

# 9. CORVANE_WIN64_TESTS=1 asks for the 64-bit path even where 32-bit Wine
# could run; the answer reaches the scripts run after.
fresh forced "ok" "i386" wine32:i386
KERNEL32=yes run 'export CORVANE_WIN64_TESTS=1; wine32_runs; bash -c "source scripts/lib.sh; wine32_runs || echo \"child: \$WINE32_WHY\""'
check "the 64-bit path asked for is taken and passed on" said 'child: CORVANE_WIN64_TESTS=1 asks'

# 10. The kernel check's own program: a 32-bit x86 program exiting with 42
# (run where a 32-bit x86 emulator is at hand; the kernel itself may not).
if command -v qemu-i386 >/dev/null; then
  (cd "$top" && source scripts/lib.sh && write_probe32 "$work/probe")
  qemu-i386 "$work/probe"
  status=$?
  STATE=$work/state.probe && mkdir -p "$STATE" && : >"$STATE/log" && echo "exit $status" >"$STATE/out"
  check "the kernel check's program exits with 42" test "$status" -eq 42
else
  echo "SKIPPED: the kernel check's program (no qemu-i386 here)"
fi

# 11. A source package: deb-src entries made from the machine's sources of
# both forms, the update tried again while the mirror syncs, the upstream
# tarball unpacked; a second call asks apt nothing.
fresh source "fail 1" ""
etc=$work/etc-apt
mkdir -p "$etc/sources.list.d"
echo "deb [arch=amd64] http://deb.example/debian bookworm main" >"$etc/sources.list"
printf 'Types: deb\n# a comment\nURIs: http://deb.example/debian\nSuites: bookworm\nComponents: main\n\nTypes: deb-src\nURIs: http://src.example/only\nSuites: x\n' \
  >"$etc/sources.list.d/debian.sources"
KERNEL32=no run "export CORVANE_APT_ETC=$etc
  fetch_source_package pkg $work/deps/pkg-src && fetch_source_package pkg $work/deps/pkg-src && echo fetched"
fetched() { said fetched && [ "$(count 'apt-get .*update')" -eq 2 ] && [ -f "$work/deps/pkg-src/src/x.c" ]; }
check "a source package is fetched after the mirror's retry and unpacked" fetched
check "the second call asks apt nothing" test "$(count ' source --download-only')" -eq 1
check "deb-src entries are made from both forms of the machine's sources" \
  bash -c 'grep -q "^deb-src \[arch=amd64\] http://deb.example/debian bookworm main" "$STATE/sources" &&
    grep -q "^Types: deb-src" "$STATE/sources" && grep -q "^URIs: http://deb.example/debian" "$STATE/sources" &&
    ! grep -q "src.example\|^Types: deb$\|comment" "$STATE/sources"'
check "the machine's own apt setup is not named" bash -c '! grep -q "Dir::Etc::SourceList=/etc" "$STATE/log"'

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
