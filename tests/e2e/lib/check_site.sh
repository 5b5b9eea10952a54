# Helpers for the release-check and check-in scripts (sourced after common.sh):
#   check_begin              $work, the EXIT trap and a private X server
#   check_serve SITE         the report server and the release site SITE on 127.0.0.1, both
#                            self-stopping; sets site_page (the page address without scheme)
#   installation             $inst with the running copy "om_updater_now.exe", ombrix32.exe 2.1.5 and
#                            "current_version.txt", named by the registry: on posix a registry file
#                            (OMBRIX_HKCU_FILE), under Wine a fresh prefix with $inst at C:\Ombrix\
#                            (in $win_inst_dos)
#   start_copy ARGS...       starts the running copy in the background; sets updater (its pid)
#   frame_px                 the window frame's height in pixels, outside the X window
#   check_wait_request PATH SECONDS
#                            waits until the site has been asked for PATH; prints the time (ms since
#                            1970) at which the request log was last written, that is when the
#                            request came in when PATH was the latest one
#   check_assert_requests    the site was asked, in this order and with User-Agent "MyCustomUser",
#                            for "/support_files/", "/ombrix.html" and "/latest_omexe/"
#   check_find_window SECONDS  prints the id of the updater's window
#   check_window_height WIN  prints the window's height in pixels
#   check_shot NAME          saves the screen under ${OM_BINARY_DIR}/artifacts/NAME
#   report_stamp_pattern     the date and time at the end of a report's name, as an extended regex
#   report_name_time NAME    that date and time as seconds since 1970 (local time)

check_begin() {
  : "${OM_BIN_DIR:?}" "${OM_SOURCE_DIR:?}" "${OM_BINARY_DIR:?}"
  e2e_init
  mkdir -p "$OM_BINARY_DIR/artifacts"
  start_display
}

check_serve() {
  start_report_server
  start_site "$1"
}

win_check_cleanup() {
  local status=$?
  set +e
  [ "$status" = 0 ] || e2e_keep "ended with status $status"
  om_wine_cleanup
  (exit "$status")
  e2e_cleanup
}

installation() {
  if [ "$OM_E2E_PLATFORM" = win32 ]; then
    export WINEPREFIX=$work/prefix
    source "$OM_SOURCE_DIR/tests/win32/wine-env.sh" || fail "no Wine prefix"
    trap win_check_cleanup EXIT
    win_inst_dos='C:\Ombrix\'
    inst=$WINEPREFIX/drive_c/Ombrix
  else
    inst=$work/Ombrix
  fi
  mkdir -p "$inst"
  cp "$OM_BIN_DIR/om_updat.exe" "$inst/om_updater_now.exe"
  cp "$OM_TEST_PROGRAMS/ombrix32_2.1.5.exe" "$inst/ombrix32.exe"
  printf 'ombrix 2.1.5\r\n' >"$inst/current_version.txt"
  if [ "$OM_E2E_PLATFORM" = win32 ]; then
    timeout 60 wine reg add 'HKCU\Software\Kelvane\Ombrix32' /v exepath /d "$win_inst_dos" /f >/dev/null 2>&1
    timeout 60 wine reg add 'HKCU\Software\Kelvane\Ombrix32' /v ProductVersion /d 2.1.5.0 /f >/dev/null 2>&1
    # One wineserver stays up from here on: a program started while one is shutting down, a few
    # seconds after its last program ended, loses its connection and ends before it runs.
    timeout 30 wineserver -w || true
    timeout 30 wineserver -p || fail "no wineserver"
  else
    printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Kelvane\\Ombrix32]\n"exepath"="%s/"\n"ProductVersion"="2.1.5.0"\n' \
      "$inst" >"$work/hkcu.reg"
    export OMBRIX_HKCU_FILE=$work/hkcu.reg
  fi
}

start_copy() {
  rm -f "$(run_log)"
  if [ "$OM_E2E_PLATFORM" = win32 ]; then
    WINEDEBUG=err+all timeout 150 wine "${win_inst_dos}om_updater_now.exe" "$@" >"$work/updater.log" 2>&1 &
  else
    (cd / && exec timeout 120 "$inst/om_updater_now.exe" "$@") >"$work/updater.log" 2>&1 &
  fi
  updater=$!
  e2e_track "$updater"
}

frame_px() {
  if [ "$OM_E2E_PLATFORM" = win32 ]; then echo 25; else echo 30; fi
}

check_wait_request() {
  local path=$1 seconds=$2
  if ! wait_until "$seconds" grep -q "^$path " "$site_log"; then
    timeout 20 import -window root "$OM_BINARY_DIR/artifacts/${OM_E2E_PLATFORM:-e2e}_not_asked.png" 2>/dev/null || true
    fail "the site was not asked for $path within $seconds s; it was asked for: $(cat "$site_log")
check-in reports: $(ls "$work/ftp/check" 2>/dev/null)
updater output: $(tail -n 20 "$work/updater.log" 2>/dev/null)"
  fi
  date -r "$site_log" +%s%3N
}

check_assert_requests() {
  local expected got
  expected=$(printf '%s\n' "/support_files/ MyCustomUser" "/ombrix.html MyCustomUser" "/latest_omexe/ MyCustomUser")
  got=$(head -n 3 "$site_log")
  [ "$got" = "$expected" ] || fail "requests were:
$got
expected:
$expected"
}

check_find_window() {
  local seconds=$1 win
  win=$(timeout "$seconds" xdotool search --sync --onlyvisible --name "Ombrix Web Updater" 2>/dev/null | head -n 1) || true
  [ -n "$win" ] || fail "no visible updater window within $seconds s"
  echo "$win"
}

check_window_height() {
  timeout 10 xdotool getwindowgeometry --shell "$1" | sed -n 's/^HEIGHT=//p'
}

check_shot() {
  timeout 20 import -window root "$OM_BINARY_DIR/artifacts/$1" || fail "no screenshot $1"
}

report_stamp_pattern='[0-9]{2}\.[0-9]{2}\.[0-9]{4}\.[0-9]{2}\.[0-9]{2}\.[0-9]{2}\.txt'

report_name_time() {
  local stamp=${1%.txt} mo d y h mi s
  stamp=${stamp: -19}
  IFS=. read -r mo d y h mi s <<<"$stamp"
  date -d "$y-$mo-$d $h:$mi:$s" +%s
}
