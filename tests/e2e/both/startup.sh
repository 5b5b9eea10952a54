#!/usr/bin/env bash
# The real updater (posix, or win64 under Wine) under Xvfb: installed as "om_updat.exe" in the folder
# the registry names, it leaves "om_updater_now.exe" beside itself and ends; the copy shows its titled
# window; "Cancel" ends it. posix also runs it off line (unshare -rn): it ends at once, or after showing
# the connection error for about 2 s with "/manual" (Wine always reports a connection).
set -euo pipefail
source "$OM_SOURCE_DIR/tests/e2e/lib/common.sh"
source "$OM_SOURCE_DIR/tests/e2e/lib/update.sh"
update_begin
make_installation --bare
if win; then
  timeout 60 wine "${win_inst_dos}om_updat.exe" /manual
else
  (cd / && timeout 10 "$inst/om_updat.exe" /manual)
fi >"$work/updater.log" 2>&1 || fail "om_updat.exe did not end by itself ($?)"
e2e_track $(copy_pids)
cmp -s "$inst/om_updat.exe" "$inst/om_updater_now.exe" || fail "no copy of the updater beside it"
win=$(find_window "$(slow 20)")
[ "$(xdotool getwindowname "$win")" = "$(updater_title)" ] || fail "title is $(xdotool getwindowname "$win")"
shot "${OM_E2E_PLATFORM}_startup.png"
copy_running || fail "the copy is not running"
# "Cancel": check_now 2 at (4710, 405) twips, 960 x 330, in the client area.
click_button "$win" 4710 405
wait_until 10 eval '! copy_running' || fail "Cancel did not end the copy"

if ! win; then # Wine's connection state always says connected
  for case in "host/ombrix.html 0 1500" "/manual 1900 5000"; do
    read -r argument least most <<<"$case"
    start=$(now_ms)
    (cd / && timeout 10 unshare -rn "$inst/om_updater_now.exe" "$argument") || fail "off line run $argument failed"
    took=$(($(now_ms) - start))
    [ "$took" -ge "$least" ] && [ "$took" -lt "$most" ] || fail "off line run $argument took $took ms"
  done
fi
echo "$OM_E2E_PLATFORM startup e2e passed"
