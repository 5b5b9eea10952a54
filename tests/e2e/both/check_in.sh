#!/usr/bin/env bash
# The check-in report of the real updater (posix, or win64 under Wine with WinINet) against a real FTP
# server on 127.0.0.1: an ordinary check leaves "check/<host>_<address>_<MM.DD.YYYY.HH.MM.SS>.txt"
# with the bytes of "current_version.txt", which is gone from the installation folder, and goes on to
# the release site; an "/updated" run leaves "ups/up_..." and ends after the upload without asking the
# release site anything. (An unreachable report server is the core tests' and the FTP contract's.)
set -euo pipefail
source "$OM_SOURCE_DIR/tests/e2e/lib/update.sh"
# The report server on 127.0.0.1 port 21, the updater's own default, when this run may take that port;
# otherwise on a free port, to which the updater's port 21 is sent.
update_begin --port-21
make_installation --bare
mkdir -p "$work/site"
start_site "$work/site"
if [ "$OM_E2E_PLATFORM" = posix ]; then host=$(hostname); else host='[^_]+'; fi
name_pattern="${host}_[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+_[0-9]{2}\.[0-9]{2}\.[0-9]{4}\.[0-9]{2}\.[0-9]{2}\.[0-9]{2}\.txt"
report_time() { # NAME: the date and time at the end of a report's name (MM.DD.YYYY.HH.MM.SS.txt), in seconds
  local mo d y h mi s
  IFS=. read -r mo d y h mi s _ <<<"${1: -23}"
  date -d "$y-$mo-$d $h:$mi:$s" +%s
}
site_asked() { [ -s "$site_log" ]; }

# 1. An ordinary check: runs until the release site is asked, then the run is ended.
printf 'ombrix 2.1.5\r\nbuild 300\r\n' >"$inst/current_version.txt"
before=$(date +%s)
start_copy "$site_page"
wait_until "$(slow 20)" eval 'site_asked || ! kill -0 '"$updater"' 2>/dev/null' || true
after=$(date +%s)
if win; then om_wine_stop; else kill "$updater" 2>/dev/null || true; fi
wait "$updater" 2>/dev/null || true
report=$(ls "$work/ftp/check")
[ "$(echo "$report" | wc -l)" = 1 ] || fail "check/ holds: $report"
echo "$report" | grep -Eq "^${name_pattern}\$" || fail "report name $report"
t=$(report_time "$report")
[ "$t" -ge "$before" ] && [ "$t" -le "$after" ] || fail "report time $t outside $before..$after"
printf 'ombrix 2.1.5\r\nbuild 300\r\n' | cmp -s - "$work/ftp/check/$report" || fail "report bytes differ"
[ ! -e "$inst/current_version.txt" ] || fail "current_version.txt is still there"
site_asked || fail "the check did not go on to the release site"

# 2. An "/updated" run: "ups/up_...", then the program ends before any request to the release site.
: >"$site_log"
printf 'after update\n' >"$inst/current_version.txt"
start_copy /updated "$site_page"
wait "$updater" || fail "the /updated run did not end by itself ($?)"
ups=$(ls "$work/ftp/ups")
echo "$ups" | grep -Eq "^up_${name_pattern}\$" || fail "ups name $ups"
printf 'after update\n' | cmp -s - "$work/ftp/ups/$ups" || fail "ups report bytes differ"
[ ! -e "$inst/current_version.txt" ] || fail "current_version.txt is still there after /updated"
! site_asked || fail "the /updated run went on to the release site"
[ "$(ls "$work/ftp/check" | wc -l)" = 1 ] || fail "the /updated run wrote to check/"

echo "$OM_E2E_PLATFORM check-in e2e passed: check/$report ups/$ups"
