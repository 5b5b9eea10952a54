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
  case $mode in 404 | 500) log_names_failure "$name" "$mode" ;; esac
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
# refusal NAME PAGE WANT BOX: an update whose package NAME is bad or fails, or whose msiexec is a
# stand-in answering 1618 or 3010 first (Wine's own never answers 1618). Ombrix WANT ends up registered
# with Windows Installer, its ombrix32.exe in place and restarted, a message box was on screen (BOX=1)
# until answered, only a finished update is recorded, and a refused download is gone from om_msi.
refusal() {
  local name=$1 page=$2 want=$3 box=$4 msi=$work/site/ombrix32_v$2.msi sys=$WINEPREFIX/drive_c/windows/system32
  [ -n "${site_pid:-}" ] && stop_site
  rm -rf "$work/site"
  make_win_installation
  make_win_site "$work/site" "$page"
  : >"$work/codes.txt"
  case $name in
    page) printf '<html><body>Sign in to the network first</body></html>\n' >"$msi" ;;
    other_version) make_win_msi 2.1.7 && cp "$work/msi/ombrix32_v2.1.7.msi" "$msi" ;;
    refused) make_win_msi 2.1.6 refused && cp "$work/msi/ombrix32_v2.1.6-refused.msi" "$msi" ;;
    quick_fails) cp "$programs/package_sfx.exe" "$work/site/latest_omexe/om_exe.v.2.1.6.exe" ;; # no payload: 2
    busy) printf '0\n1618\n1618\n' >"$work/codes.txt" ;;
    restart_needed) printf '0\n3010\n' >"$work/codes.txt" ;;
  esac
  cp "$sys/msiexec.exe" "$work/msiexec.exe"
  if [ -s "$work/codes.txt" ]; then
    cp "$programs/v15_0_0_1.exe" "$sys/msiexec.exe"
    cp "$(ls /usr/lib/*/wine/x86_64-windows/msiexec.exe /usr/lib/wine/x86_64-windows/msiexec.exe 2>/dev/null | head -n 1)" "$sys/msiexec_real.exe"
  fi
  start_site "$work/site"
  OM_STAND_IN_CODES=$(om_wine_path "$work/codes.txt") WINEDLLOVERRIDES="mscoree,mshtml=;msiexec.exe=n" \
    box_shot=win32_refusal_$name run_win_update /manual "$site_page"
  cp "$work/msiexec.exe" "$sys/msiexec.exe"
  [ "$box_shown" = "$box" ] || fail "$name: message box shown: $box_shown"
  [ "$(installed_products)" = "Ombrix $want " ] || fail "$name: installed: $(installed_products)"
  cmp -s "$programs/ombrix32_$want.exe" "$inst/ombrix32.exe" || fail "$name: ombrix32.exe is not $want"
  [ ! -e "$inst/ombrix32.exe.previous" ] || fail "$name: ombrix32.exe.previous left behind"
  wait_until 20 win_application_restarted || fail "$name: ombrix32.exe was not restarted"
  [[ $(win_reg LastSuccessRun) == "[Updat$([ "$want" = 2.1.5 ] && echo ing || echo ed)"* ]] ||
    fail "$name: LastSuccessRun: $(win_reg LastSuccessRun)"
  case $name in page | other_version) [ ! -e "$inst/om_msi/ombrix32_v2.1.6.msi" ] || fail "$name: refused installer kept" ;; esac
  echo "$name: passed"
}

refusal page 2.1.6 2.1.5 1
refusal other_version 2.1.6 2.1.5 1
refusal refused 2.1.6 2.1.5 1
refusal quick_fails 2.1.5 2.1.5 1
refusal busy 2.1.6 2.1.6 0
refusal restart_needed 2.1.6 2.1.6 1
echo "win32 update faults e2e passed"
