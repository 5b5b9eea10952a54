#!/usr/bin/env bash
# The release check of the real updater (posix, or win64 under Wine) under Xvfb against a release site
# on 127.0.0.1, for an installed 2.1.5; one table row per run, each started as the running copy with
# ADDRESS (PORT: the site's port) and followed until the site was asked for LAST. The first starts the
# installed "om_updat.exe", which leaves "om_updater_now.exe" beside itself, hands over and ends. Every request carries
# "MyCustomUser" and, where the row goes through a proxy, the form the proxy sees. Every row but box
# shows the titled window, logs LOGGED and has a window of WINDOW twips, less the frame outside the X
# window (4680: the rich text panel with the page's feature section of an offer of v.2.1.6 and
# om_exe.v.2.1.6.exe; 2805: compact, after an up-to-date or a failed check). Then, by what the row expects:
#   ends    the page is "(v.2.1.5)" with empty listings: the check's three requests in order, the
#           congratulation and the exit count-down, and the program ends by itself with status 0
#           about 1.7 s after the check
#   waits   the updater waits for the user (longer than an up-to-date check's count-down) and "Cancel"
#           ends it
#   box     a message box names the proxy asking for credentials (407) after the first request, and
#           the program ends once it is answered
# Failed checks (FAULT on the page: a 404, 20 MB, a page that never ends, each through the platform's
# HTTP stack; pages read wrongly above it are the core tests') stop at the page and keep the updater
# under 64 MB. The proxy rows: posix through http_proxy/no_proxy, Wine through the binary
# connection settings WinHTTP reads. The site also stands as the proxy: it answers absolute addresses,
# so a site under ".invalid" is reachable only through it; localhost is on the bypass list.
# The first run's check-in (to a real FTP server on 127.0.0.1, port 21 when this run may take it) leaves
# "check/<host>_<address>_<MM.DD.YYYY.HH.MM.SS>.txt" with the bytes of "current_version.txt", which is gone
# from the installation; a last "/updated" run leaves "ups/up_..." and ends without asking the site.
# posix also runs the copy off line (unshare -rn): it ends at once, or after showing the connection
# error for about 2 s with "/manual" (Wine always reports a connection).
# Screenshots: ${OM_BINARY_DIR}/artifacts/<platform>_check_<row>.png.
source "$OM_SOURCE_DIR/tests/e2e/lib/update.sh"
update_begin --port-21
make_installation --bare
before=$(date +%s)
running() { kill -0 "$updater" 2>/dev/null; }
shot() { timeout 20 import -window root "$OM_BINARY_DIR/artifacts/${OM_E2E_PLATFORM}_check_$row.png" || fail "no screenshot"; }
# The check's three requests, in this order, as "MyCustomUser", and no other.
check_requests() {
  [ "$(cat "$site_log")" = "$(printf '%s MyCustomUser\n' /support_files/ /ombrix.html /latest_omexe/)" ] ||
    fail "requests were: $(cat "$site_log")"
}
height() { timeout 10 xdotool getwindowgeometry --shell "$win" | sed -n 's/^HEIGHT=//p'; }

