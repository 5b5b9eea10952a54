#!/usr/bin/env bash
# The real updater under Xvfb: installed as "om_updat.exe" it leaves its running copy beside itself and
# ends; the copy shows its titled window; "Cancel" ends it. Off line (unshare -rn) it ends at once, or
# after showing the connection error for about 2 s with "/manual".
set -euo pipefail
source "$OM_SOURCE_DIR/tests/e2e/lib/common.sh"
source "$OM_SOURCE_DIR/tests/e2e/lib/check_site.sh"
check_begin
posix_installation
mv "$inst/om_updater_now.exe" "$inst/om_updat.exe"
cd /

# The installed updater relaunches and ends by itself.
timeout 10 "$inst/om_updat.exe" /manual || fail "om_updat.exe did not end by itself"
[ -x "$inst/om_updater_now.exe" ] || fail "no running copy beside the updater"
cmp -s "$inst/om_updat.exe" "$inst/om_updater_now.exe" || fail "the copy differs"
copy_running() { pgrep -f "$inst/om_updater_now.exe" >/dev/null; }
copy_running || fail "the copy is not running"
e2e_track "$(pgrep -f "$inst/om_updater_now.exe" | head -n 1)"

win=$(check_find_window 10)
[ "$(xdotool getwindowname "$win")" = "$(updater_title)" ] || fail "title is $(xdotool getwindowname "$win")"
sleep 0.5
check_shot posix_startup.png
# "Cancel": check_now 2 at (4710, 405) twips, 960 x 330.
click_button "$win" 4710 405
wait_until 5 eval '! copy_running' || fail "Cancel did not end the copy"

# Off line, not manual: ends at once, no window.
start=$(now_ms)
timeout 10 unshare -rn "$inst/om_updater_now.exe" host/ombrix.html || fail "off line run failed"
took=$(($(now_ms) - start))
[ "$took" -lt 1500 ] || fail "off line run took $took ms"
# Off line with /manual: the error shows for about 2 s.
start=$(now_ms)
timeout 10 unshare -rn "$inst/om_updater_now.exe" /manual || fail "manual off line run failed"
took=$(($(now_ms) - start))
[ "$took" -ge 1900 ] && [ "$took" -lt 5000 ] || fail "manual off line run took $took ms"
echo "startup e2e passed"
