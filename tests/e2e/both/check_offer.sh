#!/usr/bin/env bash
# The release check of the real updater (posix, or win64 under Wine) under Xvfb against a release site
# on 127.0.0.1 that offers a full version (v.2.1.6) and a newer quick update (om_exe.v.2.1.6.exe) to an
# installed 2.1.5: the site is asked for the support-file listing, the page and the quick-update
# listing, in this order and as "MyCustomUser"; the window grows to 4680 twips (312 px, less the frame
# outside the X window) so the rich text panel with the page's feature section shows; the updater
# waits for the user, and "Cancel" ends it.
# Screenshot: ${OM_BINARY_DIR}/artifacts/<platform>_offer.png.
set -euo pipefail
source "$OM_SOURCE_DIR/tests/e2e/lib/common.sh"
source "$OM_SOURCE_DIR/tests/e2e/lib/check_site.sh"
check_begin
installation
check_serve "$OM_SOURCE_DIR/tests/fixtures/check_sites/offer"

start_copy "$site_page"
check_wait_request /latest_omexe/ "$(slow 30)" >/dev/null
check_assert_requests
[ "$(ls "$work/ftp/check" | wc -l)" = 1 ] || fail "no check-in report before the check"

win=$(check_find_window "$(slow 10)")
[ "$(xdotool getwindowname "$win")" = "$(updater_title)" ] || fail "title is $(xdotool getwindowname "$win")"
tall=$((312 - $(frame_px)))
wait_until 3 eval '[ "$(check_window_height "$win")" = '"$tall"' ]' ||
  fail "window height $(check_window_height "$win") px, not $tall"
sleep 1
kill -0 "$updater" 2>/dev/null || fail "the updater ended instead of waiting for the user: $(cat "$work/updater.log")"
check_shot "${OM_E2E_PLATFORM}_offer.png"

# "Cancel" (check_now 2 at 4710, 405 twips, 960 x 330) ends the program.
click_button "$win" 4710 405
wait_until 10 eval '! kill -0 '"$updater"' 2>/dev/null' || fail "Cancel did not end the updater"
echo "$OM_E2E_PLATFORM offer e2e passed"
