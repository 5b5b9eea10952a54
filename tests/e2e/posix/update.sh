#!/usr/bin/env bash
# Whole updates by the real updater on a real display: the offer read from a release site on
# 127.0.0.1, "Install" pressed with xdotool, the packages downloaded and installed by the stand-in
# msiexec and the 7-Zip self-extracting packages, the registry history written and the application
# restarted. Four runs: full installer and quick update together, a quick update alone, a pending
# support package (handled alone), and "/skip_down" with the installer already in om_msi.
set -euo pipefail
: "${OM_BIN_DIR:?}" "${OM_SOURCE_DIR:?}" "${OM_BINARY_DIR:?}"
source "$OM_SOURCE_DIR/tests/e2e/lib/common.sh"
source "$OM_SOURCE_DIR/tests/e2e/lib/posix_update.sh"
e2e_init
mkdir -p "$OM_BINARY_DIR/artifacts"
start_display
start_report_server

fresh() { # PAGE_VERSION: a new installation and site
  [ -n "${site_pid:-}" ] && stop_site
  rm -rf "$work/Ombrix Test" "$work/site" "$work/msiexec.log"
  make_installation
  make_site "$work/site" "$1"
}

# 1. Full installer 2.1.6 and quick update 2.1.6 together.
fresh 2.1.6
printf 'quick 2.1.6\n' >"$work/quick.txt"
make_quick_update "$work/site/latest_omexe/om_exe.v.2.1.6.exe" quorin.exe="$programs/v15_0_0_1.exe" quick_update.txt="$work/quick.txt"
start_site "$work/site"
run_update /manual "$site_page"
timeout 5 import -window root "$OM_BINARY_DIR/artifacts/posix_update_both.png" 2>/dev/null || true
[ "$(cat "$work/taskkill.log")" = "/f /im om_tarsel.exe
/f /im quorin.exe
/f /im vistrel.exe
/f /im ombrix32.exe" ] || fail "stop commands: $(cat "$work/taskkill.log")"
cmp -s "$work/site/ombrix32_v2.1.6.msi" "$inst/om_msi/ombrix32_v2.1.6.msi" || fail "the installer in om_msi differs from the served one"
cmp -s "$work/site/latest_omexe/om_exe.v.2.1.6.exe" "$inst/om_exe.v.2.1.6.exe" || fail "the quick update differs from the served one"
expected="$inst/om_msi|/uninstall $inst/om_msi\\ombrix32_v2.1.5.msi /passive
$inst/om_msi|/package ombrix32_v2.1.6.msi /passive DISABLEADVTSHORTCUTS=TRUE"
[ "$(cat "$work/msiexec.log")" = "$expected" ] || fail "msiexec calls: $(cat "$work/msiexec.log")"
cmp -s "$programs/ombrix32_2.1.6.exe" "$inst/ombrix32.exe" || fail "ombrix32.exe is not 2.1.6"
cmp -s "$programs/v15_0_0_1.exe" "$inst/quorin.exe" || fail "the quick update was not unpacked"
cmp -s "$work/quick.txt" "$inst/quick_update.txt" || fail "quick_update.txt missing"
# The quick update came before the installer, and each with the updater's User-Agent.
order=$(grep -e '/ombrix32_v2.1.6.msi ' -e '/om_exe.v.2.1.6.exe ' "$site_log" | cut -d' ' -f1 | tr -s /)
[ "$order" = "/latest_omexe/om_exe.v.2.1.6.exe
/ombrix32_v2.1.6.msi" ] || fail "download order: $order"
[ "$(grep -vc ' MyCustomUser$' "$site_log")" = 0 ] || fail "a request without the updater's User-Agent"
wait_until 10 application_restarted || fail "ombrix32.exe was not restarted"
success=$(reg_value "$OMBRIX_HKCU_FILE" LastSuccessRun)
versions=$(reg_value "$OMBRIX_HKCU_FILE" fileversions)
[[ $success == *"v.2.1.6"* ]] || fail "LastSuccessRun: $success"
[[ $versions == *"quorin.exe: 15.0.1"* && $versions == *"vistrel.exe: 2.1.300"* ]] || fail "fileversions: $versions"
[ -n "$(ls "$work/ftp/check")" ] || fail "no check-in report"
[ ! -e "$inst/current_version.txt" ] || fail "current_version.txt was not uploaded and deleted"
check_update_log
echo "both packages: LastSuccessRun=$success fileversions=$versions"

# 2. A quick update alone (the page offers nothing newer), with a log that cannot be written.
block_run_log
fresh 2.1.5
make_quick_update "$work/site/latest_omexe/om_exe.v.2.1.6.exe" ombrix32.exe="$programs/ombrix32_2.1.6.exe" quorin.exe="$programs/v15_0_0_1.exe"
start_site "$work/site"
run_update /manual "$site_page"
[ ! -e "$work/msiexec.log" ] || fail "msiexec ran for a quick update: $(cat "$work/msiexec.log")"
[ "$(requests '\.msi ')" = 0 ] || fail "an installer was downloaded"
cmp -s "$programs/ombrix32_2.1.6.exe" "$inst/ombrix32.exe" || fail "ombrix32.exe is not the quick update's"
cmp -s "$programs/v15_0_0_1.exe" "$inst/quorin.exe" || fail "quorin.exe was not unpacked"
[ ! -e "$inst/om_exe.v.2.1.6.exe.completed" ] || fail "a quick update got a completion marker"
wait_until 10 application_restarted || fail "ombrix32.exe was not restarted after the quick update"
[[ $(reg_value "$OMBRIX_HKCU_FILE" LastSuccessRun) == *"v.2.1.6"* ]] || fail "LastSuccessRun after the quick update"
unblock_run_log
echo "quick update alone: passed"

# 3. A pending support package with a full installer on offer too: only the support package.
fresh 2.1.6
printf 'support data\n' >"$work/support.dat"
make_quick_update "$work/site/support_files/up_support_fonts.exe" fonts.dat="$work/support.dat"
start_site "$work/site"
run_update /manual "$site_page"
[ "$(requests '/support_files/up_support_fonts.exe ')" = 1 ] || fail "support package requests: $(cat "$site_log")"
[ "$(requests '\.msi ')" = 0 ] || fail "the installer was downloaded with a support package pending"
[ ! -e "$work/msiexec.log" ] || fail "msiexec ran in the support run"
cmp -s "$work/support.dat" "$inst/fonts.dat" || fail "the support package was not unpacked"
[ ! -e "$inst/up_support_fonts.exe" ] || fail "the support package was not renamed"
cmp -s "$work/site/support_files/up_support_fonts.exe" "$inst/up_support_fonts.exe.completed" || fail "no .completed"
printf 'up_support_fonts.exe.completed\r\n' | cmp -s - "$inst/support_installed.txt" || fail "support_installed.txt"
cmp -s "$programs/ombrix32_2.1.5.exe" "$inst/ombrix32.exe" || fail "the application was changed"
wait_until 10 application_restarted || fail "ombrix32.exe was not restarted after the support package"
echo "support package: passed"

# 4. "/skip_down" with the installer already in om_msi: no transfer at all.
fresh 2.1.6
cp "$work/site/ombrix32_v2.1.6.msi" "$inst/om_msi/"
start_site "$work/site"
run_update /skip_down /manual "$site_page"
[ "$(grep -c -e '\.msi ' -e '\.exe ' "$site_log" || true)" = 0 ] || fail "/skip_down downloaded: $(cat "$site_log")"
[ "$(wc -l <"$site_log")" = 3 ] || fail "requests other than the check: $(cat "$site_log")"
grep -q '/package ombrix32_v2.1.6.msi' "$work/msiexec.log" || fail "the installer in om_msi was not used"
cmp -s "$programs/ombrix32_2.1.6.exe" "$inst/ombrix32.exe" || fail "ombrix32.exe is not 2.1.6 after /skip_down"
wait_until 10 application_restarted || fail "ombrix32.exe was not restarted after /skip_down"
echo "skip_down: passed"
echo "update e2e passed"