use_proxy() {
  local proxy=127.0.0.1:$site_port settings
  if win; then
    # 0x46, a counter, 3 (proxy on), the proxy and the bypass list each after its length, 36 zero bytes
    settings=$(printf '%02x000000' 0x46 1 3 ${#proxy})$(printf %s "$proxy" | od -An -tx1 | tr -d ' \n')
    settings+=$(printf '%02x000000' 7)$(printf '<local>' | od -An -tx1 | tr -d ' \n')$(printf '%072d' 0)
    timeout 60 wine reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings\Connections' \
      /v DefaultConnectionSettings /t REG_BINARY /d "$settings" /f >/dev/null 2>&1 || fail "cannot set the proxy"
  else
    export http_proxy=http://$proxy no_proxy=localhost
  fi
}

ends() {
  local checked took status=0
  checked=$(date -r "$site_log" +%s%3N) # the time of the last request
  shot
  running || fail "the updater ended before its count-down: $(cat "$work/updater.log")"
  wait_until 5 eval '! running' || fail "the updater did not end by itself after its count-down"
  took=$(($(date +%s%3N) - checked))
  wait "$updater" || status=$?
  [ "$status" = 0 ] || fail "the updater ended with status $status: $(cat "$work/updater.log")"
  [ "$took" -ge 1600 ] && [ "$took" -le 3500 ] || fail "the updater ended $took ms after the check, not about 1.7 s"
  check_requests
}

waits() {
  local peak=
  [ "$last" != /latest_omexe/ ] || check_requests
  ! wait_until 2.5 eval '! running' || fail "the updater ended instead of waiting: $(cat "$work/updater.log")"
  if [ "$fault" != - ]; then
    ! grep -q '^/latest_omexe/' "$site_log" || fail "the check went on past the page"
    for pid in $(copy_pids); do peak=$(awk '/^VmHWM:/ { print $2 }' "/proc/$pid/status"); done
    [ -n "$peak" ] && [ "$peak" -lt 65536 ] || fail "the updater's peak memory is ${peak:-unknown} kB"
    echo "$row: peak memory $peak kB"
  fi
  shot
  click_button "$win" 4710 405 # "Cancel": check_now 2 at (4710, 405) twips, 960 x 330
  wait_until 10 eval '! running' || fail "Cancel did not end the updater"
}

box() {
  boxes() { xdotool search --name "Ombrix Web Updater" 2>/dev/null | grep -c . || true; }
  wait_until "$(slow 15)" eval '[ "$(boxes)" -ge 2 ]' || fail "no message box after the 407"
  sleep 0.3 && xdotool key Return
  wait_until "$(slow 15)" eval '! running' || fail "the updater went on after a 407"
  [ "$(wc -l <"$site_log")" = 1 ] || fail "requests after the 407: $(cat "$site_log")"
}

while IFS='|' read -r row fixture fault address last logged window outcome <&3; do
  [ "${served:-}" = "$fixture $fault" ] || { served="$fixture $fault" &&
    start_site "$OM_SOURCE_DIR/tests/fixtures/check_sites/$fixture" $([ "$fault" = - ] || echo --fault "ombrix.html=$fault"); }
  [ "$row" != proxied ] || use_proxy
  : >"$site_log"
  set -- ${address//PORT/$site_port}
  if [ "$1" = om_updat.exe ]; then
    shift && hand_over "$@"
    cmp -s "$inst/om_updat.exe" "$inst/om_updater_now.exe" || fail "no copy of the updater beside it"
    updater=$(copy_pids | head -n 1)
  else
    start_copy "$@"
  fi
  wait_until "$(slow 30)" grep -q "^$last " "$site_log" || fail "the site was not asked for $last: $(cat "$site_log")"
  prefix=${last%/} && prefix=${prefix%/*}
  [ "$(grep -vc "^$prefix/" "$site_log")" = 0 ] || fail "not all requests as $prefix/: $(cat "$site_log")"
  if [ "$outcome" != box ]; then
    win=$(find_window "$(slow 10)")
    [ "$(xdotool getwindowname "$win")" = "Ombrix Web Updater [v. $updater_version U]" ] ||
      fail "title is $(xdotool getwindowname "$win")"
    wait_until "$(slow 10)" grep -q "$logged" "$(run_log)" || fail "no '$logged' in the log"
    want=$((window / 15 - $(win && echo 25 || echo 30))) # the X window lacks the frame
    wait_until 3 eval '[ "$(height)" = "$want" ]' || fail "window height $(height) px, not $want"
  fi
  $outcome
  echo "$row: passed"
done 3<<'TABLE'
offer|offer|-|om_updat.exe 127.0.0.1:PORT/ombrix.html|/latest_omexe/|Decision: offer|4680|waits
uptodate|uptodate|-|127.0.0.1:PORT/ombrix.html|/latest_omexe/|Decision: |2805|ends
404|offer|404|127.0.0.1:PORT/ombrix.html|/ombrix.html|Check failed: |2805|waits
huge|offer|huge|127.0.0.1:PORT/ombrix.html|/ombrix.html|Check failed: |2805|waits
endless|offer|endless|127.0.0.1:PORT/ombrix.html|/ombrix.html|Check failed: |2805|waits
proxied|offer|-|ombrix.invalid:8080/ombrix.html|http://ombrix.invalid:8080/latest_omexe/|Decision: offer|4680|waits
bypassed|offer|-|localhost:PORT/ombrix.html|/latest_omexe/|Decision: offer|4680|waits
auth407|offer|-|/manual ombrix.invalid:8080/auth407/ombrix.html|http://ombrix.invalid:8080/auth407/support_files/|-|-|box
TABLE
row=check-in
if win; then host='[^_]+'; else host=$(hostname); fi
report=$(ls "$work/ftp/check")
IFS=. read -r mo d y h mi sec _ <<<"${report: -23}"
t=$(date -d "$y-$mo-$d $h:$mi:$sec" +%s) || fail "no time in $report"
[[ $report =~ ^${host}_[0-9]+(\.[0-9]+){3}_[0-9]{2}\.[0-9]{2}\.[0-9]{4}(\.[0-9]{2}){3}\.txt$ ]] && [ "$t" -ge "$before" ] &&
  [ "$t" -le "$(date +%s)" ] || fail "not one report of the first run by its name: $report"
printf 'ombrix 2.1.5\r\n' | cmp -s - "$work/ftp/check/$report" || fail "the report's bytes differ"
[ ! -e "$inst/current_version.txt" ] || fail "current_version.txt is still there"
printf 'after update\n' >"$inst/current_version.txt" && : >"$site_log"
start_copy /updated "$site_page"
wait "$updater" || fail "the /updated run did not end by itself ($?)"
ups=$(ls "$work/ftp/ups")
[[ $ups =~ ^up_${host}_.*\.txt$ ]] && printf 'after update\n' | cmp -s - "$work/ftp/ups/$ups" || fail "ups report $ups"
[ ! -s "$site_log" ] && [ ! -e "$inst/current_version.txt" ] && [ "$(ls "$work/ftp/check")" = "$report" ] ||
  fail "the /updated run asked the site, kept current_version.txt or wrote to check/"
row=off-line
while read -r argument least most <&3; do # posix only
  start=$(date +%s%3N)
  (cd / && timeout 10 unshare -rn "$inst/om_updater_now.exe" "$argument") || fail "off line run $argument failed"
  took=$(($(date +%s%3N) - start))
  [ "$took" -ge "$least" ] && [ "$took" -lt "$most" ] || fail "off line run $argument took $took ms"
done 3< <(win || printf '%s\n' "host/ombrix.html 0 1500" "/manual 1900 5000")
echo "$OM_E2E_PLATFORM check e2e passed"
