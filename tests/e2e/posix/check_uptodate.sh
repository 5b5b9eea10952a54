#!/usr/bin/env bash
# The release check of the real updater under Xvfb against a release site on 127.0.0.1 whose page is
# "(v.2.1.5)" with empty listings, for an installed 2.1.5: the site is asked for the support-file
# listing, the page and the quick-update listing, in this order and as "MyCustomUser"; the window
# stays compact (2805 twips: 187 px, of which 30 are the title bar and borders outside the X window)
# with the congratulation and the exit count-down, and the program ends by itself about 1.7 s later.
# Screenshot: ${OM_BINARY_DIR}/artifacts/posix_uptodate.png.
set -euo pipefail
source "$OM_SOURCE_DIR/tests/fixtures/check_sites/check_lib.sh"
check_begin
check_serve "$OM_SOURCE_DIR/tests/fixtures/check_sites/uptodate"

inst=$check_work/Ombrix
mkdir -p "$inst"
cp "$OM_BIN_DIR/om_updat.exe" "$inst/om_updater_now.exe"
cp "$OM_TEST_PROGRAMS/ombrix32_2.1.5.exe" "$inst/ombrix32.exe"
printf 'ombrix 2.1.5\r\n' >"$inst/current_version.txt"
cat >"$check_work/hkcu.reg" <<REG
REGEDIT4

[HKEY_CURRENT_USER\\Software\\Kelvane\\Ombrix32]
"exepath"="$inst/"
"ProductVersion"="2.1.5.0"
REG
export OMBRIX_HKCU_FILE=$check_work/hkcu.reg

cd /
timeout 120 "$inst/om_updater_now.exe" "$check_page" >"$check_work/updater.log" 2>&1 &
updater=$!
check_pids+=($updater)
win=$(check_find_window 20)
checked=$(check_wait_request /latest_omexe/ 30)
[ "$(xdotool getwindowname "$win")" = "$(check_title)" ] || fail "title is $(xdotool getwindowname "$win")"
sleep 0.4
height=$(check_window_height "$win")
check_shot posix_uptodate.png
[ "$height" = 157 ] || fail "window height $height px, not 157"
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
echo "posix up-to-date e2e passed: ended $took ms after the check"
