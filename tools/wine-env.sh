# Sourced, not run. Prepares one isolated Wine session for a whole test run:
# its own X display, HOME (with Documents), prefix and persistent wineserver.
#   tarvix_wine_setup      export DISPLAY, HOME, WINEPREFIX, ... and start them
#   tarvix_wine_teardown   stop them and remove the temporary folder
# With TARVIX_WINE_KEEP set to a folder, that folder holds the session instead and
# is kept, so its prefix and Documents survive between runs (scripts/run).
# A HOME without Documents would make Wine map Documents to HOME itself.

tarvix_wineserver() {
  if command -v wineserver >/dev/null 2>&1; then wineserver "$@"
  elif [ -x /usr/lib/wine/wineserver64 ]; then /usr/lib/wine/wineserver64 "$@"
  else /usr/lib/wine/wineserver "$@"; fi
}

tarvix_wine_setup() {
  if [ -n "${TARVIX_WINE_KEEP:-}" ]; then
    TARVIX_WINE_DIR=$TARVIX_WINE_KEEP
    mkdir -p "$TARVIX_WINE_DIR"
  else
    TARVIX_WINE_DIR=$(mktemp -d "${TMPDIR:-/tmp}/tarvix-wine.XXXXXX")
  fi
  mkdir -p "$TARVIX_WINE_DIR/home/Documents"
  export TARVIX_WINE_DIR
  export HOME="$TARVIX_WINE_DIR/home"
  export WINEPREFIX="$TARVIX_WINE_DIR/prefix"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEARCH=win64

  if [ -z "${TARVIX_KEEP_DISPLAY:-}" ] || [ -z "${DISPLAY:-}" ]; then
    : > "$TARVIX_WINE_DIR/display"
    Xvfb -displayfd 9 -screen 0 1280x1024x24 -nolisten tcp \
      9>"$TARVIX_WINE_DIR/display" >/dev/null 2>&1 &
    TARVIX_XVFB_PID=$!
    export TARVIX_XVFB_PID
    local i
    for i in $(seq 1 100); do
      [ -s "$TARVIX_WINE_DIR/display" ] && break
      sleep 0.1
    done
    if [ ! -s "$TARVIX_WINE_DIR/display" ]; then
      echo "tarvix: Xvfb did not start" >&2
      return 1
    fi
    export DISPLAY=":$(head -n1 "$TARVIX_WINE_DIR/display")"
  fi

  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1 || { echo "tarvix: wineboot failed" >&2; return 1; }
  fi
  tarvix_wineserver -p >/dev/null 2>&1 || true
  export TARVIX_WINE_READY=1
}

tarvix_wine_teardown() {
  [ -n "${TARVIX_WINE_DIR:-}" ] || return 0
  tarvix_wineserver -k >/dev/null 2>&1 || true
  tarvix_wineserver -w >/dev/null 2>&1 || true
  if [ -n "${TARVIX_XVFB_PID:-}" ]; then
    kill "$TARVIX_XVFB_PID" 2>/dev/null || true
    wait "$TARVIX_XVFB_PID" 2>/dev/null || true
  fi
  [ -n "${TARVIX_WINE_KEEP:-}" ] || rm -rf "$TARVIX_WINE_DIR"
  unset TARVIX_WINE_DIR TARVIX_WINE_READY TARVIX_XVFB_PID
}
