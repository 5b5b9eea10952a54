#!/usr/bin/env bash
# Broken downloads in whole updates by the real updater: for each kind of package (full installer,
# quick update, support package) the site answers 404 or 500, cuts the body short, resets the
# connection in the middle of the body, or stalls. Each time the updater must end by itself after
# "Install", write nothing into the installation (an installer already in om_msi stays as it was),
# run no installer and start no program; a break mid-body is resumed three times first. Breaks that
# happen once are got over: the installer installed is byte-identical to the served one. Then packages
# that must not run and installers that fail (see refusal below).
set -euo pipefail
: "${OM_BIN_DIR:?}" "${OM_SOURCE_DIR:?}" "${OM_BINARY_DIR:?}"
source "$OM_SOURCE_DIR/tests/e2e/lib/common.sh"
source "$OM_SOURCE_DIR/tests/e2e/lib/posix_update.sh"
e2e_init
start_display
start_report_server

snapshot() { (cd "$inst" && find . -type f ! -name current_version.txt -print0 | sort -z | xargs -0 md5sum); }

# try KIND MODE: one update whose package of KIND fails with MODE.
try() {
  local kind=$1 mode=$2 name
  [ -n "${site_pid:-}" ] && stop_site
  rm -rf "$work/Ombrix Test" "$work/site" "$work/msiexec.log"
  make_installation
  case $kind in
    msi)
      make_site "$work/site" 2.1.6
      name=ombrix32_v2.1.6.msi
      # An earlier download of the same installer: it must survive a failed new one.
      make_msi "$inst/om_msi/$name" 2.1.6
      ;;
    quick)
      make_site "$work/site" 2.1.5
      name=om_exe.v.2.1.6.exe
      make_quick_update "$work/site/latest_omexe/$name" ombrix32.exe="$programs/ombrix32_2.1.6.exe"
      ;;
    support)
      make_site "$work/site" 2.1.5
      name=up_support_a.exe
      make_quick_update "$work/site/support_files/$name" ombrix32.exe="$programs/ombrix32_2.1.6.exe"
      ;;
  esac
  local before
  before=$(snapshot)
  start_site "$work/site" --fault "$name=$mode"
  run_update /manual "$site_page"
  grep -q "/$name " "$site_log" || fail "$kind/$mode: the package was never asked for"
  case $mode in 404 | 500) log_names_failure "$name" "$mode" ;; esac
  case $mode in short | reset | stall) [ "$(requests "/$name ")" = 4 ] || fail "$kind/$mode: not resumed 3 times" ;; esac
  [ "$(snapshot)" = "$before" ] || fail "$kind/$mode: the installation changed: $(diff <(echo "$before") <(snapshot))"
  [ ! -e "$work/msiexec.log" ] || fail "$kind/$mode: msiexec ran: $(cat "$work/msiexec.log")"
  [ ! -e "$inst/started.txt" ] || fail "$kind/$mode: a program was started: $(cat "$inst/started.txt")"
  [ -z "$(ls "$inst" | grep -e '\.completed$' -e '^support_installed' || true)" ] || fail "$kind/$mode: marked as installed"
  echo "$kind/$mode: ended with status $updater_status, nothing written"
}

for kind in msi quick support; do
  for mode in 404 500 short reset stall; do
    try "$kind" "$mode"
  done
done
# Broken once: resumed from where it broke, or started over when the server ignores Range or the
# package changed in between (never two versions joined).
for mode in reset:1 stall:1 norange:1 changed:1; do
  stop_site
  rm -rf "$work/Ombrix Test" "$work/site" "$work/msiexec.log"
  make_installation
  make_site "$work/site" 2.1.6
  start_site "$work/site" --fault "ombrix32_v2.1.6.msi=$mode"
  run_update /manual "$site_page"
  [ "$(requests "/ombrix32_v2.1.6.msi ")" = 2 ] || fail "$mode: $(grep msi "$site_log")"
  cmp -s "$work/site/ombrix32_v2.1.6.msi" "$inst/om_msi/ombrix32_v2.1.6.msi" || fail "$mode: the installer differs"
  grep -q "/package ombrix32_v2.1.6.msi" "$work/msiexec.log" || fail "$mode: not installed"
  echo "$mode: $(grep msi "$site_log" | tail -n 1), installed"
done
# refusal NAME PAGE RUNS EXE: an update whose package NAME is bad or fails; msiexec runs RUNS times,
# ombrix32.exe EXE is left in place and restarted, a message box is shown, and nothing is recorded.
# (posix exit codes keep 8 bits: 1618 and 3010 are shown by the Wine run and the core tests.)
refusal() {
  local name=$1 page=$2 runs=$3 exe=$4 msi
  [ -n "${site_pid:-}" ] && stop_site
  rm -rf "$work/Ombrix Test" "$work/site" "$work/msiexec.log"
  make_installation
  make_site "$work/site" "$page"
  msi=$work/site/ombrix32_v$page.msi
  case $name in
    page) printf '<html><body>Sign in to the network first</body></html>\n' >"$msi" ;;
    other_version) make_msi "$msi" 2.1.7 ;;
    refused) make_msi "$msi" 2.1.6 refused ;;
    quick_fails) printf '#!/bin/sh\nexit 3\n' >"$work/site/latest_omexe/om_exe.v.2.1.6.exe" ;;
  esac
  start_site "$work/site"
  box_shot=posix_refusal_$name run_update /manual "$site_page"
  [ "$box_shown" = 1 ] || fail "$name: no message box"
  [ "$(cat "$work/msiexec.log" 2>/dev/null | wc -l)" = "$runs" ] || fail "$name: msiexec: $(cat "$work/msiexec.log")"
  cmp -s "$programs/ombrix32_$exe.exe" "$inst/ombrix32.exe" || fail "$name: ombrix32.exe is not $exe"
  [ ! -e "$inst/ombrix32.exe.previous" ] || fail "$name: ombrix32.exe.previous left behind"
  wait_until 10 application_restarted || fail "$name: ombrix32.exe was not restarted"
  case $name in page | other_version) [ ! -e "$inst/om_msi/ombrix32_v2.1.6.msi" ] || fail "$name: refused installer kept" ;; esac
  success=$(reg_value "$OMBRIX_HKCU_FILE" LastSuccessRun)
  [[ $success == "[Updating "* ]] || fail "$name: recorded: $success"
  echo "$name: passed"
}

refusal page 2.1.6 0 2.1.5
refusal other_version 2.1.6 0 2.1.5
refusal refused 2.1.6 3 2.1.5
refusal quick_fails 2.1.5 0 2.1.5
echo "update faults e2e passed"
