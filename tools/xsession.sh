# Sourced by the tools: gives the run a display (Xvfb when there is none) and
# stops, on exit, the Xvfb and every persistent wineserver the run started.
# Expects $BUILD_DIR to be the build folder; each width's prefixes are
# under its own build.

stop_session() {
  local prefix
  for prefix in "$BUILD_DIR"/wine/*/ "$BUILD_DIR"/win*/wine/*/; do
    [ -f "$prefix/system.reg" ] && WINEPREFIX="${prefix%/}" wineserver -k >/dev/null 2>&1 || true
  done
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap stop_session EXIT

if [ -z "${DISPLAY:-}" ]; then
  display_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
  export DISPLAY=":$(cat "$display_file")"
  rm -f "$display_file"
fi
