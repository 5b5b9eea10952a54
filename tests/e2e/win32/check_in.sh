#!/usr/bin/env bash
# The check-in report of the real updater under Wine (WinINet), against a real FTP server on 127.0.0.1:
# an ordinary check leaves "check/<host>_<address>_<MM.DD.YYYY.HH.MM.SS>.txt" with the bytes of
# "current_version.txt", which is gone from the installation folder, and goes on to the release site;
# an "/updated" run leaves "ups/up_..." and ends after the upload without asking the release site.
set -euo pipefail
source "$OM_SOURCE_DIR/tests/e2e/lib/common.sh"
source "$OM_SOURCE_DIR/tests/e2e/lib/check_site.sh"
check_begin
win_installation
# The report server on 127.0.0.1 port 21, the updater's own default, when this run may take that port;
# otherwise on a free port, to which the updater's port 21 is sent.
start_report_server --port-21
mkdir -p "$work/site"
start_site "$work/site"
name_pattern="[^_]+_[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+_${report_stamp_pattern}"

# 1. An ordinary check: runs until the release site is asked, then the run is ended.
printf 'ombrix 2.1.5\r\nbuild 300\r\n' >"$inst/current_version.txt"
before=$(date +%s)
timeout 120 wine 'C:\Ombrix\om_updater_now.exe' "$site_page" >/dev/null 2>&1 &
runner=$!
wait_until 60 eval '[ -s "$site_log" ] || ! kill -0 '"$runner"' 2>/dev/null' || true
after=$(date +%s)
timeout 20 wineserver -k >/dev/null 2>&1 || true
wait "$runner" 2>/dev/null || true
report=$(ls "$work/ftp/check")
[ "$(echo "$report" | wc -l)" = 1 ] || fail "check/ holds: $report"
echo "$report" | grep -Eq "^${name_pattern}\$" || fail "report name $report"
t=$(report_name_time "$report")
[ "$t" -ge "$before" ] && [ "$t" -le "$after" ] || fail "report time $t outside $before..$after"
printf 'ombrix 2.1.5\r\nbuild 300\r\n' | cmp -s - "$work/ftp/check/$report" || fail "report bytes differ"
[ ! -e "$inst/current_version.txt" ] || fail "current_version.txt is still there"
[ -s "$site_log" ] || fail "the check did not go on to the release site"

# 2. An "/updated" run: "ups/up_...", then the program ends before any request to the release site.
: >"$site_log"
printf 'after update\n' >"$inst/current_version.txt"
timeout 120 wine 'C:\Ombrix\om_updater_now.exe' /updated "$site_page" >/dev/null 2>&1 ||
  fail "the /updated run did not end by itself"
ups=$(ls "$work/ftp/ups")
echo "$ups" | grep -Eq "^up_${name_pattern}\$" || fail "ups name $ups"
printf 'after update\n' | cmp -s - "$work/ftp/ups/$ups" || fail "ups report bytes differ"
[ ! -e "$inst/current_version.txt" ] || fail "current_version.txt is still there after /updated"
! [ -s "$site_log" ] || fail "the /updated run went on to the release site"
[ "$(ls "$work/ftp/check" | wc -l)" = 1 ] || fail "the /updated run wrote to check/"
echo "win32 check-in e2e passed: check/$report ups/$ups"
