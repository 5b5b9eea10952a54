# Helpers for the whole updates under Wine (sourced after common.sh). Everything is real: the updater
# (om_updat.exe, which relaunches itself as om_updater_now.exe), Wine's msiexec with wixl installers,
# Wine's taskkill, the registry of a private Wine prefix, a window on a private Xvfb. The installation
# folder is C:\OmbrixTest\, the folder the test installers write "ombrix32.exe" to.
#   win_e2e_init [--any-display] fresh prefix, $work, X server, report server; one EXIT trap for all
#   make_win_msi VERSION [refused]  $work/msi/ombrix32_vVERSION[-refused].msi (wixl), built once per script
#   make_win_installation        C:\OmbrixTest with 2.1.5 installed by msiexec, companions, registry
#   make_win_quick_update OUT NAME=FILE...   a self-extracting package (package_sfx.exe + pack_sfx.py)
#   make_win_site DIR VERSION    the page, the two listings and the installer of VERSION
#   run_win_update ARGS...       starts om_updat.exe, presses "Install" once the offer is shown,
#                                answers message boxes (box_shown=1) and waits until the copy has ended
#   win_reg NAME                 a value of the Ombrix key, read with "wine reg query"
#   pe_version FILE              the file version of a PE file ("2.1.0.6"), read from its resources

programs=${OM_TEST_PROGRAMS:-${OM_BINARY_DIR:-}/tests/programs}
win_inst_dos='C:\OmbrixTest\'
win_key='HKCU\Software\Kelvane\Ombrix32'

win_e2e_cleanup() {
  local status=$?
  set +e
  # Wine first: a window or a message box left open must not outlive the run.
  om_wine_cleanup
  (exit "$status")
  e2e_cleanup
}

# win_e2e_init [--any-display]: with --any-display a working $DISPLAY is used instead of a private Xvfb.
win_e2e_init() {
  source "$OM_SOURCE_DIR/tests/win32/wine-env.sh" || fail "no Wine prefix"
  e2e_init
  trap win_e2e_cleanup EXIT
  inst=$WINEPREFIX/drive_c/OmbrixTest
  export OM_E2E_INST=$inst
  if [ "${1:-}" != --any-display ] || [ -z "${DISPLAY:-}" ] || ! timeout 5 xdpyinfo >/dev/null 2>&1; then
    start_display
  fi
  start_report_server
}

make_win_msi() { # VERSION [refused]: 2.1.7 (only ever refused) holds the 2.1.6 program
  local version=$1 out=$work/msi/ombrix32_v$1${2:+-$2}.msi stage
  [ -f "$out" ] && return 0
  mkdir -p "$work/msi"
  stage=$(mktemp -d "$work/msi.XXXXXX")
  cp "$programs/ombrix32_$version.exe" "$stage/ombrix32.exe" 2>/dev/null || cp "$programs/ombrix32_2.1.6.exe" "$stage/ombrix32.exe"
  timeout 60 bash "$OM_SOURCE_DIR/tests/fixtures/msi/build-msi.sh" "$version" "$stage/ombrix32.exe" "$out" ${2:-} >/dev/null ||
    fail "wixl could not build the $version installer"
  rm -rf "$stage"
}

make_win_quick_update() {
  local out=$1
  shift
  mkdir -p "$(dirname "$out")"
  /usr/bin/python3 "$OM_SOURCE_DIR/tests/programs/pack_sfx.py" "$programs/package_sfx.exe" "$out" "$@" ||
    fail "cannot pack $out"
}


win_msiexec() { # ARGS...: Wine's msiexec; the test fails when it does not end in time
  timeout 60 wine msiexec "$@" >/dev/null 2>&1 || fail "msiexec $* failed ($?)"
}

