#!/usr/bin/env bash
# The real updater under Wine and Xvfb: installed as "om_updat.exe" in a folder named by the registry,
# it leaves "om_updater_now.exe" beside itself and ends; the copy shows its titled window; "Cancel"
# ends it.
set -euo pipefail
source "$OM_SOURCE_DIR/tests/e2e/lib/common.sh"
source "$OM_SOURCE_DIR/tests/e2e/lib/check_site.sh"
check_begin
win_installation
mv "$inst/om_updater_now.exe" "$inst/om_updat.exe"
# Matches the copy's Wine process, not this script's own text.
copy_running() { pgrep -f '[Cc]:.Ombrix.om_updater_now\.exe' >/dev/null; }

timeout 60 wine 'C:\Ombrix\om_updat.exe' /manual >/dev/null 2>&1 || fail "om_updat.exe did not end by itself"
[ -f "$inst/om_updater_now.exe" ] || fail "no running copy beside the updater"
cmp -s "$inst/om_updat.exe" "$inst/om_updater_now.exe" || fail "the copy differs"
win=$(check_find_window 60)
[ "$(xdotool getwindowname "$win")" = "$(updater_title)" ] || fail "title is $(xdotool getwindowname "$win")"
sleep 1
check_shot win32_startup.png
copy_running || fail "the copy is not running"
# "Cancel": check_now 2 at (4710, 405) twips, 960 x 330, in the client area.
click_button "$win" 4710 405
wait_until 10 eval '! copy_running' || fail "Cancel did not end the copy"
echo "win32 startup e2e passed"
