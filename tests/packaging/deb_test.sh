#!/usr/bin/env bash
# The Debian package on this machine (as root, or with sudo):
#   deb_test.sh PACKAGE.deb
# It installs with `apt-get install ./PACKAGE.deb`; its files are where a
# desktop looks for them; lintian, appstreamcli and desktop-file-validate
# find nothing to warn about; the installed program shows its splash on a private
# X server; `apt-get remove` leaves none of its files or folders behind.
# The package is removed again whatever happens; one installed before the
# test is not touched (the test refuses to run).
set -euo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
deb="$(realpath "${1:?deb_test.sh: no package}")"
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
name="$(dpkg-deb -f "$deb" Package)"
fail() {
  echo "deb test: FAILED: $*" >&2
  exit 1
}
installed() { dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q 'ok installed'; }
apt_get() {
  # Other package jobs on the machine may hold the lock for a while.
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 -y -q "$@"
}

installed && fail "$name is installed already; remove it first"
cleanup() {
  if installed; then
    apt_get remove "$name" >/dev/null 2>&1 || true
  fi
}
trap cleanup EXIT

# What the package holds: files, and the folders that are its own.
mapfile -t files < <(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print substr($6, 2) }')
mapfile -t own_folders < <(dpkg-deb -c "$deb" | awk '$1 ~ /^d/ { print substr($6, 2) }' |
  sed 's|/$||' | grep -E '/(corvane-ombrel)(/|$)')
[ "${#files[@]}" -gt 0 ] || fail "the package holds no file"

echo "== apt-get install $deb"
apt_get install "$deb" >/dev/null
installed || fail "$name is not installed after apt-get install"
desktop=/usr/share/applications/com.varnhollow.CorvaneOmbrel.desktop
metainfo=/usr/share/metainfo/com.varnhollow.CorvaneOmbrel.metainfo.xml
for file in /usr/bin/corvane-ombrel "$desktop" "$metainfo" /usr/share/man/man1/corvane-ombrel.1.gz \
  /usr/share/icons/hicolor/16x16/apps/corvane-ombrel.png /usr/share/icons/hicolor/32x32/apps/corvane-ombrel.png \
  /usr/share/doc/corvane-ombrel/copyright /usr/share/doc/corvane-ombrel/changelog.gz \
  /usr/share/corvane-ombrel/pictures/icons/logo.png; do
  [ -f "$file" ] || fail "not installed: $file"
done
[ -x /usr/bin/corvane-ombrel ] || fail "/usr/bin/corvane-ombrel is not executable"
python3 -c 'import sys, xml.etree.ElementTree as t; r = t.parse(sys.argv[1]).getroot(); \
  assert r.find("launchable").text == r.find("id").text + ".desktop"' \
  "$metainfo" || fail "the metainfo does not name its desktop entry"

echo "== Debian's own checks: lintian, appstreamcli, desktop-file-validate"
# No error and no warning from any of them (their notes are shown, not held
# against the package).
checks=$(mktemp)
lintian --fail-on error,warning --tag-display-limit 0 "$deb" >"$checks" 2>&1 ||
  { cat "$checks"; fail "lintian found errors or warnings"; }
sed 's/^/  lintian: /' "$checks"
appstreamcli validate --no-net "$metainfo" >"$checks" 2>&1 ||
  { cat "$checks"; fail "appstreamcli validate failed"; }
desktop-file-validate "$desktop" >"$checks" 2>&1 && [ ! -s "$checks" ] ||
  { cat "$checks"; fail "desktop-file-validate found faults"; }
rm -f "$checks"
echo "lintian, appstreamcli validate and desktop-file-validate: clean"

# Every library the program needs is there by the package's dependencies.
if ldd /usr/bin/corvane-ombrel | grep -q 'not found'; then
  fail "libraries missing: $(ldd /usr/bin/corvane-ombrel | grep 'not found')"
fi

echo "== the installed program shows its splash"
"$here/tests/x_run.sh" bash -c '
  set -u
  /usr/bin/corvane-ombrel &
  app=$!
  trap "kill $app 2>/dev/null; wait $app 2>/dev/null" EXIT
  # The splash is the program'\''s first window: visible, without a title.
  for _ in $(seq 1 300); do
    for id in $(xdotool search --onlyvisible --pid "$app" 2>/dev/null); do
      if [ -z "$(xdotool getwindowname "$id" 2>/dev/null)" ]; then
        eval "$(xdotool getwindowgeometry --shell "$id")"
        echo "splash window $id, ${WIDTH} x ${HEIGHT} pixels"
        kill -0 "$app" || exit 1
        exit 0
      fi
    done
    kill -0 "$app" 2>/dev/null || { echo "the program ended" >&2; exit 1; }
    sleep 0.1
  done
  echo "no splash within 30 s" >&2
  exit 1
' || fail "the installed program showed no splash"

echo "== apt-get remove $name"
apt_get remove "$name" >/dev/null
installed && fail "$name is still installed after apt-get remove"
left=()
for path in "${files[@]}" "${own_folders[@]}"; do
  if [ -e "$path" ] || [ -L "$path" ]; then
    left+=("$path")
  fi
done
[ "${#left[@]}" -eq 0 ] || fail "apt-get remove left: ${left[*]}"
echo "deb test passed: installed ${#files[@]} files, showed the splash, removed them all"
