# Shell helpers shared by the e2e scripts (sourced by update.sh). Every server and process a
# script starts is registered with e2e_track and stopped by the EXIT trap; every wait polls with a
# deadline.
#   fail MESSAGE         ends the script with "FAIL: MESSAGE" ("FAIL: ROW: MESSAGE" while $row names a
#                        table row); like any other failure, it first keeps the run's state (e2e_keep)
#   wait_until SECONDS COMMAND...   polls COMMAND every 50 ms until it succeeds; 1 at the deadline
#   slow SECONDS         a time limit for this platform: Wine takes longer to start programs
#   start_report_server [--port-21]   pyftpdlib on 127.0.0.1 (user kelvane) with check/ and ups/;
#                        the updater's port 21 goes to it through OM_REPORT_HOST/PORT, or with
#                        --port-21 it takes port 21 itself when this run may and it is free
#   start_site ROOT [--fault NAME=MODE]...   the release site server; sets site_port, site_log, site_page
#   updater_version      the updater's own version
#   run_log              the updater's log of this run (posix: under $work/state, Wine: the prefix's)
#   check_update_log     the log of a whole update holds update_log_events in order, never the password
#   find_window SECONDS  prints the id of the updater's visible window

e2e_pids=()
win() { [ "$OM_E2E_PLATFORM" = win32 ]; }

# e2e_keep REASON: keeps what a failing run leaves, once, in a folder it names: the reason, a screenshot,
# the processes, the work folder's small files (the updater's output, the servers' logs), the updater's
# log and the installation folder's texts; under Wine also the prefix's registry files and its drive C:
# listing.
e2e_keep() {
  [ -z "${e2e_kept:-}" ] && [ -n "${work:-}" ] && [ -d "$work" ] || return 0
  e2e_kept=$OM_BINARY_DIR/artifacts/failed/${OM_E2E_PLATFORM}_$(basename "$0" .sh)_$(date +%H%M%S)_$$
  mkdir -p "$e2e_kept/work" "$e2e_kept/installation" || return 0
  printf '%s\n' "$*" >"$e2e_kept/reason.txt"
  [ -z "${DISPLAY:-}" ] || timeout 10 import -window root "$e2e_kept/screen.png" 2>/dev/null || true
  ps -eo pid,ppid,etimes,args >"$e2e_kept/processes.txt" 2>/dev/null || true
  (cd "$work" && find . -path ./installed -prune -o -type f -size -2M ! -name '*.msi' -print0 |
    xargs -0 -r cp --parents -t "$e2e_kept/work") 2>/dev/null || true
  [ -z "${inst:-}" ] || cp "$inst"/*.txt "$inst"/*.log "$e2e_kept/installation/" 2>/dev/null || true
  cp "$(run_log)" "$e2e_kept/" 2>/dev/null || true
  if [ -d "${WINEPREFIX:-/none}/drive_c" ]; then
    # The registry reaches its files when the server ends; the run is over anyway.
    { timeout 20 wineserver -k && timeout 20 wineserver -w; } >/dev/null 2>&1
    cp "$WINEPREFIX"/*.reg "$e2e_kept/" 2>/dev/null || true
    (cd "$WINEPREFIX/drive_c" && find . -path ./windows -prune -o -path './Program Files*' -prune -o -print) \
      >"$e2e_kept/drive_c.txt" 2>/dev/null || true
  fi
  echo "the failing run's state is kept in $e2e_kept" >&2
}

e2e_cleanup() {
  local status=$? pid
  set +e
  [ "$status" = 0 ] || e2e_keep "ended with status $status"
  ! win || om_wine_cleanup # Wine first: a window or a message box left open must not outlive the run
  touch "$work/stop"
  for pid in "${e2e_pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${e2e_pids[@]}"; do wait "$pid" 2>/dev/null; done
  rm -rf "$work"
  return "$status"
}

run_log() {
  local folder=${XDG_STATE_HOME:-}/ombrix
  ! win || folder=$WINEPREFIX/drive_c/users/${USER:-$(id -un)}/AppData/Local/Ombrix
  echo "$folder/om_updat.log"
}

# What a whole update writes to the log, in this order (grep -E patterns, one event each).
update_log_events=(
  'Start: updater [0-9]+\.[0-9]+\.[0-9]+, command line ".*/manual .*", install_dir ".*Ombrix.*"'
  'Decision: offer the full installer <.*ombrix32_v2.1.6.msi> .* and the quick update <om_exe.v.2.1.6.exe>'
  'ran "taskkill /f /im "om_tarsel.exe""' 'ran "taskkill /f /im "quorin.exe""'
  'ran "taskkill /f /im "vistrel.exe""' 'ran "taskkill /f /im "ombrix32.exe""'
  'GET http://[^ ]*/om_exe.v.2.1.6.exe: status 200,'
  'GET http://[^ ]*/ombrix32_v2.1.6.msi: status 200,'
  'ran "msiexec /uninstall .*ombrix32_v2.1.5.msi.* /passive" \(window style 1\): exit code 0'
  'ran "msiexec /package ombrix32_v2.1.6.msi /passive DISABLEADVTSHORTCUTS=TRUE" \(window style 1\): exit code 0'
  'ran ".*om_exe.v.2.1.6.exe" -y -o" \(window style 6\): exit code 0'
  'started ".*ombrix32.exe"+ \(window style 2\)'
  'End: '
)

