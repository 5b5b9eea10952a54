#!/usr/bin/env bash
# The release check of the real updater (posix, or win64 under Wine) under Xvfb against a release site
# on 127.0.0.1 whose page is "(v.2.1.5)" with empty listings, for an installed 2.1.5: the site is asked
# for the support-file listing, the page and the quick-update listing, in this order and as
# "MyCustomUser"; the window stays compact (2805 twips: 187 px, less the frame outside the X window)
# with the congratulation and the exit count-down, and the program ends by itself about 1.7 s later.
# Screenshot: ${OM_BINARY_DIR}/artifacts/<platform>_uptodate.png.
set -euo pipefail
source "$OM_SOURCE_DIR/tests/e2e/lib/common.sh"
source "$OM_SOURCE_DIR/tests/e2e/lib/update.sh"
update_begin
make_installation --bare
start_site "$OM_SOURCE_DIR/tests/fixtures/check_sites/uptodate"

start_copy "$site_page"
win=$(find_window "$(slow 20)")
wait_request /latest_omexe/ "$(slow 30)"
checked=$(date -r "$site_log" +%s%3N) # the time of the last request
[ "$(xdotool getwindowname "$win")" = "$(updater_title)" ] || fail "title is $(xdotool getwindowname "$win")"
wait_until 5 grep -q 'Decision: ' "$(run_log)" || fail "no decision in the log"
height=$(window_height "$win")
shot "${OM_E2E_PLATFORM}_uptodate.png"
[ "$height" = "$(twips_height 2805)" ] || fail "window height $height px, not $(twips_height 2805)"
shot_at=$(now_ms)
kill -0 "$updater" 2>/dev/null || fail "the updater ended before its count-down (screenshot done $((shot_at - checked)) ms after the check): $(cat "$work/updater.log")"

# The count-down ends the program by itself.
for _ in $(seq 200); do kill -0 "$updater" 2>/dev/null || break; sleep 0.025; done
ended=$(now_ms)
kill -0 "$updater" 2>/dev/null && fail "the updater did not end by itself after its count-down"
status=0
wait "$updater" || status=$?
[ "$status" = 0 ] || fail "the updater ended with status $status: $(cat "$work/updater.log")"
took=$((ended - checked))
[ "$took" -ge 1600 ] && [ "$took" -le 3500 ] || fail "the updater ended $took ms after the check, not about 1.7 s"
check_requests
[ "$(wc -l <"$work/site.log")" = 3 ] || fail "more requests than the check's three: $(cat "$work/site.log")"
[ "$(ls "$work/ftp/check" | wc -l)" = 1 ] || fail "no check-in report"
echo "$OM_E2E_PLATFORM up-to-date e2e passed: ended $took ms after the check"
