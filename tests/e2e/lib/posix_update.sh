# Helpers for the posix update scripts (sourced after common.sh). The Windows programs the updater
# runs, "msiexec" and "taskkill", are small stand-ins put first on PATH. The installers are real
# Windows Installer packages (wixl); the stand-in msiexec puts their files in place with msitools.
#   make_installation   $inst with ombrix32.exe 2.1.5, three companions, its own om_msi installer and
#                       a registry file (OMBRIX_HKCU_FILE) whose exepath is $inst/
#   make_msi OUT VERSION [refused]  a full installer of ombrix32.exe VERSION (2.1.5, 2.1.6 or 2.1.7);
#                       "refused": its launch condition fails
#   make_quick_update OUT NAME=FILE...   a self-extracting 7-Zip package (7zCon.sfx)
#   make_site DIR PAGE_VERSION      the page, the two listings and the installer of PAGE_VERSION
#   run_update ARGS...              runs the updater on $DISPLAY, presses "Install" once the offer is
#                                   shown, answers a message box, and waits for the program to end;
#                                   sets updater_status and box_shown

programs=${OM_TEST_PROGRAMS:-${OM_BINARY_DIR:-}/tests/programs}

make_stand_in_tools() {
  mkdir -p "$work/bin"
  cat >"$work/bin/msiexec" <<'SH'
#!/bin/sh
# msiexec /uninstall "PATH" /passive | msiexec /package NAME /passive DISABLEADVTSHORTCUTS=TRUE
echo "$PWD|$*" >>"$OM_E2E_WORK/msiexec.log"
package=$(printf '%s' "$2" | tr '\\' '/')
[ -f "$package" ] || exit 1619
msiinfo export "$package" LaunchCondition 2>/dev/null | grep -q '^0' && exit 1603
case "$1" in
  /uninstall) msiextract -l "$package" | while read -r f; do rm -f "$OM_E2E_INST/$(basename "$f")"; done ;;
  /package) msiextract -C "$OM_E2E_WORK/extracted" "$package" >/dev/null || exit 1620
    chmod +x "$OM_E2E_WORK"/extracted/*/* && cp "$OM_E2E_WORK"/extracted/*/* "$OM_E2E_INST/" && rm -rf "$OM_E2E_WORK/extracted" ;;
  *) exit 1639 ;;
esac
SH
  cat >"$work/bin/taskkill" <<'SH'
#!/bin/sh
echo "$*" >>"$OM_E2E_WORK/taskkill.log"
exit 128
SH
  chmod +x "$work/bin/msiexec" "$work/bin/taskkill"
  export PATH="$work/bin:$PATH" OM_E2E_WORK=$work
}

make_msi() {
  local out=$1 version=$2 built=$work/msi/$2${3:+-$3}.msi
  if [ ! -f "$built" ]; then
    mkdir -p "$work/msi/$2"
    # 2.1.7 is only ever refused: any program will do as its content.
    cp "$programs/ombrix32_$version.exe" "$work/msi/$2/ombrix32.exe" 2>/dev/null || cp "$programs/ombrix32_2.1.6.exe" "$work/msi/$2/ombrix32.exe"
    timeout 60 bash "$OM_SOURCE_DIR/tests/fixtures/msi/build-msi.sh" "$version" "$work/msi/$2/ombrix32.exe" "$built" ${3:-} >/dev/null
  fi
  cp "$built" "$out"
}

make_quick_update() {
  local out=$1
  shift
  bash "$OM_SOURCE_DIR/tests/programs/posix/make_sfx_package.sh" "$out" "$@" >/dev/null
}

