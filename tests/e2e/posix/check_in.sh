#!/usr/bin/env bash
# The check-in report of the real updater, against a real FTP server on 127.0.0.1: an ordinary check
# leaves "check/<host>_<address>_<MM.DD.YYYY.HH.MM.SS>.txt" with the bytes of "current_version.txt",
# which is gone from the installation folder, and goes on to the release site; an "/updated" run leaves
# "ups/up_..." and ends after the upload without asking the release site anything.
set -euo pipefail
: "${OM_BIN_DIR:?}" "${OM_SOURCE_DIR:?}" "${OM_BINARY_DIR:?}"
work=$(mktemp -d)
pids=()
cleanup() {
  touch "$work/stop"
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
free_port() { /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
wait_port() {
  for _ in $(seq 200); do
    /usr/bin/python3 -c "import socket,sys; socket.create_connection(('127.0.0.1',$1),0.2)" 2>/dev/null && return 0
    sleep 0.05
  done
  fail "nothing listens on port $1"
}

inst=$work/Ombrix
mkdir -p "$inst" "$work/ftp/check" "$work/ftp/ups" "$work/site"
cp "$OM_BIN_DIR/om_updat.exe" "$inst/om_updater_now.exe"
cat >"$work/hkcu.reg" <<REG
REGEDIT4

[HKEY_CURRENT_USER\\Software\\Kelvane\\Ombrix32]
"exepath"="$inst/"
"ProductVersion"="2.1.5.0"
REG
export OMBRIX_HKCU_FILE=$work/hkcu.reg

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
  /usr/bin/python3 "$OM_SOURCE_DIR/tests/contract/ftp_server.py" pyftpdlib "$ftp_port" "$work/ftp" kelvane '7rKp#Lwe=T%d' 120 "$work/stop" 2>"$work/ftp.log" &
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
http_port=$(free_port)
timeout 120 /usr/bin/python3 -m http.server "$http_port" --bind 127.0.0.1 -d "$work/site" >/dev/null 2>"$work/http.log" &
pids+=($!)
wait_port "$http_port"
page="127.0.0.1:$http_port/ombrix.html"
stamp_pattern='[0-9]{2}\.[0-9]{2}\.[0-9]{4}\.[0-9]{2}\.[0-9]{2}\.[0-9]{2}\.txt'
host=$(hostname)

# name_time NAME: the date and time part of a report name as seconds since 1970 (local time).
name_time() {
  local stamp=${1%.txt}
  stamp=${stamp: -19}
  IFS=. read -r mo d y h mi s <<<"$stamp"
  date -d "$y-$mo-$d $h:$mi:$s" +%s
}

run_updater() { # ARGS...: runs the updater under Xvfb until it ends or the release site was asked
  timeout 60 xvfb-run -a -s "-screen 0 1024x768x24" "$inst/om_updater_now.exe" "$@" &
  local runner=$!
  for _ in $(seq 400); do
    kill -0 "$runner" 2>/dev/null || break
    grep -q "GET " "$work/http.log" && break
    sleep 0.05
  done
  if kill -0 "$runner" 2>/dev/null; then
    kill "$runner" 2>/dev/null || true
    pkill -P "$runner" 2>/dev/null || true
  fi
  wait "$runner" 2>/dev/null || true
}

# 1. An ordinary check.
printf 'ombrix 2.1.5\r\nbuild 300\r\n' >"$inst/current_version.txt"
before=$(date +%s)
run_updater "$page"
after=$(date +%s)
report=$(ls "$work/ftp/check")
[ "$(echo "$report" | wc -l)" = 1 ] || fail "check/ holds: $report"
echo "$report" | grep -Eq "^${host}_[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+_${stamp_pattern}\$" || fail "report name $report"
t=$(name_time "$report")
[ "$t" -ge "$before" ] && [ "$t" -le "$after" ] || fail "report time $t outside $before..$after"
printf 'ombrix 2.1.5\r\nbuild 300\r\n' | cmp -s - "$work/ftp/check/$report" || fail "report bytes differ"
[ ! -e "$inst/current_version.txt" ] || fail "current_version.txt is still there"
grep -q "GET " "$work/http.log" || fail "the check did not go on to the release site"

# 2. An "/updated" run: "ups/up_...", then the program ends before any request to the release site.
: >"$work/http.log"
printf 'after update\n' >"$inst/current_version.txt"
timeout 30 xvfb-run -a -s "-screen 0 1024x768x24" "$inst/om_updater_now.exe" /updated "$page" ||
  fail "the /updated run did not end by itself"
report=$(ls "$work/ftp/ups")
echo "$report" | grep -Eq "^up_${host}_[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+_${stamp_pattern}\$" || fail "ups name $report"
printf 'after update\n' | cmp -s - "$work/ftp/ups/$report" || fail "ups report bytes differ"
[ ! -e "$inst/current_version.txt" ] || fail "current_version.txt is still there after /updated"
! grep -q "GET " "$work/http.log" || fail "the /updated run went on to the release site"
[ "$(ls "$work/ftp/check" | wc -l)" = 1 ] || fail "the /updated run wrote to check/"

echo "check-in e2e passed: check/$(ls "$work/ftp/check") ups/$report"
