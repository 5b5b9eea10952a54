#!/usr/bin/env bash
# The check-in report of the real updater, against a real FTP server on 127.0.0.1: an ordinary check
# leaves "check/<host>_<address>_<MM.DD.YYYY.HH.MM.SS>.txt" with the bytes of "current_version.txt",
# which is gone from the installation folder, and goes on to the release site; an "/updated" run leaves
# "ups/up_..." and ends after the upload without asking the release site anything.
set -euo pipefail
source "$OM_SOURCE_DIR/tests/e2e/lib/common.sh"
source "$OM_SOURCE_DIR/tests/e2e/lib/check_site.sh"
check_begin
# The report server on 127.0.0.1 port 21, the updater's own default, when this run may take that port;
# otherwise on a free port, to which the updater's port 21 is sent.
start_report_server --port-21
mkdir -p "$work/site"
start_site "$work/site"
posix_installation
host=$(hostname)

site_asked() { [ -s "$site_log" ]; }
run_updater() { # ARGS...: runs the updater until it ends or the release site was asked
  timeout 60 "$inst/om_updater_now.exe" "$@" &
  local runner=$!
  wait_until 20 eval 'site_asked || ! kill -0 '"$runner"' 2>/dev/null' || true
  kill "$runner" 2>/dev/null || true
  wait "$runner" 2>/dev/null || true
}

# 1. An ordinary check.
printf 'ombrix 2.1.5\r\nbuild 300\r\n' >"$inst/current_version.txt"
before=$(date +%s)
run_updater "$site_page"
after=$(date +%s)
report=$(ls "$work/ftp/check")
[ "$(echo "$report" | wc -l)" = 1 ] || fail "check/ holds: $report"
echo "$report" | grep -Eq "^${host}_[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+_${report_stamp_pattern}\$" || fail "report name $report"
t=$(report_name_time "$report")
[ "$t" -ge "$before" ] && [ "$t" -le "$after" ] || fail "report time $t outside $before..$after"
printf 'ombrix 2.1.5\r\nbuild 300\r\n' | cmp -s - "$work/ftp/check/$report" || fail "report bytes differ"
[ ! -e "$inst/current_version.txt" ] || fail "current_version.txt is still there"
site_asked || fail "the check did not go on to the release site"

# 2. An "/updated" run: "ups/up_...", then the program ends before any request to the release site.
: >"$site_log"
printf 'after update\n' >"$inst/current_version.txt"
timeout 30 "$inst/om_updater_now.exe" /updated "$site_page" ||
  fail "the /updated run did not end by itself"
report=$(ls "$work/ftp/ups")
echo "$report" | grep -Eq "^up_${host}_[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+_${report_stamp_pattern}\$" || fail "ups name $report"
printf 'after update\n' | cmp -s - "$work/ftp/ups/$report" || fail "ups report bytes differ"
[ ! -e "$inst/current_version.txt" ] || fail "current_version.txt is still there after /updated"
! site_asked || fail "the /updated run went on to the release site"
[ "$(ls "$work/ftp/check" | wc -l)" = 1 ] || fail "the /updated run wrote to check/"

# 3. No report server: one message box; once it is closed the file is deleted all the same and the
# check goes on to the release site.
: >"$site_log"
printf 'offline report\n' >"$inst/current_version.txt"
export OM_REPORT_HOST=127.0.0.1 OM_REPORT_PORT=$(free_port) OM_E2E_INST=$inst OM_E2E_SITE_LOG=$site_log
export OM_E2E_SHOT=$OM_BINARY_DIR/artifacts/posix_check_in_box.png OM_E2E_PAGE=$site_page
mkdir -p "$OM_BINARY_DIR/artifacts"
timeout 60 bash -euo pipefail -c '
fail() { echo "FAIL: $*" >&2; exit 1; }
"$OM_E2E_INST/om_updater_now.exe" "$OM_E2E_PAGE" &
app=$!
windows=0
for _ in $(seq 200); do
  windows=$( (xdotool search --name "Ombrix Web Updater" 2>/dev/null || true) | wc -l)
  [ "$windows" -ge 2 ] && break
  sleep 0.05
done
[ "$windows" -ge 2 ] || { kill "$app"; fail "no message box"; }
sleep 0.3
import -window root "$OM_E2E_SHOT"
[ -e "$OM_E2E_INST/current_version.txt" ] || { kill "$app"; fail "the file went before the box was closed"; }
xdotool key Return
for _ in $(seq 200); do [ -s "$OM_E2E_SITE_LOG" ] && break; sleep 0.05; done
kill "$app" 2>/dev/null || true
wait "$app" 2>/dev/null || true
[ ! -e "$OM_E2E_INST/current_version.txt" ] || fail "current_version.txt is still there without a server"
[ -s "$OM_E2E_SITE_LOG" ] || fail "the check did not go on without a report server"
'
[ "$(ls "$work/ftp/check" | wc -l)" = 1 ] || fail "a report arrived without a server"

echo "check-in e2e passed: check/$(ls "$work/ftp/check") ups/$report"