# The installation as the application's own installer leaves it, plus what the updater needs.
make_win_installation() {
  # An earlier case may have left a version installed in this prefix; msiexec would take a second
  # install of it for a repair. Every test installer built so far is uninstalled (a no-op when absent).
  local msi
  for msi in "$work"/msi/*.msi; do
    [ -f "$msi" ] || continue
    timeout 60 wine msiexec /uninstall "$(om_wine_path "$msi")" /passive >/dev/null 2>&1 || true
  done
  rm -rf "$inst"
  mkdir -p "$inst/om_msi"
  make_win_msi 2.1.5
  cp "$work/msi/ombrix32_v2.1.5.msi" "$inst/om_msi/"
  win_msiexec /package 'C:\OmbrixTest\om_msi\ombrix32_v2.1.5.msi' /passive
  cmp -s "$programs/ombrix32_2.1.5.exe" "$inst/ombrix32.exe" || fail "msiexec did not install ombrix32.exe 2.1.5"
  local companion
  for companion in vistrel.exe quorin.exe om_tarsel.exe; do cp "$programs/v2_1_0_300.exe" "$inst/$companion"; done
  cp "$OM_BIN_DIR/om_updat.exe" "$inst/om_updat.exe"
  # The application leaves this for the check-in report, which uploads and deletes it.
  printf 'ombrix 2.1.5\r\n' >"$inst/current_version.txt"
  local name value
  while IFS='|' read -r name value; do
    timeout 60 wine reg add "$win_key" /v "$name" /d "$value" /f >/dev/null 2>&1 || fail "reg add $name"
  done <<EOF
application|Ombrix 32
Installer|ombrix32_v2.1.5.msi
ProductVersion|2.1.5.0
ProductCode|{6D1C9F2A-5E3B-4C7D-9A18-0B2E4F6A8C31}
InstallDate|20260101
exepath|$win_inst_dos
EOF
  # Earlier runs' history is not this run's.
  for name in LastFailureRun LastSuccessRun fileversions; do
    timeout 60 wine reg delete "$win_key" /v "$name" /f >/dev/null 2>&1 || true
  done
  # The updater starts on a fresh wineserver: one started while the last one is shutting down (a few
  # seconds after its last program) loses its connection and ends with code 1 before it runs.
  timeout 30 wineserver -w || true
}

make_win_site() {
  local dir=$1 version=$2
  mkdir -p "$dir/support_files" "$dir/latest_omexe"
  sed "s/@VERSION@/$version/g" "$OM_SOURCE_DIR/tests/fixtures/update_site/ombrix.html.in" >"$dir/ombrix.html"
  make_win_msi "$version"
  cp "$work/msi/ombrix32_v$version.msi" "$dir/"
}

win_reg() {
  # A missing value is an empty text, as the updater reads it.
  { timeout 60 wine reg query "$win_key" /v "$1" 2>/dev/null || true; } | tr -d '\r' |
    sed -n "s/^ *$1 *REG_SZ *//p" | head -n 1
}

pe_version() {
  /usr/bin/python3 - "$1" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
at = data.find(struct.pack("<I", 0xFEEF04BD))
if at < 0:
    sys.exit("no VS_FIXEDFILEINFO in " + sys.argv[1])
ms, ls = struct.unpack_from("<II", data, at + 8)
print("%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF))
PY
}

win_copy_running() { pgrep -f '[Cc]:.OmbrixTest.om_updater_now\.exe' >/dev/null; }
win_offer_made() { grep -q "latest_omexe/ " "$site_log"; }
# What pressing "Install" sets going: a transfer, the main executable deleted, or the updater ending.
win_install_started() {
  [ "$(grep -vc -e '/ombrix.html ' -e '/support_files/ ' -e '/latest_omexe/ ' "$site_log")" != 0 ] ||
    ! cmp -s "$inst/ombrix32.exe" "$work/before_ombrix32.exe" || ! win_copy_running
}

# run_win_update ARGS...: the real updater started as "om_updat.exe"; its copy shows the offer, then
# "Install" is pressed and the copy is awaited.
run_win_update() {
  rm -f "$inst/started.txt"
  cp "$inst/ombrix32.exe" "$work/before_ombrix32.exe"
  timeout 60 wine "${win_inst_dos}om_updat.exe" "$@" >"$work/updater.out" 2>&1 ||
    fail "om_updat.exe did not hand over to its copy and end ($?)"
  local win
  win=$(timeout 30 xdotool search --sync --name "Ombrix Web Updater" | head -n 1) || fail "no updater window"
  wait_until 30 win_offer_made || fail "the updater never asked for the quick-update listing"
  wait_until 3 offer_on_screen "$win" || true # a support package alone is offered in the compact window
  # "Install" (check_now 1 at 4710, 750 twips) appears once the offer is shown. Stopping the four
  # programs through Wine's taskkill takes a few seconds, so a press is repeated only after 10 s.
  local pressed=0
  for _ in 1 2 3; do
    sleep 0.5
    timeout 5 import -window root "$work/offer.png" 2>/dev/null || true
    click_button "$win" 4710 750 2>/dev/null || true
    if wait_until 10 win_install_started; then
      pressed=1
      break
    fi
  done
  [ "$pressed" = 1 ] || fail "pressing Install did nothing"
  timeout 5 import -window root "$work/installing.png" 2>/dev/null || true
  # A message box (the updater's, or msiexec's own "Install Failed") is shown on screen (saved), then
  # answered as a user would.
  box_shown=0
  local deadline=$((SECONDS + 90)) box
  while win_copy_running; do
    [ "$SECONDS" -lt "$deadline" ] || fail "the updater did not end within 90 s"
    box=$(xdotool search --onlyvisible --name 'Ombrix Web Updater|Install|Failed|Error' 2>/dev/null | grep -vx "$win" | head -n 1 || true)
    if [ -n "$box" ]; then
      sleep 0.5
      timeout 5 import -window root "$OM_BINARY_DIR/artifacts/${box_shot:-win32_box}.png" 2>/dev/null || true
      # A click on the box (not on its button) gives it the focus its default button needs.
      timeout 5 xdotool mousemove --window "$box" 5 5 click 1 key Return 2>/dev/null || true
      box_shown=1
    fi
    sleep 0.3
  done
}

win_application_restarted() { grep -q "ombrix32.exe" "$inst/started.txt" 2>/dev/null; }

# site_requests PATTERN: how many requests to the release site match PATTERN.
site_requests() { grep -c -- "$1" "$site_log" || true; }
