#!/usr/bin/env bash
# The release check through the user's proxy (posix: http_proxy/no_proxy; win64 under Wine: the binary
# connection settings WinHTTP reads). The test site also stands as the proxy: it answers absolute
# addresses, so a site under ".invalid" is reachable only through it, and its log shows every request
# in the form it came. Cases: through the proxy, the bypass list (direct), and a proxy asking for
# credentials (407), which a message box names before the program ends.
set -euo pipefail
source "$OM_SOURCE_DIR/tests/e2e/lib/common.sh"
source "$OM_SOURCE_DIR/tests/e2e/lib/update.sh"
update_begin
make_installation --bare
start_site "$OM_SOURCE_DIR/tests/fixtures/check_sites/offer"

proxy=127.0.0.1:$site_port
if [ "$OM_E2E_PLATFORM" = win32 ]; then
  settings=$(/usr/bin/python3 -c 'import struct, sys
p, b = (a.encode() for a in sys.argv[1:])
print((struct.pack("<4I", 0x46, 1, 3, len(p)) + p + struct.pack("<I", len(b)) + b + bytes(36)).hex())' "$proxy" "<local>")
  timeout 60 wine reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings\Connections' \
    /v DefaultConnectionSettings /t REG_BINARY /d "$settings" /f >/dev/null 2>&1
else
  export http_proxy=http://$proxy no_proxy=localhost
fi

# SITE PATH_AS_LOGGED: the check of SITE reaches the quick-update listing, asked as PATH_AS_LOGGED.
for case in "ombrix.invalid:8080 http://ombrix.invalid:8080" "localhost:$site_port "; do
  read -r site logged <<<"$case"
  : >"$site_log"
  start_copy "$site/ombrix.html"
  wait_request "$logged/latest_omexe/" "$(slow 30)"
  [ "$(grep -vc "^$logged/" "$site_log")" = 0 ] || fail "$site: not all requests as $logged/: $(cat "$site_log")"
  click_button "$(find_window "$(slow 10)")" 4710 405 # "Cancel"
  wait_until 10 eval '! kill -0 '"$updater"' 2>/dev/null' || fail "Cancel did not end the updater"
  echo "$site: $(wc -l <"$site_log") requests as $logged/..."
done

# A proxy that asks for credentials: the first request fails, a message box names the proxy, and the
# program ends once it is answered.
: >"$site_log"
start_copy /manual "ombrix.invalid:8080/auth407/ombrix.html"
wait_request "http://ombrix.invalid:8080/auth407/support_files/" "$(slow 30)"
boxes() { xdotool search --name "Ombrix Web Updater" 2>/dev/null | grep -c . || true; }
wait_until "$(slow 15)" eval '[ "$(boxes)" -ge 2 ]' || fail "no message box after the 407"
sleep 0.3 && xdotool key Return
wait_until "$(slow 15)" eval '! kill -0 '"$updater"' 2>/dev/null' || fail "the updater went on after a 407"
[ "$(wc -l <"$site_log")" = 1 ] || fail "requests after the 407: $(cat "$site_log")"
echo "$OM_E2E_PLATFORM proxy e2e passed"
