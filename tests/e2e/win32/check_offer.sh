#!/usr/bin/env bash
# The release check of the real win64 updater under Wine and Xvfb against a release site on 127.0.0.1
# that offers a full version (v.2.1.6) and a newer quick update (om_exe.v.2.1.6.exe) to an installed
# 2.1.5: the site is asked through WinHTTP for the support-file listing, the page and the quick-update
# listing, in this order and as "MyCustomUser"; the window grows to 4680 twips so the rich text panel
# with the page's feature section shows; the updater waits for the user, and "Cancel" ends it.
# Screenshot: ${OM_BINARY_DIR}/artifacts/win32_offer.png.
set -euo pipefail
source "$OM_SOURCE_DIR/tests/e2e/lib/common.sh"
source "$OM_SOURCE_DIR/tests/e2e/lib/check_site.sh"
check_begin
win_installation
check_serve "$OM_SOURCE_DIR/tests/fixtures/check_sites/offer"

timeout 150 wine 'C:\Ombrix\om_updater_now.exe' "$site_page" >"$work/updater.log" 2>&1 &
updater=$!
e2e_track "$updater"
check_wait_request /latest_omexe/ 90 >/dev/null
check_assert_requests
[ "$(ls "$work/ftp/check" | wc -l)" = 1 ] || fail "no check-in report before the check"

win=$(check_find_window 30)
[ "$(xdotool getwindowname "$win")" = "$(updater_title)" ] || fail "title is $(xdotool getwindowname "$win")"
# The offer leaves the window tall (4680 twips: 312 px, of which the 25 px of the caption and borders
# lie outside the X window) and the updater waiting.
for _ in $(seq 60); do [ "$(check_window_height "$win")" = 287 ] && break; sleep 0.05; done
[ "$(check_window_height "$win")" = 287 ] || fail "window height $(check_window_height "$win") px, not 287"
sleep 1
kill -0 "$updater" 2>/dev/null || fail "the updater ended instead of waiting for the user: $(cat "$work/updater.log")"
check_shot win32_offer.png

# "Cancel" (check_now 2 at 4710, 405 twips, 960 x 330) ends the program.
timeout 10 xdotool mousemove --window "$win" $(((4710 + 480) / 15)) $(((405 + 165) / 15)) click 1
for _ in $(seq 200); do kill -0 "$updater" 2>/dev/null || break; sleep 0.05; done
kill -0 "$updater" 2>/dev/null && fail "Cancel did not end the updater"
echo "win32 offer e2e passed"
