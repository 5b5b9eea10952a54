#!/usr/bin/env bash
# Whole updates by the real updater (the build that checks release signatures) on a real display
# (posix, or win64 under Wine with its msiexec, taskkill and registry): the offer read from a release
# site on 127.0.0.1, "Install" pressed with xdotool, the packages downloaded and installed, the
# registry history written and the application restarted. Four runs: full installer and quick update
# together, a quick update alone, a pending support package (handled alone), and "/skip_down" with the
# installer already in om_msi. In each a download breaks once and is got over: resumed where it broke
# (reset, stall), or started over when the server ignores Range (norange) or the package changed in
# between (changed); never two versions joined. Every package is signed; its .sig is fetched once and
# kept beside it.
source "$OM_SOURCE_DIR/tests/e2e/lib/update.sh"
OM_BIN_DIR=$OM_BIN_DIR/signed
update_begin
stamp='[0-9]{2}-[0-9]{2}-[0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}'
untouched() { [ "$(ls "$inst/om_msi")" = ombrix32_v2.1.5.msi ] || fail "$1: om_msi holds: $(ls "$inst/om_msi")"; }
broken_once() { [ "$(requests "/$1 ")" = 2 ] || fail "$1 was not asked for twice: $(cat "$site_log")"; }

# 1. Full installer 2.1.6 and quick update 2.1.6 together.
fresh 2.1.6
make_package "$work/site/latest_omexe/om_exe.v.2.1.6.exe" quorin.exe="$programs/v15_0_0_1.exe"
sign_site && start_site "$work/site" --fault ombrix32_v2.1.6.msi=reset:1 --fault om_exe.v.2.1.6.exe=norange:1
if win; then # a companion that is running when "Install" is pressed: Wine's taskkill must end it
  OM_STAND_IN_SLEEP_MS=120000 inst_run 150 vistrel.exe running >/dev/null 2>&1 &
  vistrel=$!
  e2e_track "$vistrel"
  wait_until 20 grep -q "vistrel.exe running" "$inst/started.txt" || fail "vistrel.exe did not start"
fi
run_update /manual "$site_page"
! win || wait_until 10 eval '! kill -0 "$vistrel" 2>/dev/null' || fail "the running vistrel.exe was not stopped"
cp "$work/offer.png" "$OM_BINARY_DIR/artifacts/${OM_E2E_PLATFORM}_update_offer.png" 2>/dev/null || true
cmp -s "$work/site/ombrix32_v2.1.6.msi" "$inst/om_msi/ombrix32_v2.1.6.msi" || fail "the installer in om_msi differs from the served one"
cmp -s "$work/site/latest_omexe/om_exe.v.2.1.6.exe" "$inst/om_exe.v.2.1.6.exe" || fail "the quick update differs from the served one"
[ -f "$inst/om_msi/ombrix32_v2.1.5.msi" ] || fail "the old installer left om_msi"
broken_once ombrix32_v2.1.6.msi && broken_once om_exe.v.2.1.6.exe
[ "$(requests '\.sig ')" = 2 ] && cmp -s "$work/site/ombrix32_v2.1.6.msi.sig" "$inst/om_msi/ombrix32_v2.1.6.msi.sig" &&
  cmp -s "$work/site/latest_omexe/om_exe.v.2.1.6.exe.sig" "$inst/om_exe.v.2.1.6.exe.sig" || fail "the .sig files not fetched once and kept"
cmp -s "$programs/ombrix32_2.1.6.exe" "$inst/ombrix32.exe" || fail "ombrix32.exe is not the one the 2.1.6 installer carries"
[ "$(installed_products)" = "Ombrix 2.1.6" ] || fail "installed products: $(installed_products)"
[ "$(grep -vc ' MyCustomUser' "$site_log")" = 0 ] || fail "a request without the updater's User-Agent"
restarted || fail "ombrix32.exe was not restarted"
[ "$(grep -c . "$inst/started.txt")" = 1 ] || fail "started.txt: $(cat "$inst/started.txt")"
success=$(reg LastSuccessRun) history=$(reg LastFailureRun) versions=$(reg fileversions)
[[ $success =~ ^\[Updated\ \{v\.2\.1\.6:\ $stamp\}\]$ ]] || fail "LastSuccessRun: $success"
# Start-up wrote the 2.1.5 group, the installation chained 2.1.6 in front of it. fileversions shows
# the quick update's quorin.exe.
[ "$history" = "[Updating [Updating {v.2.1.6<-v.2.1.5<-]}]" ] || fail "LastFailureRun: $history"
[ "$versions" = "om_tarsel.exe: 2.1.300   quorin.exe: 15.0.1   vistrel.exe: 2.1.300   om_updat.exe: $updater_version" ] ||
  fail "fileversions: $versions"