make_installation() {
  inst="$work/Ombrix Test" # a blank in the folder: every path on a command line must hold together
  mkdir -p "$inst/om_msi"
  export OM_E2E_INST=$inst
  cp "$OM_BIN_DIR/om_updat.exe" "$inst/om_updater_now.exe"
  cp "$programs/ombrix32_2.1.5.exe" "$inst/ombrix32.exe"
  for companion in vistrel.exe quorin.exe om_tarsel.exe; do cp "$programs/v2_1_0_300.exe" "$inst/$companion"; done
  make_msi "$inst/om_msi/ombrix32_v2.1.5.msi" 2.1.5
  # The application leaves this for the check-in report, which uploads and deletes it.
  printf 'ombrix 2.1.5\r\n' >"$inst/current_version.txt"
  cat >"$work/hkcu.reg" <<REG
REGEDIT4

[HKEY_CURRENT_USER\\Software\\Kelvane\\Ombrix32]
"application"="Ombrix 32"
"Installer"="ombrix32_v2.1.5.msi"
"ProductVersion"="2.1.5.0"
"ProductCode"="{6D1C9F2A-5E3B-4C7D-9A18-0B2E4F6A8C31}"
"InstallDate"="20260101"
"exepath"="$inst/"
REG
  export OMBRIX_HKCU_FILE=$work/hkcu.reg
  make_stand_in_tools
}

make_site() {
  local dir=$1 version=$2
  mkdir -p "$dir/support_files" "$dir/latest_omexe"
  sed "s/@VERSION@/$version/g" "$OM_SOURCE_DIR/tests/fixtures/update_site/ombrix.html.in" >"$dir/ombrix.html"
  make_msi "$dir/ombrix32_v$version.msi" "$version"
}

updater_running() { pgrep -f "$inst/om_updater_now.exe" >/dev/null; }
offer_made() { grep -q "latest_omexe/ " "$site_log"; }

# run_update ARGS...: the real updater; "Install" is pressed when the offer is on screen.
run_update() {
  : >"$work/taskkill.log"
  timeout 90 "$inst/om_updater_now.exe" "$@" >"$work/updater.out" 2>&1 &
  local runner=$!
  e2e_track "$runner"
  local win
  win=$(timeout 20 xdotool search --sync --name "Ombrix Web Updater" | head -n 1) || fail "no updater window"
  wait_until 20 offer_made || fail "the updater never asked for the quick-update listing"
  wait_until 1 offer_on_screen "$win" || true # a support package alone is offered in the compact window
  sleep 0.3
  timeout 5 import -window root "$work/offer.png" 2>/dev/null || true
  # "Install" (check_now 1 at 4710, 750 twips) appears when the offer is shown; press it until the
  # updater starts stopping the application's programs.
  local pressed=0
  for _ in 1 2 3 4 5 6; do
    sleep 0.3
    click_button "$win" 4710 750 2>/dev/null || true
    if wait_until 3 test -s "$work/taskkill.log"; then
      pressed=1
      break
    fi
    kill -0 "$runner" 2>/dev/null || break
  done
  [ "$pressed" = 1 ] || fail "pressing Install did nothing (taskkill never ran)"
  timeout 5 import -window root "$work/after_install.png" 2>/dev/null || true
  # A message box is a second window of the updater: shown on screen (saved), then answered.
  box_shown=0
  while kill -0 "$runner" 2>/dev/null; do
    local box
    box=$(xdotool search --name "Ombrix Web Updater" 2>/dev/null | grep -vx "$win" | head -n 1 || true)
    if [ -n "$box" ]; then
      sleep 0.5
      timeout 5 import -window root "$OM_BINARY_DIR/artifacts/${box_shot:-posix_box}.png" 2>/dev/null || true
      timeout 5 xdotool windowfocus --sync "$box" key Return 2>/dev/null || true
      box_shown=1
    fi
    sleep 0.2
  done
  wait "$runner" && updater_status=0 || updater_status=$?
  [ "$updater_status" != 124 ] || fail "the updater did not end within 90 s"
}

# started_by_restart: the restarted application's note.
application_restarted() { grep -q "ombrix32.exe" "$inst/started.txt" 2>/dev/null; }

# requests PATTERN: how many site requests match PATTERN.
requests() { grep -c -- "$1" "$site_log" || true; }
