#!/usr/bin/env bash
# Runs a command on a private X server with a private home folder, so that GUI
# tests running side by side never share a keyboard focus or a settings file.
#   tests/x_run.sh COMMAND [ARGS...]
set -uo pipefail
tmp=$(mktemp -d)
xvfb_pid=""
cleanup() {
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
  rm -rf "$tmp"
}
trap cleanup EXIT

export HOME="$tmp/home" XDG_RUNTIME_DIR="$tmp/run" XDG_CONFIG_HOME="$tmp/config" \
  XDG_CACHE_HOME="$tmp/cache" XDG_DATA_HOME="$tmp/data" XDG_STATE_HOME="$tmp/state"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_DATA_HOME" "$XDG_STATE_HOME"
mkdir -m 700 "$XDG_RUNTIME_DIR"
export WEBKIT_DISABLE_COMPOSITING_MODE=1 NO_AT_BRIDGE=1 GTK_A11Y=none
unset WAYLAND_DISPLAY

# Xvfb picks a free display itself and reports it once it accepts clients.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -dpi 96 3>"$tmp/display" \
  >"$tmp/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 200); do
  [ -s "$tmp/display" ] && break
  sleep 0.05
done
if [ ! -s "$tmp/display" ]; then
  echo "Xvfb did not start:" >&2
  cat "$tmp/xvfb.log" >&2
  exit 1
fi
export DISPLAY=":$(head -n1 "$tmp/display")"
# Under load the server may report its number before it takes clients.
if command -v xdpyinfo >/dev/null 2>&1; then
  for _ in $(seq 1 200); do
    xdpyinfo >/dev/null 2>&1 && break
    sleep 0.05
  done
fi
"$@"
status=$?
if [ "$status" -ne 0 ]; then
  # For the record: was the server still there, and what did it say?
  if kill -0 "$xvfb_pid" 2>/dev/null; then
    echo "x_run: the X server on $DISPLAY was still running" >&2
  else
    echo "x_run: the X server on $DISPLAY had ended" >&2
  fi
  tail -n 20 "$tmp/xvfb.log" >&2
fi
exit "$status"
