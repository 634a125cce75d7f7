#!/usr/bin/env bash
# Starts the built tarvix.exe under Wine beside the vJoy stand-in and shows the
# stand-in's axes and buttons live. Called by scripts/run after the build.
#   --demo   move the (virtual) mouse by itself, for machines without a display
# With a working X display (DISPLAY set) the window opens there and your own
# mouse steers; without one, a private virtual display is used and --demo is on.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bin=$root/build/windows/bin
demo=0
[ "${1:-}" = "--demo" ] && demo=1

# One kept session under build/, so settings and profiles survive between runs.
export TARVIX_WINE_KEEP=$root/build/run-session
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  export TARVIX_KEEP_DISPLAY=1
else
  unset DISPLAY
  demo=1
fi
. tools/wine-env.sh
tarvix_wine_setup
app=$TARVIX_WINE_DIR/app
mkdir -p "$app"
cp "$bin/tarvix.exe" "$bin/standin/vJoyInterface.dll" "$app/"

# First run: show the window instead of starting in the tray.
settings=$HOME/Documents/Tarvix/settings.txt
if [ ! -f "$settings" ]; then
  mkdir -p "$(dirname "$settings")"
  printf 'startMin=0\r\n' > "$settings"
fi

export TARVIX_STANDIN_STATE=$TARVIX_WINE_DIR/vjoy-state.txt
rm -f "$TARVIX_STANDIN_STATE"
wine "$app/tarvix.exe" >/dev/null 2>&1 &
pid=$!
cleanup() {
  kill "$pid" 2>/dev/null || true
  [ -n "${demo_pid:-}" ] && kill "$demo_pid" 2>/dev/null
  tarvix_wine_teardown
  echo
}
trap cleanup EXIT INT TERM

echo "Tarvix runs under Wine (display $DISPLAY). Settings: $settings"
if [ "$demo" = 1 ]; then
  echo "No display of yours: the virtual mouse moves by itself (--demo)."
  # Wine sees pointer motion only over its own windows: start over an empty
  # spot of the panel, and click there once so a Wine window has the focus.
  ( set +e +o pipefail  # a search that finds nothing yet is no failure
    for _ in $(seq 1 100); do
      win=$(xdotool search --onlyvisible --name '^Tarvix v0\.5\.6$' 2>/dev/null | head -n1)
      [ -n "$win" ] && break
      sleep 0.2
    done
    sleep 2  # a click before the window is ready gives Wine no focus
    xdotool mousemove --window "$win" 200 625 click 1
    # One xdotool call per sweep, quicker than the centring pulls the wheel back.
    right=$(for _ in $(seq 1 25); do printf 'mousemove_relative -- 6 0 sleep 0.012 '; done)
    left=$(for _ in $(seq 1 25); do printf 'mousemove_relative -- -6 0 sleep 0.012 '; done)
    while true; do
      xdotool $right
      sleep 1
      xdotool $left
      sleep 1
    done ) >/dev/null 2>&1 &
  demo_pid=$!
else
  echo "Move the mouse: horizontal motion steers. F4 locks the mouse, Ctrl+R re-centres."
  echo "Exit from the tray menu (Wine's system tray window) or press Ctrl+C here."
fi
echo "Axes of vJoy device 1 (0..32767, wheel centre 16384):"
while kill -0 "$pid" 2>/dev/null; do
  if [ -s "$TARVIX_STANDIN_STATE" ]; then
    line=$(head -n1 "$TARVIX_STANDIN_STATE" 2>/dev/null || true)
    printf '\r  %-100s' "$(echo "$line" | sed -E 's/ R[XYZ]=[^ ]*//g; s/ SL[01]=[^ ]*//g')"
  fi
  sleep 0.1
done
wait "$pid" || true
