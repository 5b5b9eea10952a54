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
# One X server for every run of the updater in this script.
timeout 300 Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 200); do [ -s "$work/display" ] && break; sleep 0.05; done
[ -s "$work/display" ] || fail "no X server"
export DISPLAY=:$(head -n 1 "$work/display")
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

run_updater() { # ARGS...: runs the updater until it ends or the release site was asked
  timeout 60 "$inst/om_updater_now.exe" "$@" &
  local runner=$!
  for _ in $(seq 400); do
    kill -0 "$runner" 2>/dev/null || break
    grep -q "GET " "$work/http.log" && break
    sleep 0.05
  done
  if kill -0 "$runner" 2>/dev/null; then
    kill "$runner" 2>/dev/null || true
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
timeout 30 "$inst/om_updater_now.exe" /updated "$page" ||
  fail "the /updated run did not end by itself"
report=$(ls "$work/ftp/ups")
echo "$report" | grep -Eq "^up_${host}_[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+_${stamp_pattern}\$" || fail "ups name $report"
printf 'after update\n' | cmp -s - "$work/ftp/ups/$report" || fail "ups report bytes differ"
[ ! -e "$inst/current_version.txt" ] || fail "current_version.txt is still there after /updated"
! grep -q "GET " "$work/http.log" || fail "the /updated run went on to the release site"
[ "$(ls "$work/ftp/check" | wc -l)" = 1 ] || fail "the /updated run wrote to check/"

# 3. No report server: one message box; once it is closed the file is deleted all the same and the
# check goes on to the release site.
: >"$work/http.log"
printf 'offline report\n' >"$inst/current_version.txt"
export OM_REPORT_HOST=127.0.0.1 OM_REPORT_PORT=$(free_port) OM_E2E_INST=$inst OM_E2E_WORK=$work
export OM_E2E_SHOT=$OM_BINARY_DIR/artifacts/posix_check_in_box.png OM_E2E_PAGE=$page
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
for _ in $(seq 200); do grep -q "GET " "$OM_E2E_WORK/http.log" && break; sleep 0.05; done
kill "$app" 2>/dev/null || true
wait "$app" 2>/dev/null || true
[ ! -e "$OM_E2E_INST/current_version.txt" ] || fail "current_version.txt is still there without a server"
grep -q "GET " "$OM_E2E_WORK/http.log" || fail "the check did not go on without a report server"
'
[ "$(ls "$work/ftp/check" | wc -l)" = 1 ] || fail "a report arrived without a server"

echo "check-in e2e passed: check/$(ls "$work/ftp/check") ups/$report"
