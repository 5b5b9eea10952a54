#!/usr/bin/env bash
# The release check of the real win64 updater under Wine and Xvfb against a release site on 127.0.0.1
# whose page is "(v.2.1.5)" with empty listings, for an installed 2.1.5: the site is asked through
# WinHTTP for the support-file listing, the page and the quick-update listing, in this order and as
# "MyCustomUser"; the window stays compact (2805 twips: 187 px, of which the 25 px of the caption and
# borders lie outside the X window) with the congratulation and the exit count-down, and the program
# ends by itself about 1.7 s later.
# Screenshot: ${OM_BINARY_DIR}/artifacts/win32_uptodate.png.
set -euo pipefail
source "$OM_SOURCE_DIR/tests/fixtures/check_sites/check_lib.sh"
check_platform_cleanup() { om_wine_stop; }
check_begin
export WINEPREFIX=$check_work/prefix
source "$OM_SOURCE_DIR/tests/win32/wine-env.sh"
check_serve "$OM_SOURCE_DIR/tests/fixtures/check_sites/uptodate"

inst=$WINEPREFIX/drive_c/Ombrix
mkdir -p "$inst"
cp "$OM_BIN_DIR/om_updat.exe" "$inst/om_updater_now.exe"
cp "$OM_TEST_PROGRAMS/ombrix32_2.1.5.exe" "$inst/ombrix32.exe"
printf 'ombrix 2.1.5\r\n' >"$inst/current_version.txt"
timeout 60 wine reg add 'HKCU\Software\Kelvane\Ombrix32' /v exepath /d 'C:\Ombrix\' /f >/dev/null 2>&1
timeout 60 wine reg add 'HKCU\Software\Kelvane\Ombrix32' /v ProductVersion /d 2.1.5.0 /f >/dev/null 2>&1

timeout 150 wine 'C:\Ombrix\om_updater_now.exe' "$check_page" >"$check_work/updater.log" 2>&1 &
updater=$!
check_pids+=($updater)
win=$(check_find_window 60)
checked=$(check_wait_request /latest_omexe/ 90)
[ "$(xdotool getwindowname "$win")" = "$(check_title)" ] || fail "title is $(xdotool getwindowname "$win")"
sleep 0.4
height=$(check_window_height "$win")
check_shot win32_uptodate.png
[ "$height" = 162 ] || fail "window height $height px, not 162"
shot_at=$(check_now_ms)
kill -0 "$updater" 2>/dev/null || fail "the updater ended before its count-down (screenshot done $((shot_at - checked)) ms after the check): $(cat "$check_work/updater.log")"

# The count-down ends the program by itself.
for _ in $(seq 200); do kill -0 "$updater" 2>/dev/null || break; sleep 0.025; done
ended=$(check_now_ms)
kill -0 "$updater" 2>/dev/null && fail "the updater did not end by itself after its count-down"
status=0
wait "$updater" || status=$?
[ "$status" = 0 ] || fail "the updater ended with status $status: $(cat "$check_work/updater.log")"
took=$((ended - checked))
[ "$took" -ge 1600 ] && [ "$took" -le 3500 ] || fail "the updater ended $took ms after the check, not about 1.7 s"
check_assert_requests
[ "$(wc -l <"$check_work/requests.log")" = 3 ] || fail "more requests than the check's three: $(cat "$check_work/requests.log")"
[ "$(ls "$check_work/ftp/check" | wc -l)" = 1 ] || fail "no check-in report"
echo "win32 up-to-date e2e passed: ended $took ms after the check"
