# Helpers for the whole updates, with common.sh (the e2e scripts source this file); the same calls on
# both platforms.
#   posix: "msiexec" and "taskkill" are small stand-ins first on PATH: the stand-in msiexec puts the
#     wixl installers' files in place with msitools and keeps the installed products in $work/products;
#     the registry is a file (OMBRIX_HKCU_FILE); the installation folder holds a blank.
#   win32: all real under Wine: msiexec, taskkill and the registry of a private prefix; the
#     installation is C:\OmbrixTest\, the folder the test installers write "ombrix32.exe" to.
#   update_begin [--any-display|--port-21]   $work, a private X server (or with --any-display a
#                              working $DISPLAY), the report server (start_report_server), one EXIT trap
#   make_msi VERSION [refused] $work/msi/ombrix32_vVERSION[-refused].msi, built once per script;
#                              2.1.7 (only ever refused) holds the 2.1.6 program
#   make_installation          2.1.5 installed from om_msi, three companions, om_updat.exe,
#                              current_version.txt and the registry values. Under Wine msiexec installs
#                              it once per script; later calls put back what it changed in the prefix.
#   start_copy ARGS...         the running copy "om_updater_now.exe" started by itself in the
#                              background; sets updater (its pid)
#   make_package OUT NAME=FILE...   a self-extracting package (package_sfx.exe and pack_sfx.py)
#   sign_site                  signs every package of $work/site for the updater in bin/signed
#   run_update ARGS...         runs om_updat.exe (it hands over to om_updater_now.exe and ends), presses
#                              "Install" once the offer is decided, answers every message box (box_shown:
#                              how many there were) and waits until the copy has ended
#   reg NAME, installed_products, restarted, requests PATTERN

set -euo pipefail
source "$OM_SOURCE_DIR/tests/e2e/lib/common.sh"
programs=$OM_TEST_PROGRAMS

update_begin() {
  mkdir -p "$OM_BINARY_DIR/artifacts"
  if win; then
    source "$OM_SOURCE_DIR/tests/win32/wine-env.sh" || fail "no Wine prefix"
    inst=$WINEPREFIX/drive_c/OmbrixTest win_inst_dos='C:\OmbrixTest\'
  fi
  work=$(mktemp -d /tmp/om-e2e.XXXXXX)
  trap e2e_cleanup EXIT
  export XDG_STATE_HOME=$work/state
  win || { inst="$work/Ombrix Test" && make_stand_ins; } # a blank in the folder: paths must hold together
  if [ "${1:-}" != --any-display ] || ! timeout 5 xdpyinfo >/dev/null 2>&1; then # a private X server
    timeout 290 Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
    e2e_track $!
    wait_until 15 test -s "$work/display" || fail "Xvfb did not start"
    export DISPLAY=:$(head -n 1 "$work/display")
  fi
  start_report_server "${1:-}"
}

make_stand_ins() {
  mkdir -p "$work/bin"
  cat >"$work/bin/msiexec" <<'SH'
#!/bin/sh
# msiexec /uninstall "PATH" /passive | msiexec /package NAME /passive DISABLEADVTSHORTCUTS=TRUE
package=$(printf '%s' "$2" | tr '\\' '/')
product=$(msiinfo export "$package" Property | tr -d '\r' | sed -n 's/^ProductName\t//p')
case "$1" in
  /uninstall) msiextract -l "$package" | while read -r f; do rm -f "$OM_E2E_INST/$(basename "$f")"; done
    sed -i "/^$product\$/d" "$OM_E2E_WORK/products" ;;
  /package) msiextract -C "$OM_E2E_WORK/extracted" "$package" >/dev/null || exit 1620
    chmod +x "$OM_E2E_WORK"/extracted/*/* && cp "$OM_E2E_WORK"/extracted/*/* "$OM_E2E_INST/" && rm -rf "$OM_E2E_WORK/extracted"
    echo "$product" >>"$OM_E2E_WORK/products" ;;
esac
SH
  printf '#!/bin/sh\nexit 128\n' >"$work/bin/taskkill"
  chmod +x "$work/bin/msiexec" "$work/bin/taskkill"
  export PATH="$work/bin:$PATH" OM_E2E_WORK=$work OM_E2E_INST=$inst
}

make_msi() {
  local out=$work/msi/ombrix32_v$1${2:+-$2}.msi exe=$programs/ombrix32_$1.exe
  [ -f "$out" ] && return 0
  [ -f "$exe" ] || exe=$programs/ombrix32_2.1.6.exe
  mkdir -p "$work/msi" && timeout 60 bash "$OM_SOURCE_DIR/tests/fixtures/msi/build-msi.sh" "$1" "$exe" "$out" ${2:-} >/dev/null ||
    fail "wixl could not build the $1 installer"
}

make_package() {
  mkdir -p "$(dirname "$1")"
  /usr/bin/python3 "$OM_SOURCE_DIR/tests/programs/pack_sfx.py" "$programs/package_sfx.exe" "$@" || fail "cannot pack $1"
}

