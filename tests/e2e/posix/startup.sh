#!/usr/bin/env bash
# The real updater under Xvfb: installed as "om_updat.exe" it leaves its running copy beside itself and
# ends; the copy shows its titled window; "Cancel" ends it. Off line (unshare -rn) it ends at once, or
# after showing the connection error for about 2 s with "/manual".
set -euo pipefail
: "${OM_BIN_DIR:?}" "${OM_SOURCE_DIR:?}" "${OM_BINARY_DIR:?}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
inst=$work/Ombrix
mkdir -p "$inst" "$OM_BINARY_DIR/artifacts"
cp "$OM_BIN_DIR/om_updat.exe" "$inst/om_updat.exe"
cat >"$work/hkcu.reg" <<REG
REGEDIT4

[HKEY_CURRENT_USER\\Software\\Kelvane\\Ombrix32]
"exepath"="$inst/"
"ProductVersion"="2.1.5.0"
REG
export OMBRIX_HKCU_FILE=$work/hkcu.reg
version=$(sed -n 's/^project([a-z_]* VERSION \([0-9.]*\).*/\1/p' "$OM_SOURCE_DIR/CMakeLists.txt")
IFS=. read -r major minor _patch tweak <<<"$version"
title="Ombrix Web Updater [v. $major.$minor.$tweak U]"
export OM_E2E_INST=$inst OM_E2E_TITLE=$title OM_E2E_SHOT=$OM_BINARY_DIR/artifacts/posix_startup.png

timeout 60 xvfb-run -a -s "-screen 0 1024x768x24" bash -euo pipefail -c '
fail() { echo "FAIL: $*" >&2; exit 1; }
cd /
# The installed updater relaunches and ends by itself.
timeout 10 "$OM_E2E_INST/om_updat.exe" /manual || fail "om_updat.exe did not end by itself"
[ -x "$OM_E2E_INST/om_updater_now.exe" ] || fail "no running copy beside the updater"
cmp -s "$OM_E2E_INST/om_updat.exe" "$OM_E2E_INST/om_updater_now.exe" || fail "the copy differs"

win=$(timeout 10 xdotool search --sync --name "Ombrix Web Updater" | head -n 1)
[ "$(xdotool getwindowname "$win")" = "$OM_E2E_TITLE" ] || fail "title is $(xdotool getwindowname "$win")"
pid=$(pgrep -f "$OM_E2E_INST/om_updater_now.exe" | head -n 1)
[ -n "$pid" ] || fail "the copy is not running"
sleep 0.5
import -window root "$OM_E2E_SHOT"
# "Cancel": check_now 2 at (4710, 405) twips, 960 x 330.
xdotool mousemove --window "$win" $(((4710 + 480) / 15)) $(((405 + 165) / 15)) click 1
for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
kill -0 "$pid" 2>/dev/null && fail "Cancel did not end the copy"

# Off line, not manual: ends at once, no window.
start=$(date +%s%N)
timeout 10 unshare -rn "$OM_E2E_INST/om_updater_now.exe" host/ombrix.html || fail "off line run failed"
took=$((($(date +%s%N) - start) / 1000000))
[ "$took" -lt 1500 ] || fail "off line run took $took ms"
# Off line with /manual: the error shows for about 2 s.
start=$(date +%s%N)
timeout 10 unshare -rn "$OM_E2E_INST/om_updater_now.exe" /manual || fail "manual off line run failed"
took=$((($(date +%s%N) - start) / 1000000))
[ "$took" -ge 1900 ] && [ "$took" -lt 5000 ] || fail "manual off line run took $took ms"
echo "startup e2e passed"
'
