#!/usr/bin/env bash
# The release check of the real updater (posix, or win64 under Wine) under Xvfb against a release site
# on 127.0.0.1 that offers a full version (v.2.1.6) and a newer quick update (om_exe.v.2.1.6.exe) to an
# installed 2.1.5: the site is asked for the support-file listing, the page and the quick-update
# listing, in this order and as "MyCustomUser"; the window grows to 4680 twips (312 px, less the frame
# outside the X window) so the rich text panel with the page's feature section shows; the updater
# waits for the user (longer than the 1.7 s count-down of an up-to-date check), and "Cancel" ends it.
# Then checks that fail: a missing page (404), one of 20 MB and one that never ends (each platform's
# HTTP stack), and on posix also pages read above the platform: one without the markers and one marked
# "(v.2.1.6/x)". Each stops at the page, offers nothing (the window stays compact), keeps the updater
# under 64 MB and waits for the user, with the message in Label1.
# Screenshots: ${OM_BINARY_DIR}/artifacts/<platform>_offer.png, <platform>_failed_<case>.png.
set -euo pipefail
source "$OM_SOURCE_DIR/tests/e2e/lib/common.sh"
source "$OM_SOURCE_DIR/tests/e2e/lib/update.sh"
update_begin
make_installation --bare
start_site "$OM_SOURCE_DIR/tests/fixtures/check_sites/offer"

start_copy "$site_page"
wait_request /latest_omexe/ "$(slow 30)"
check_requests
[ "$(ls "$work/ftp/check" | wc -l)" = 1 ] || fail "no check-in report before the check"

win=$(find_window "$(slow 10)")
[ "$(xdotool getwindowname "$win")" = "$(updater_title)" ] || fail "title is $(xdotool getwindowname "$win")"
tall=$(twips_height 4680)
wait_until 3 eval '[ "$(window_height "$win")" = '"$tall"' ]' ||
  fail "window height $(window_height "$win") px, not $tall"
# Waiting for the user: still there when an up-to-date check's count-down would have ended it.
waits() { ! wait_until 2.5 eval '! kill -0 "$updater" 2>/dev/null' || fail "$1 the updater ended instead of waiting: $(cat "$work/updater.log")"; }
wait_until 10 grep -q 'Decision: offer' "$(run_log)" || fail "no offer in the log"
waits offer:
shot "${OM_E2E_PLATFORM}_offer.png"

# "Cancel" (check_now 2 at 4710, 405 twips, 960 x 330) ends the program.
click_button "$win" 4710 405
wait_until 10 eval '! kill -0 '"$updater"' 2>/dev/null' || fail "Cancel did not end the updater"

faults="404 huge endless"
[ "$OM_E2E_PLATFORM" = win32 ] || faults="$faults login slashed"
for fault in $faults; do
  start_site "$OM_SOURCE_DIR/tests/fixtures/check_sites/offer" --fault "ombrix.html=$fault"
  start_copy "$site_page"
  wait_request /ombrix.html "$(slow 30)"
  win=$(find_window "$(slow 10)")
  wait_until "$(slow 10)" grep -q 'Check failed: ' "$(run_log)" || fail "$fault: no failed check in the log"
  waits "$fault:"
  ! grep -q '^/latest_omexe/' "$site_log" || fail "$fault: the check went on past the page"
  [ "$(window_height "$win")" = "$(twips_height 2805)" ] || fail "$fault: the window grew: an offer"
  peak=
  for pid in $(copy_pids); do peak=$(awk '/^VmHWM:/ { print $2 }' "/proc/$pid/status"); done
  [ -n "$peak" ] && [ "$peak" -lt 65536 ] || fail "$fault: the updater's peak memory is ${peak:-unknown} kB"
  echo "$fault: failed check, peak memory $peak kB"
  shot "${OM_E2E_PLATFORM}_failed_$fault.png"
  click_button "$win" 4710 405
  wait_until 10 eval '! kill -0 '"$updater"' 2>/dev/null' || fail "$fault: Cancel did not end the updater"
done
echo "$OM_E2E_PLATFORM offer and failed-check e2e passed"
