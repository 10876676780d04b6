#!/usr/bin/env bash
# A headless tour of the browser: starts it, dismisses the splash, waits for
# the start page, opens the About box, and saves a screenshot of each step.
#   bash scripts/demo.sh [OUTPUT_FOLDER]
# Environment (optional):
#   CORVANE_DEMO_PROGRAM     the program to run (default: build/linux/corvane-ombrel)
#   CORVANE_DEMO_SERVE_PORT  serve a few local pages on this loopback port while
#                            the demo runs (for a build that opens them)
# Without a display it runs itself on a private X server.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$here/build/demo}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"

if [ -z "${DISPLAY:-}" ]; then
  exec "$here/tests/x_run.sh" bash "$0" "$out"
fi

program="${CORVANE_DEMO_PROGRAM:-$here/build/linux/corvane-ombrel}"
suffix=" - Corvane Ombrel - Varnhollow Software"
work="$(mktemp -d)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT

if [ -n "${CORVANE_DEMO_SERVE_PORT:-}" ]; then
  for page in first:First second:Second home:Home search:Search; do
    cat >"$work/${page%%:*}.html" <<HTML
<!DOCTYPE html><html><head><meta charset="utf-8"><title>${page#*:} Page</title></head>
<body style="font-family: sans-serif; background: #eef3f8"><h1>${page#*:} Page</h1>
<p>Served from the loopback address for the demo.</p></body></html>
HTML
  done
  python3 -m http.server "$CORVANE_DEMO_SERVE_PORT" --bind 127.0.0.1 --directory "$work" \
    >/dev/null 2>&1 &
  pids+=($!)
fi

# Polls `condition` every 0.1 s for up to `seconds`; fails with `what`.
wait_for() {
  local seconds="$1" what="$2"
  shift 2
  local tries=$((seconds * 10))
  until "$@"; do
    tries=$((tries - 1))
    if [ "$tries" -le 0 ]; then
      echo "demo: timed out waiting for $what" >&2
      return 1
    fi
    sleep 0.1
  done
}
window_titled() {  # prints the id of the program's window whose title matches
  local id
  for id in $(xdotool search --onlyvisible --pid "$app" 2>/dev/null); do
    if xdotool getwindowname "$id" 2>/dev/null | grep -Eq "$1"; then
      echo "$id"
      return 0
    fi
  done
  return 1
}
has_window() { window_titled "$1" >/dev/null; }
# The browser window names a page: its caption ends with the suffix and is
# not the busy caption.
page_shown() {
  local id title
  id="$(window_titled "${suffix}\$")" || return 1
  title="$(xdotool getwindowname "$id")"
  [ "${title#Working...}" = "$title" ]
}
shot() {
  import -window root "$out/$1"
  echo "$out/$1"
}

"$program" &
app=$!
pids+=("$app")

wait_for 30 "the splash window" has_window '^$'
splash="$(window_titled '^$')"
shot 1-splash.png

xdotool windowfocus "$splash"
xdotool key space
wait_for 30 "the start page" page_shown
browser="$(window_titled "${suffix}\$")"
shot 2-browser.png

eval "$(xdotool getwindowgeometry --shell "$browser")"
xdotool mousemove $((X + 6 * 31 + 15)) $((Y + 15)) click 1
wait_for 30 "the About box" has_window '^About Corvane Ombrel$'
shot 3-about.png