# keep_parts FROM TO: the parts of a Wine prefix that an installation or an update changes (the
# registry, the installation, the installers Windows Installer keeps, the user's files), copied over.
keep_parts() {
  local parts='system.reg user.reg userdef.reg drive_c/OmbrixTest drive_c/users drive_c/ProgramData drive_c/windows/Installer'
  mkdir -p "$2" && (cd "$2" && rm -rf $parts) && (cd "$1" && cp -a --parents $(ls -d $parts 2>/dev/null) "$2") ||
    fail "cannot copy the parts of $1"
}

# make_installation [--bare]: the installation as the application's own installer leaves it, plus what
# the updater needs; --bare: ombrix32.exe 2.1.5 copied in place, Windows Installer not asked.
make_installation() {
  local name exepath=$inst/ msi=$inst/om_msi/ombrix32_v2.1.5.msi
  # One wineserver stays up until the next installation: a program started while the server is
  # shutting down (a few seconds after its last program ended) loses its connection and ends with
  # code 1 before it runs (the updater's hand-over, "wine reg").
  if win && [ -d "$work/installed" ]; then
    om_wine_stop && keep_parts "$work/installed" "$WINEPREFIX" && timeout 30 wineserver -p || fail "cannot put 2.1.5 back"
  else
    ! win || timeout 30 wineserver -p || fail "no wineserver"
    win && exepath=${win_inst_dos//\\/\\\\} msi='C:\OmbrixTest\om_msi\ombrix32_v2.1.5.msi'
    rm -rf "$inst" && mkdir -p "$inst/om_msi"
    cat >"$work/hkcu.reg" <<REG
REGEDIT4

[HKEY_CURRENT_USER\\Software\\Kelvane\\Ombrix32]
"application"="Ombrix 32"
"Installer"="ombrix32_v2.1.5.msi"
"ProductVersion"="2.1.5.0"
"ProductCode"="{6D1C9F2A-5E3B-4C7D-9A18-0B2E4F6A8C31}"
"InstallDate"="20260101"
"exepath"="$exepath"
REG
    export OMBRIX_HKCU_FILE=$work/hkcu.reg
    : >"$work/products"
    if [ "${1:-}" = --bare ]; then
      cp "$programs/ombrix32_2.1.5.exe" "$inst/ombrix32.exe"
    else
      make_msi 2.1.5 && cp "$work/msi/ombrix32_v2.1.5.msi" "$inst/om_msi/"
      timeout 60 $(win && echo wine) msiexec /package "$msi" /passive >/dev/null 2>&1 || fail "msiexec could not install 2.1.5"
    fi
    ! win || timeout 60 wine reg import "$(om_wine_path "$work/hkcu.reg")" >/dev/null 2>&1 || fail "cannot write the registry"
    # The registry reaches its files when the server ends (om_wine_stop waits for that): kept as they
    # are for the next installation.
    ! win || [ "${1:-}" = --bare ] || { om_wine_stop && keep_parts "$WINEPREFIX" "$work/installed" && timeout 30 wineserver -p; } ||
      fail "cannot keep the prefix"
  fi
  cmp -s "$programs/ombrix32_2.1.5.exe" "$inst/ombrix32.exe" || fail "ombrix32.exe 2.1.5 is not installed"
  for name in vistrel.exe quorin.exe om_tarsel.exe; do cp "$programs/v2_1_0_300.exe" "$inst/$name"; done
  cp "$OM_BIN_DIR/om_updat.exe" "$inst/om_updat.exe"
  # The application leaves this for the check-in report, which uploads and deletes it.
  printf 'ombrix 2.1.5\r\n' >"$inst/current_version.txt"
}

# inst_run SECONDS PROGRAM ARGS...: PROGRAM of the installation started by its whole path (posix: from
# /, so that nothing depends on the folder it starts in), ended after SECONDS.
inst_run() {
  local seconds=$1 program=$2
  shift 2
  if win; then
    timeout "$seconds" wine "$win_inst_dos$program" "$@"
  else
    (cd / && exec timeout "$seconds" "$inst/$program" "$@")
  fi
}

start_copy() {
  rm -f "$(run_log)"
  [ -e "$inst/om_updater_now.exe" ] || cp "$inst/om_updat.exe" "$inst/om_updater_now.exe"
  inst_run 150 om_updater_now.exe "$@" >"$work/updater.log" 2>&1 &
  updater=$!
  e2e_track "$updater"
}

# sign_site: every package on the site signed with the tests' release key, which the updater in
# bin/signed trusts (scripts/release-key.sh makes it for the build folder).
sign_site() {
  find "$work/site" -type f \( -name '*.msi' -o -name '*.exe' \) -print0 | xargs -0 bash "$OM_SOURCE_DIR/scripts/sign-release.sh" \
    "$OM_BINARY_DIR/test-release-key/release-private-key.pem" >/dev/null || fail "signing failed"
}


# fresh PAGE_VERSION: a new installation and a new site (not yet served): the page offering
# PAGE_VERSION, the two listings (empty) and the installer of PAGE_VERSION.
fresh() {
  [ -z "${site_pid:-}" ] || { kill "$site_pid" && wait "$site_pid"; } 2>/dev/null || true
  rm -rf "$work/site" && mkdir -p "$work/site/support_files" "$work/site/latest_omexe"
  make_installation
  sed "s/@VERSION@/$1/g" "$OM_SOURCE_DIR/tests/fixtures/update_site/ombrix.html.in" >"$work/site/ombrix.html"
  make_msi "$1" && cp "$work/msi/ombrix32_v$1.msi" "$work/site/"
}

# The copy of this run (Wine names its processes after the program as well).
copy_pids() {
  local pid
  for pid in $(pgrep -x 'om_updater_now.'); do ! grep -qF "$work" "/proc/$pid/environ" 2>/dev/null || echo "$pid"; done
}
copy_running() { [ -n "$(copy_pids)" ]; }
decided() {
  grep -q '^.*Decision: offer' "$(run_log)" 2>/dev/null || { [ -d "$(run_log)" ] && grep -q "latest_omexe/ " "$site_log"; }
}
# What pressing "Install" sets going: the first stop command, a transfer, or the updater's end.
install_started() {
  grep -q 'ran "taskkill' "$(run_log)" 2>/dev/null || ! copy_running ||
    [ "$(grep -vc -e '/ombrix.html ' -e '/support_files/ ' -e '/latest_omexe/ ' "$site_log")" != 0 ]
}

# hand_over ARGS...: runs om_updat.exe, which leaves its running copy (tracked) and ends.
hand_over() {
  inst_run 60 om_updat.exe "$@" >"$work/updater.out" 2>&1 || fail "om_updat.exe did not hand over to its copy and end ($?)"
  e2e_track $(copy_pids)
}

run_update() {
  rm -f "$inst/started.txt" "$work/boxes" "$(run_log)" 2>/dev/null || true
  hand_over "$@"
  local win box try deadline=$((SECONDS + 90))
  win=$(find_window 30)
  wait_until 30 decided || fail "the updater offered nothing"
  timeout 5 import -window root "$work/offer.png" 2>/dev/null || true
  # "Install" (check_now 1 at 4710, 750 twips). Stopping the four programs through Wine's taskkill
  # takes a few seconds: a press is repeated only when nothing has started by then.
  for try in 1 2 3 -; do
    [ "$try" != - ] || fail "pressing Install did nothing"
    click_button "$win" 4710 750 2>/dev/null || true
    ! wait_until "$(slow 3)" install_started || break
  done
  # A message box (the updater's, or msiexec's own) is kept on screen, then answered as a user would.
  while copy_running; do
    [ "$SECONDS" -lt "$deadline" ] || fail "the updater did not end within 90 s"
    box=$(xdotool search --onlyvisible --name 'Ombrix Web Updater|Install|Failed|Error' 2>/dev/null | grep -vx "$win" | head -n 1 || true)
    if [ -n "$box" ]; then
      echo "$box" >>"$work/boxes"
      timeout 5 import -window root "$OM_BINARY_DIR/artifacts/${box_shot:-${OM_E2E_PLATFORM}_box}.png" 2>/dev/null || true
      # A click on the box (not on its button) gives it the focus its default button needs.
      timeout 5 xdotool mousemove --window "$box" 5 5 click 1 key Return 2>/dev/null || true
    fi
    sleep 0.2
  done
  box_shown=$(sort -u "$work/boxes" 2>/dev/null | grep -c . || true)
}

reg() {
  if win; then
    { timeout 60 wine reg query 'HKCU\Software\Kelvane\Ombrix32' /v "$1" 2>/dev/null || true; } | tr -d '\r' |
      sed -n "s/^ *$1 *REG_SZ *//p" | head -n 1
  else # the text value in the registry file (REGEDIT4, CR LF)
    awk -v key="\"$1\"=" '{ sub(/\r$/, "") } /^\[/ { inside = tolower($0) == "[hkey_current_user\\software\\kelvane\\ombrix32]" }
      inside && index($0, key) == 1 { v = substr($0, length(key) + 1); gsub(/^"|"$/, "", v); gsub(/\\\\/, "\\", v); print v; exit }' "$OMBRIX_HKCU_FILE"
  fi
}

# The products Windows Installer has installed, sorted, one blank between them.
installed_products() {
  if win; then
    { timeout 60 wine reg query 'HKCU\Software\Microsoft\Installer\Products' /s 2>/dev/null || true; } |
      tr -d '\r' | sed -n 's/^ *ProductName *REG_SZ *//p'
  else
    cat "$work/products"
  fi | sort | paste -sd ' '
}

restarted() { wait_until "$(slow 5)" grep -q "ombrix32.exe" "$inst/started.txt"; }
requests() { grep -c -- "$1" "$site_log" || true; }
