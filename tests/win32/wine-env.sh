# Sourced by the Wine test runners: a 64-bit prefix made once per build folder (or OM_WINEPREFIX),
# copied from a ready template when there is one.
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ -z "${WINEPREFIX:-}" ]; then
  export WINEPREFIX=${OM_WINEPREFIX:-${OM_BINARY_DIR:-/tmp}/wineprefix}
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  lock="$WINEPREFIX.lock"
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      timeout 300 wine wineboot --init >/dev/null 2>&1
      timeout 60 wineserver -w
    fi
  ) 9>"$lock"
fi