# check_update_log: the events in order (each after the one before), and no trace of the password.
check_update_log() {
  local log line=0 event found
  log=$(run_log)
  [ -s "$log" ] || fail "no log at $log"
  cp "$log" "$OM_BINARY_DIR/artifacts/${OM_E2E_PLATFORM}_update.log"
  for event in "${update_log_events[@]}"; do
    found=$(tail -n +"$((line + 1))" "$log" | grep -n -m 1 -E -- "$event" | cut -d: -f1) || true
    [ -n "$found" ] || fail "the log lacks, after its line $line: $event"
    line=$((line + found))
  done
  ! grep -qF '7rKp#Lwe=T%d' "$log" || fail "the log holds the FTP password"
}

e2e_track() { e2e_pids+=("$@"); }

fail() { # within a table row, the row's name first
  echo "FAIL: ${row:+$row: }$*" >&2
  e2e_keep "${row:+$row: }$*"
  exit 1
}

slow() { if win; then echo $(($1 * 3)); else echo "$1"; fi; }

wait_until() { # SECONDS (whole or with a fraction) COMMAND...
  local deadline=$(($(date +%s%N) + $(LC_ALL=C printf '%.0f' "$1e9")))
  shift
  while [ "$(date +%s%N)" -lt "$deadline" ]; do
    "$@" && return 0
    sleep 0.05
  done
  return 1
}

start_report_server() {
  mkdir -p "$work/ftp/check" "$work/ftp/ups"
  local port=21 pid
  unset OM_REPORT_HOST OM_REPORT_PORT
  [ "${1:-}" = --port-21 ] && [ "$(id -u)" = 0 ] && ! (: </dev/tcp/127.0.0.1/21) 2>/dev/null ||
    port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
  rm -f "$work/stop.ready"
  /usr/bin/python3 "$OM_SOURCE_DIR/tests/contract/ftp_server.py" pyftpdlib "$port" "$work/ftp" kelvane \
    '7rKp#Lwe=T%d' 280 "$work/stop" 2>"$work/ftp.log" &
  pid=$!
  e2e_track "$pid"
  # Ready once it listens; a server that could not take its port ends at once.
  wait_until 15 eval '[ -e "$work/stop.ready" ] || ! kill -0 '"$pid"' 2>/dev/null' || fail "the report server did not start"
  if ! kill -0 "$pid" 2>/dev/null; then
    [ "$port" = 21 ] || fail "the report server did not start: $(cat "$work/ftp.log")"
    start_report_server # port 21 was taken in the meantime
  elif [ "$port" != 21 ]; then
    export OM_REPORT_HOST=127.0.0.1 OM_REPORT_PORT=$port
  fi
}

start_site() { # ROOT [--fault NAME=MODE]...
  rm -f "$work/site.port"
  site_log=$work/site.log
  /usr/bin/python3 "$OM_SOURCE_DIR/tests/fixtures/release_site_server/serve_site.py" --root "$@" \
    --log "$site_log" --port-file "$work/site.port" --stop-file "$work/stop" --lifetime 280 \
    >/dev/null 2>"$work/site.err" &
  site_pid=$!
  e2e_track "$site_pid"
  wait_until 15 test -s "$work/site.port" || fail "the release site did not start: $(cat "$work/site.err")"
  site_port=$(cut -d' ' -f1 "$work/site.port")
  site_page=127.0.0.1:$site_port/ombrix.html
}

# The updater's own version: major.minor.tweak.
updater_version=$(sed -nE 's/^project\([a-z_]* VERSION ([0-9]+\.[0-9]+)\.[0-9]+\.([0-9]+).*/\1.\2/p' "$OM_SOURCE_DIR/CMakeLists.txt")

# click_button WINDOW LEFT TOP: clicks the middle of a 960 x 330 twips button at LEFT, TOP twips.
click_button() {
  timeout 5 xdotool mousemove --window "$1" $((($2 + 480) / 15)) $((($3 + 165) / 15)) click 1
}

find_window() {
  { timeout "$1" xdotool search --sync --onlyvisible --name "Ombrix Web Updater" 2>/dev/null || true; } | head -n 1 | grep . ||
    fail "no visible updater window within $1 s"
}