check_update_log
echo "both packages: LastSuccessRun=$success fileversions=$versions"

# 2. A quick update alone (the page offers nothing newer), with a log that cannot be written.
fresh 2.1.5
# The log cannot be written: a read-only folder (for a user other than root) with a folder in the log
# file's place (for root).
log=$(run_log) && rm -f "$log" && mkdir -p "$log" && chmod a-w "$(dirname "$log")"
make_package "$work/site/latest_omexe/om_exe.v.2.1.6.exe" ombrix32.exe="$programs/ombrix32_2.1.6.exe"
sign_site && start_site "$work/site" --fault om_exe.v.2.1.6.exe=stall:1
run_update /manual "$site_page"
[ "$(requests '\.msi ')" = 0 ] || fail "an installer was downloaded"
untouched "quick update" && broken_once om_exe.v.2.1.6.exe
cmp -s "$programs/ombrix32_2.1.6.exe" "$inst/ombrix32.exe" || fail "ombrix32.exe is not the quick update's"
[ ! -e "$inst/om_exe.v.2.1.6.exe.completed" ] || fail "a quick update got a completion marker"
restarted || fail "ombrix32.exe was not restarted after the quick update"
[[ $(reg LastSuccessRun) =~ ^\[Updated\ \{v\.2\.1\.6:\  ]] || fail "LastSuccessRun after the quick update: $(reg LastSuccessRun)"
chmod u+w "$(dirname "$log")" && rmdir "$log"
echo "quick update alone: passed"

# 3. A pending support package with a full installer on offer too: only the support package.
fresh 2.1.6
printf 'support data\r\n' >"$work/support.dat"
make_package "$work/site/support_files/up_support_fonts.exe" fonts.dat="$work/support.dat"
sign_site && start_site "$work/site" --fault up_support_fonts.exe=changed:1
run_update /manual "$site_page"
broken_once up_support_fonts.exe
[ "$(requests '\.msi ')" = 0 ] || fail "the installer was downloaded with a support package pending"
cmp -s "$work/support.dat" "$inst/fonts.dat" || fail "the support package was not unpacked"
[ ! -e "$inst/up_support_fonts.exe" ] || fail "the support package was not renamed"
cmp -s "$work/site/support_files/up_support_fonts.exe" "$inst/up_support_fonts.exe.completed" || fail "no .completed"
printf 'up_support_fonts.exe.completed\r\n' | cmp -s - "$inst/support_installed.txt" || fail "support_installed.txt"
cmp -s "$programs/ombrix32_2.1.5.exe" "$inst/ombrix32.exe" || fail "the application was changed"
untouched "support package" && [ "$(installed_products)" = "Ombrix 2.1.5" ] || fail "an installer ran"
restarted || fail "ombrix32.exe was not restarted after the support package"
echo "support package: passed"

# 4. "/skip_down" with the installer already in om_msi: no transfer at all.
fresh 2.1.6
sign_site && cp "$work/site/ombrix32_v2.1.6.msi"* "$inst/om_msi/"
start_site "$work/site"
run_update /skip_down /manual "$site_page"
[ "$(wc -l <"$site_log")" = 3 ] || fail "requests other than the check: $(cat "$site_log")"
cmp -s "$programs/ombrix32_2.1.6.exe" "$inst/ombrix32.exe" || fail "ombrix32.exe is not 2.1.6 after /skip_down"
[ "$(installed_products)" = "Ombrix 2.1.6" ] || fail "the installer in om_msi was not used: $(installed_products)"
restarted || fail "ombrix32.exe was not restarted after /skip_down"
echo "$OM_E2E_PLATFORM update e2e passed"
