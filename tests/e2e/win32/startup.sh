#!/usr/bin/env bash
# The real updater under Wine and Xvfb: installed as "om_updat.exe" in a folder named by the registry,
# it leaves "om_updater_now.exe" beside itself and ends; the copy shows its titled window; "Cancel"
# ends it.
set -euo pipefail
: "${OM_BIN_DIR:?}" "${OM_SOURCE_DIR:?}" "${OM_BINARY_DIR:?}"
source "$OM_SOURCE_DIR/tests/win32/wine-env.sh"
work=$(mktemp -d)
template=$WINEPREFIX
export WINEPREFIX=$work/prefix
cleanup() {
  timeout 20 wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
cp -a "$template" "$WINEPREFIX"
inst=$WINEPREFIX/drive_c/Ombrix
mkdir -p "$inst" "$OM_BINARY_DIR/artifacts"
cp "$OM_BIN_DIR/om_updat.exe" "$inst/om_updat.exe"
timeout 60 wine reg add 'HKCU\Software\Kelvane\Ombrix32' /v exepath /d 'C:\Ombrix\' /f >/dev/null
timeout 60 wine reg add 'HKCU\Software\Kelvane\Ombrix32' /v ProductVersion /d 2.1.5.0 /f >/dev/null
# The registry was written without a display: let that wineserver (and the desktop process it started
# without X) end before the updater runs under Xvfb, or the updater's windows never reach the X server.
timeout 30 wineserver -w || true
version=$(sed -n 's/^project([a-z_]* VERSION \([0-9.]*\).*/\1/p' "$OM_SOURCE_DIR/CMakeLists.txt")
IFS=. read -r major minor _patch tweak <<<"$version"
export OM_E2E_INST=$inst OM_E2E_TITLE="Ombrix Web Updater [v. $major.$minor.$tweak U]"
export OM_E2E_SHOT=$OM_BINARY_DIR/artifacts/win32_startup.png
# Matches the copy's Wine process, not this script's own text.
export OM_E2E_COPY='Ombrix.om_updater_now\.exe' 

timeout 120 xvfb-run -a -s "-screen 0 1024x768x24" bash -euo pipefail -c '
fail() { echo "FAIL: $*" >&2; exit 1; }
timeout 60 wine "C:\\Ombrix\\om_updat.exe" /manual || fail "om_updat.exe did not end by itself"
[ -f "$OM_E2E_INST/om_updater_now.exe" ] || fail "no running copy beside the updater"
cmp -s "$OM_E2E_INST/om_updat.exe" "$OM_E2E_INST/om_updater_now.exe" || fail "the copy differs"
win=$(timeout 60 xdotool search --sync --name "Ombrix Web Updater" | head -n 1)
[ "$(xdotool getwindowname "$win")" = "$OM_E2E_TITLE" ] || fail "title is $(xdotool getwindowname "$win")"
sleep 1
import -window root "$OM_E2E_SHOT"
pgrep -f "$OM_E2E_COPY" >/dev/null || fail "the copy is not running"
# "Cancel": check_now 2 at (4710, 405) twips, 960 x 330, in the client area.
xdotool mousemove --window "$win" $(((4710 + 480) / 15)) $(((405 + 165) / 15)) click 1
for _ in $(seq 200); do pgrep -f "$OM_E2E_COPY" >/dev/null || break; sleep 0.05; done
pgrep -f "$OM_E2E_COPY" >/dev/null && fail "Cancel did not end the copy"
echo "win32 startup e2e passed"
'
