#!/usr/bin/env bash
# Runs a Windows program of this build under Wine: wine-run.sh ARCH PROGRAM [ARGS...]
# with ARCH win32 or win64. The prefix is $CORVANE_WINEPREFIX, or one per
# user and ARCH in the temporary folder; it is created and pre-warmed on
# first use. `wine-run.sh ARCH --prepare` only does that. A new prefix
# reports the Windows version $CORVANE_WINE_VERSION (winecfg's names:
# winxp, win7, win10, ...) when that is set, else Wine's default.
set -euo pipefail

arch=${1:?wine-run.sh: no architecture}
shift
case "$arch" in
  win32) loader=/usr/lib/wine/wine server=/usr/lib/wine/wineserver32 ;;
  win64) loader=/usr/lib/wine/wine64 server=/usr/lib/wine/wineserver64 ;;
  *) echo "wine-run.sh: unknown architecture $arch" >&2; exit 2 ;;
esac

export WINEARCH=$arch
export WINEPREFIX=${CORVANE_WINEPREFIX:-${TMPDIR:-/tmp}/corvane-wine-$arch-$(id -u)}
export WINELOADER=$loader WINESERVER=$server
# fixme-all, not -all: a missing DLL must still be reported.
export WINEDEBUG=${WINEDEBUG:-fixme-all}
# No .NET or Gecko installer dialogs while the prefix is made.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree=;appwiz.cpl="}

# Children of the helpers below must not keep the lock (fd 9) nor the
# caller's output open: the server and the services outlive this script,
# and a test runner waits until every holder of its pipe has gone.
quiet() { "$@" </dev/null >/dev/null 2>&1 9>&-; }

prepare() {
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.corvane-ready" ]; then
      rm -rf "$WINEPREFIX"
      quiet "$loader" wineboot -i
      quiet "$server" -w
      # Without a window manager, managed windows stall on hide/destroy.
      quiet "$loader" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
      if [ -n "${CORVANE_WINE_VERSION:-}" ]; then
        quiet "$loader" reg add 'HKCU\Software\Wine' /v Version /d "$CORVANE_WINE_VERSION" /f
      fi
      quiet "$server" -w
      touch "$WINEPREFIX/.corvane-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
}

# One server, and the services it starts, stay up for all the programs that
# run one after the other; without it each pays the start-up (seconds).
warm() {
  (
    flock 9
    if quiet "$server" -p300; then  # 0: it was not running and now is
      quiet "$loader" cmd /c exit
    fi
  ) 9>"$WINEPREFIX.lock"
}

if [ ! -f "$WINEPREFIX/.corvane-ready" ]; then
  prepare
fi
warm
if [ "${1:-}" = "--prepare" ]; then
  exit 0
fi
exec "$loader" "$@"
