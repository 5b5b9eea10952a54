#!/usr/bin/env bash
# Broken downloads in whole updates by the real updater under Wine (WinHTTP): the full installer
# answered with 404 or cut short, the quick update reset in the middle of its body. Each time the
# updater must end by itself after "Install", leave the installation as it was (an installer already
# in om_msi included), run no installer (Wine's msiexec still lists only 2.1.5) and start no program;
# a reset is resumed three times first. Breaks that happen once are got over: the installer
# installed is byte-identical to the served one.
set -euo pipefail
: "${OM_BIN_DIR:?}" "${OM_SOURCE_DIR:?}" "${OM_BINARY_DIR:?}"
source "$OM_SOURCE_DIR/tests/e2e/lib/common.sh"
source "$OM_SOURCE_DIR/tests/e2e/lib/win32_update.sh"
win_e2e_init

# The installation's files and their sums, without what every run changes by design: the check-in
# report's file (uploaded and deleted) and the updater's running copy.
snapshot() {
  (cd "$inst" && find . -type f ! -name current_version.txt ! -name om_updater_now.exe -print0 | sort -z | xargs -0 md5sum)
}
installed_products() {
  { timeout 60 wine reg query 'HKCU\Software\Microsoft\Installer\Products' /s 2>/dev/null || true; } |
    tr -d '\r' | sed -n 's/^ *ProductName *REG_SZ *//p' | sort | tr '\n' ' '
}

# try KIND MODE: one update whose package of KIND fails with MODE.
try() {
  local kind=$1 mode=$2 name
  [ -n "${site_pid:-}" ] && stop_site
  rm -rf "$work/site"
  make_win_installation
  case $kind in
    msi)
      make_win_site "$work/site" 2.1.6
      name=ombrix32_v2.1.6.msi
      # An earlier download of the same installer: it must survive a failed new one.
      cp "$work/msi/$name" "$inst/om_msi/$name"
      ;;
    quick)
      make_win_site "$work/site" 2.1.5
      name=om_exe.v.2.1.6.exe
      make_win_quick_update "$work/site/latest_omexe/$name" ombrix32.exe="$programs/ombrix32_2.1.6.exe"
      ;;
  esac
  local before products_before
  before=$(snapshot)
  products_before=$(installed_products)
  [ "$products_before" = "Ombrix 2.1.5 " ] || fail "$kind/$mode: installed before the run: $products_before"
  start_site "$work/site" --fault "$name=$mode"
  run_win_update /manual "$site_page"
  grep -q "/$name " "$site_log" || fail "$kind/$mode: the package was never asked for"
  [ "$mode" != reset ] || [ "$(site_requests "/$name ")" = 4 ] || fail "$kind/$mode: not resumed 3 times"
  [ "$(snapshot)" = "$before" ] || fail "$kind/$mode: the installation changed: $(diff <(echo "$before") <(snapshot))"
  [ "$(installed_products)" = "$products_before" ] || fail "$kind/$mode: msiexec ran: $(installed_products)"
  [ ! -e "$inst/started.txt" ] || fail "$kind/$mode: a program was started: $(cat "$inst/started.txt")"
  # "Install" put the history into both values; no installation wrote "[Updated ...]" after it.
  [ "$(win_reg LastSuccessRun)" = "[Updating {v.2.1.5<-}]" ] ||
    fail "$kind/$mode: LastSuccessRun: $(win_reg LastSuccessRun)"
  echo "$kind/$mode: the updater ended, nothing written"
}

try msi 404
try msi short
try quick reset
# Broken once: resumed from where it broke, or started over when the server ignores Range or the
# package changed in between (never two versions joined).
for mode in reset:1 stall:1 norange:1 changed:1; do
  stop_site
  rm -rf "$work/site"
  make_win_installation
  make_win_site "$work/site" 2.1.6
  start_site "$work/site" --fault "ombrix32_v2.1.6.msi=$mode"
  run_win_update /manual "$site_page"
  [ "$(site_requests "/ombrix32_v2.1.6.msi ")" = 2 ] || fail "$mode: $(grep msi "$site_log")"
  cmp -s "$work/site/ombrix32_v2.1.6.msi" "$inst/om_msi/ombrix32_v2.1.6.msi" || fail "$mode: the installer differs"
  [ "$(installed_products)" = "Ombrix 2.1.6 " ] || fail "$mode: installed: $(installed_products)"
  echo "$mode: $(grep msi "$site_log" | tail -n 1), installed"
done
echo "win32 update faults e2e passed"
