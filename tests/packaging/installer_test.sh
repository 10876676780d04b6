#!/usr/bin/env bash
# The Windows installer under Wine, in a fresh prefix that reports Windows XP:
#   installer_test.sh SETUP_EXE GUI_TESTS_EXE
# For the default folder ("Program Files\Corvane Ombrel") and for a folder
# chosen with /D (blanks in every part): a silent install (/S) puts the
# program, its README and licence, a Start-menu shortcut and the Add/Remove
# Programs entry in place; the installed program passes the Windows program
# tests (GUI_TESTS_EXE, the suite of tests/win32_gui, pointed at it); a silent
# uninstall removes every file, folder, shortcut and registry key that the
# install made, and the program's rendering-mode value in the user's settings
# that a killed run leaves (the one a run writes: 11000), but not one the
# user set (7000). Runs itself on a private X server when there is no display.
set -euo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
setup="$(realpath "${1:?installer_test.sh: no installer}")"
gui_tests="$(realpath "${2:?installer_test.sh: no Windows program tests}")"
if [ -z "${DISPLAY:-}" ]; then
  exec "$here/tests/x_run.sh" bash "$0" "$setup" "$gui_tests"
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/corvane-installer.XXXXXX")"
export CORVANE_WINEPREFIX="$work/prefix" CORVANE_WINE_VERSION=winxp
export WINEPREFIX="$CORVANE_WINEPREFIX"
server=/usr/lib/wine/wineserver32
cleanup() {
  WINEPREFIX="$CORVANE_WINEPREFIX" "$server" -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
wine() { "$here/cmake/wine-run.sh" win32 "$@"; }
# The version the entry must show: the installer's own, from its file name.
VERSION="$(basename "$setup" | sed -n 's/^Corvane-Ombrel-\([0-9.]*[0-9]\)-win32-setup\.exe$/\1/p')"
fail() {
  echo "installer test: FAILED: $*" >&2
  exit 1
}
# Polls `condition` every 0.1 s for up to `seconds`.
wait_for() {
  local tries=$(($1 * 10))
  shift
  until "$@"; do
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || return 1
    sleep 0.1
  done
}

started=$(date +%s)
wine --prepare
version="$(wine cmd /c ver 2>/dev/null | tr -d '\r' | grep -o 'Windows [0-9.]*' || true)"
[ "${version#Windows 5.1.}" != "$version" ] || fail "the prefix does not report Windows XP (${version:-nothing})"
echo "Wine prefix reports Windows XP ($version)"
drive_c="$WINEPREFIX/drive_c"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Corvane Ombrel'
emulation='HKCU\Software\Microsoft\Internet Explorer\Main\FeatureControl\FEATURE_BROWSER_EMULATION'
# The program's rendering-mode value as `reg query` shows it ("0x2af8"), or
# nothing.
emulation_value() {
  wine reg query "$emulation" /v "Corvane Ombrel.exe" 2>/dev/null | tr -d '\r' |
    awk '$1 == "Corvane" && $2 == "Ombrel.exe" && $3 == "REG_DWORD" { print $4 }' || true
}

# Every file and folder of the prefix's drive C: but the temporary folders
# (where the uninstaller runs a copy of itself) and what Wine keeps for the
# running programs.
snapshot() {
  (cd "$drive_c" && find . -mindepth 1 \( -ipath './windows/temp' -o -ipath './users/*/temp' \
    -o -ipath './users/*/Local Settings/Temp' -o -ipath './users/*/AppData/Local/Temp' \) -prune \
    -o -print) | LC_ALL=C sort
}
# The keys (one a line) below HKLM\Software and HKCU\Software.
registry_keys() {
  local hive
  for hive in HKLM HKCU; do
    wine reg export "$hive\\Software" "$work/$hive.reg" /y >/dev/null 2>&1 ||
      fail "cannot export $hive\\Software"
    iconv -f UTF-16 -t UTF-8 "$work/$hive.reg" | tr -d '\r' | grep '^\['
  done | LC_ALL=C sort
}

round() {
  local what="$1" folder="$2"  # folder: Windows path, empty for the default
  # The rendering-mode value there before the uninstall: the program's (as a
  # killed run leaves it), which must go, or the user's, which must stay.
  local planted="$3"
  echo "== $what"
  snapshot >"$work/files.before"
  registry_keys >"$work/keys.before"

  # As a person types it: /D= comes last and unquoted, blanks and all, which
  # only a command line given whole keeps (a batch file; cmd waits for it).
  cp "$setup" "$drive_c/corvane-setup.exe"
  printf '@C:\\corvane-setup.exe /S%s\r\n@exit %%ERRORLEVEL%%\r\n' "${folder:+ /D=$folder}" >"$drive_c/install.cmd"
  wine cmd /c 'C:\install.cmd' || fail "$what: the installer answered $?"
  rm -f "$drive_c/corvane-setup.exe" "$drive_c/install.cmd"
  [ -n "$folder" ] || folder='C:\Program Files\Corvane Ombrel'
  local unix
  unix="$(wine winepath -u "$folder" 2>/dev/null | tr -d '\r')"
  local file
  for file in "Corvane Ombrel.exe" README.txt LICENSE.txt Uninstall.exe; do
    [ -f "$unix/$file" ] || fail "$what: $folder\\$file was not installed"
  done
  cmp -s "$unix/Corvane Ombrel.exe" "$here/build/package/win32/Corvane Ombrel.exe" ||
    [ ! -f "$here/build/package/win32/Corvane Ombrel.exe" ] ||
    fail "$what: the installed program is not the packaged one"
  local links
  links="$(cd "$drive_c" && find . -iname 'Corvane Ombrel.lnk' | grep -ci 'start menu' || true)"
  [ "$links" = 1 ] || fail "$what: expected one Start-menu shortcut, found ${links:-none}"
  local entry name want got
  entry="$(wine reg query "$key" 2>/dev/null | tr -d '\r')"
  while IFS='|' read -r name want; do
    got="$(awk -v n="$name" '$1 == n { sub(/^ *[^ ]+ +REG_[A-Z_]+ +/, ""); print }' <<<"$entry")"
    [ "$got" = "$want" ] ||
      fail "$what: the Add/Remove Programs entry's $name is '$got', not '$want':"$'\n'"$entry"
  done <<EOF
DisplayName|Corvane Ombrel
DisplayVersion|$VERSION
Publisher|Varnhollow Industries
InstallLocation|$folder
UninstallString|"$folder\Uninstall.exe"
QuietUninstallString|"$folder\Uninstall.exe" /S
EOF
  snapshot >"$work/files.installed"
  registry_keys >"$work/keys.installed"

  # The installed program itself, started from where it was installed; with
  # the user's own value, that value is there while it runs.
  if [ "$planted" = user ]; then
    wine reg add "$emulation" /v "Corvane Ombrel.exe" /t REG_DWORD /d 7000 /f >/dev/null 2>&1 ||
      fail "$what: cannot set the user's rendering-mode value"
  fi
  CORVANE_PROGRAM="$folder\\Corvane Ombrel.exe" wine "$gui_tests" --gtest_filter="$GUI_FILTER" ||
    fail "$what: the installed program failed its tests"
  if [ "$planted" = program ]; then
    wine reg add "$emulation" /v "Corvane Ombrel.exe" /t REG_DWORD /d 11000 /f >/dev/null 2>&1 ||
      fail "$what: cannot set the program's rendering-mode value"
  fi

  wine "$unix/Uninstall.exe" /S || fail "$what: the uninstaller answered $?"
  # The uninstaller goes on in a copy of itself: wait for its work to show.
  wait_for 60 test ! -e "$unix" || fail "$what: $folder is still there after the uninstall"
  wait_for 60 bash -c "! \"$here/cmake/wine-run.sh\" win32 reg query '$key' >/dev/null 2>&1" ||
    fail "$what: the Add/Remove Programs entry is still there"
  local mode
  mode="$(emulation_value)"
  if [ "$planted" = program ]; then
    [ -z "$mode" ] || fail "$what: the uninstall left the program's rendering-mode value ($mode)"
  else
    [ "$mode" = 0x1b58 ] ||
      fail "$what: the user's rendering-mode value 0x1b58 became '${mode:-nothing}' at the uninstall"
    wine reg delete "$emulation" /v "Corvane Ombrel.exe" /f >/dev/null 2>&1 || true
  fi
  local left
  left="$(LC_ALL=C comm -23 "$work/files.installed" "$work/files.before" | LC_ALL=C comm -12 - <(snapshot))"
  [ -z "$left" ] || fail "$what: the uninstall left files the install made:"$'\n'"$left"
  left="$(LC_ALL=C comm -23 "$work/keys.installed" "$work/keys.before" | LC_ALL=C comm -12 - <(registry_keys))"
  [ -z "$left" ] || fail "$what: the uninstall left registry keys the install made:"$'\n'"$left"
  echo "$what: installed, ran, uninstalled without a trace"
}

# The whole suite on the first round; the session test on the second. All
# tests run in one process here: the one that makes the web control ahead
# needs a process in which no control was made yet (an earlier test's
# program made one), so it runs only in the build's own test run, which
# gives each test a process of its own.
GUI_FILTER='*:-WebHost.TheControlIsMadeAheadOnceTheWindowShownIsDrawn'
round "default folder" "" program
GUI_FILTER='WindowsProgram.SplashThenBrowser*'
round "folder with blanks (/D)" 'C:\My Programs\Web Browsers\Corvane Ombrel' user
echo "installer test passed in $(($(date +%s) - started)) s"
