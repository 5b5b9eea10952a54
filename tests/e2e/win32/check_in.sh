#!/usr/bin/env bash
# The check-in report of the real updater under Wine (WinINet), against a real FTP server on 127.0.0.1:
# an ordinary check leaves "check/<host>_<address>_<MM.DD.YYYY.HH.MM.SS>.txt" with the bytes of
# "current_version.txt", which is gone from the installation folder, and goes on to the release site;
# an "/updated" run leaves "ups/up_..." and ends after the upload without asking the release site.
set -euo pipefail
: "${OM_BIN_DIR:?}" "${OM_SOURCE_DIR:?}" "${OM_BINARY_DIR:?}"
source "$OM_SOURCE_DIR/tests/win32/wine-env.sh"
work=$(mktemp -d)
template=$WINEPREFIX
export WINEPREFIX=$work/prefix
pids=()
cleanup() {
  touch "$work/stop"
  timeout 20 wineserver -k >/dev/null 2>&1 || true
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
free_port() { /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
wait_port() {
  for _ in $(seq 200); do
    /usr/bin/python3 -c "import socket; socket.create_connection(('127.0.0.1',$1),0.2)" 2>/dev/null && return 0
    sleep 0.05
  done
  fail "nothing listens on port $1"
}

cp -a "$template" "$WINEPREFIX"
inst=$WINEPREFIX/drive_c/Ombrix
mkdir -p "$inst" "$work/ftp/check" "$work/ftp/ups" "$work/site"
cp "$OM_BIN_DIR/om_updat.exe" "$inst/om_updater_now.exe"
timeout 60 wine reg add 'HKCU\Software\Kelvane\Ombrix32' /v exepath /d 'C:\Ombrix\' /f >/dev/null
timeout 60 wine reg add 'HKCU\Software\Kelvane\Ombrix32' /v ProductVersion /d 2.1.5.0 /f >/dev/null
# The registry was written without a display: let that wineserver (and the desktop process it started
# without X) end before the updater runs with one.
timeout 30 wineserver -w || true

# The report server on 127.0.0.1 port 21, the updater's own default, when this run may take that port;
# otherwise on a free port, to which the updater's port 21 is sent (OM_REPORT_HOST/PORT). Both servers
# stop by themselves.
if [ "$(id -u)" = 0 ] && ! /usr/bin/python3 -c "import socket; socket.create_connection(('127.0.0.1',21),0.5)" 2>/dev/null; then
  ftp_port=21
  unset OM_REPORT_HOST OM_REPORT_PORT
else
  ftp_port=$(free_port)
  export OM_REPORT_HOST=127.0.0.1 OM_REPORT_PORT=$ftp_port
fi
echo "report server on 127.0.0.1:$ftp_port"
start_report_server() {
  /usr/bin/python3 "$OM_SOURCE_DIR/tests/contract/ftp_server.py" pyftpdlib "$ftp_port" "$work/ftp" kelvane '7rKp#Lwe=T%d' 300 "$work/stop" 2>"$work/ftp.log" &
  ftp_pid=$!
  pids+=($ftp_pid)
  # Ready once it listens; a server that could not take the port ends at once.
  for _ in $(seq 200); do
    [ -e "$work/stop.ready" ] && return 0
    kill -0 "$ftp_pid" 2>/dev/null || return 0
    sleep 0.05
  done
  fail "the report server did not start"
}
start_report_server
if ! kill -0 "$ftp_pid" 2>/dev/null; then # port 21 was taken in the meantime: use a free port
  ftp_port=$(free_port)
  export OM_REPORT_HOST=127.0.0.1 OM_REPORT_PORT=$ftp_port
  start_report_server
fi
# One X server for every run of the updater in this script.
timeout 300 Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 200); do [ -s "$work/display" ] && break; sleep 0.05; done
[ -s "$work/display" ] || fail "no X server"
export DISPLAY=:$(head -n 1 "$work/display")
http_port=$(free_port)
timeout 300 /usr/bin/python3 -m http.server "$http_port" --bind 127.0.0.1 -d "$work/site" >/dev/null 2>"$work/http.log" &
pids+=($!)
wait_port "$http_port"
page="127.0.0.1:$http_port/ombrix.html"
stamp_pattern='[0-9]{2}\.[0-9]{2}\.[0-9]{4}\.[0-9]{2}\.[0-9]{2}\.[0-9]{2}\.txt'
name_pattern="[^_]+_[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+_${stamp_pattern}"

name_time() { # the date and time part of a report name as seconds since 1970 (local time)
  local stamp=${1%.txt}
  stamp=${stamp: -19}
  IFS=. read -r mo d y h mi s <<<"$stamp"
  date -d "$y-$mo-$d $h:$mi:$s" +%s
}

# 1. An ordinary check: runs until the release site is asked, then the run is ended.
printf 'ombrix 2.1.5\r\nbuild 300\r\n' >"$inst/current_version.txt"
before=$(date +%s)
timeout 120 wine 'C:\Ombrix\om_updater_now.exe' "$page" >/dev/null 2>&1 &
runner=$!
for _ in $(seq 1200); do
  kill -0 "$runner" 2>/dev/null || break
  grep -q "GET " "$work/http.log" && break
  sleep 0.05
done
after=$(date +%s)
timeout 20 wineserver -k >/dev/null 2>&1 || true
wait "$runner" 2>/dev/null || true
report=$(ls "$work/ftp/check")
[ "$(echo "$report" | wc -l)" = 1 ] || fail "check/ holds: $report"
echo "$report" | grep -Eq "^${name_pattern}\$" || fail "report name $report"
t=$(name_time "$report")
[ "$t" -ge "$before" ] && [ "$t" -le "$after" ] || fail "report time $t outside $before..$after"
printf 'ombrix 2.1.5\r\nbuild 300\r\n' | cmp -s - "$work/ftp/check/$report" || fail "report bytes differ"
[ ! -e "$inst/current_version.txt" ] || fail "current_version.txt is still there"
grep -q "GET " "$work/http.log" || fail "the check did not go on to the release site"

# 2. An "/updated" run: "ups/up_...", then the program ends before any request to the release site.
: >"$work/http.log"
printf 'after update\n' >"$inst/current_version.txt"
timeout 120 wine 'C:\Ombrix\om_updater_now.exe' /updated "$page" >/dev/null 2>&1 ||
  fail "the /updated run did not end by itself"
ups=$(ls "$work/ftp/ups")
echo "$ups" | grep -Eq "^up_${name_pattern}\$" || fail "ups name $ups"
printf 'after update\n' | cmp -s - "$work/ftp/ups/$ups" || fail "ups report bytes differ"
[ ! -e "$inst/current_version.txt" ] || fail "current_version.txt is still there after /updated"
! grep -q "GET " "$work/http.log" || fail "the /updated run went on to the release site"
[ "$(ls "$work/ftp/check" | wc -l)" = 1 ] || fail "the /updated run wrote to check/"
echo "win32 check-in e2e passed: check/$report ups/$ups"
