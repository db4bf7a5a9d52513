#!/usr/bin/env bash
# Takes the README's screenshots from the real program: the main window
# after a run, and the Players window with a preview. With --extra DIR it
# also shoots, into DIR, the help window, the History window, and the
# History window at QT_SCALE_FACTOR=2, each with the whole screen beside it,
# to check that it fits.
#
#   bash scripts/screenshots.sh [--build build/ci] [--out docs/screenshots] [--extra DIR] [--display :97]
#
# Needs the program and tavrin-make-league built, and Xvfb, xdotool and
# ImageMagick (apt-get install -y xvfb xdotool imagemagick). Everything runs
# on a virtual screen of 1280 by 1024 pixels, without a window manager, in
# a folder of its own: the league is made by our generator, and the
# settings, cache and history live there too, never in the user's.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=$here/build/ci
out=$here/docs/screenshots
extra=
display=:97
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=$(cd "$2" && pwd); shift 2 ;;
    --out) out=$2; shift 2 ;;
    --extra) extra=$2; shift 2 ;;
    --display) display=$2; shift 2 ;;
    *) echo "screenshots.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
for tool in Xvfb xdotool import convert xdpyinfo; do
  command -v $tool >/dev/null || { echo "screenshots.sh: $tool is missing (apt-get install -y xvfb xdotool imagemagick x11-utils)" >&2; exit 1; }
done
program=$build/app/tavrin
[ -x "$program" ] || { echo "screenshots.sh: build the program first ($program)" >&2; exit 1; }

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.1; done

mkdir -p "$work/runtime" "$out" && chmod 700 "$work/runtime"
export DISPLAY=$display XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache \
       XDG_DATA_HOME=$work/data TAVRIN_LEAGUE_FOLDER=$work/league
"$build/tools/tavrin-make-league" "$work/league" --players 300 --base Demo >/dev/null
league=$work/league/Demo.lge

# Starts the program on the league and waits for its main window.
start() {
  "$program" -style fusion "$league" >>"$work/program.log" 2>&1 &
  app=$!
  pids+=($app)
  main=$(xdotool search --sync --onlyvisible --name '^Tavrin v\.')
  focus "$main"
}
# Keys go to the focused window only (there is no window manager).
focus() { xdotool windowfocus --sync "$1"; sleep 0.3; }
window() { xdotool search --sync --onlyvisible --name "$1" | head -n 1; }
# The window alone, in 32 colours without dithering (text and flat faces
# lose nothing): small enough to keep in the repository.
shoot() {
  sleep 0.5
  import -window "$1" "$work/shot.png"
  convert "$work/shot.png" -strip +dither -colors 32 "PNG8:$2"
  echo "wrote $2 ($(identify -format '%wx%h' "$2"))"
}
stop() { kill "$app"; wait "$app" 2>/dev/null || true; }

start
# Tab goes OK, Cancel, the options, the list: the list's second entry,
# "Rookies", then OK (Alt+O) runs on the league given.
xdotool key Tab Tab Tab Down Down
xdotool key alt+o
sleep 2
shoot "$main" "$out/main-window.png"

# Restore Pots (the options answer the arrow keys), then View > Players…
# (Ctrl+L) and its preview (Alt+P).
xdotool key shift+Tab Down Down
xdotool key ctrl+l
players=$(window '^Players of Demo.lge$')
focus "$players"
xdotool key alt+p
sleep 2
shoot "$players" "$out/players-preview.png"

if [ -n "$extra" ]; then
  mkdir -p "$extra"
  focus "$main"
  xdotool key F1
  shoot "$(window '^Tavrin Help$')" "$extra/help.png"
  focus "$main"
  xdotool key ctrl+h
  shoot "$(window '^History of Demo.lge$')" "$extra/history.png"
  stop
  # The same History window at twice the scale, on the same screen.
  QT_SCALE_FACTOR=2 start
  xdotool key ctrl+h
  history=$(window '^History of Demo.lge$')
  shoot "$history" "$extra/history-scale2.png"
  xdotool getwindowgeometry "$history"
  import -window root "$extra/history-scale2-screen.png"
  echo "wrote $extra/history-scale2-screen.png"
fi
