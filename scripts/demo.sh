#!/usr/bin/env bash
# A whole update by the real updater on the demo release site (demo/), served on 127.0.0.1: an
# installation of Ombrix 2.1.5 is offered the full installer 2.1.6 and a quick update; the demo presses
# "Install", and the updater downloads both, runs msiexec (a stand-in: this is not Windows) and the
# self-extracting quick update, writes the history into the registry file and restarts the application.
# Without a display it runs under Xvfb. Screenshots go to build/demo/. The updater is the build's
# om_updat_signed (built with the key scripts/release-key.sh made in the build folder) and the demo
# site's packages are signed with scripts/sign-release.sh, so the update takes the signed path.
#   bash scripts/demo.sh            (first runs scripts/setup.sh posix: packages if missing, build)
#   OM_DEMO_BUILD=<build folder> bash scripts/demo.sh   uses that build as it is, no set-up
#   bash scripts/demo.sh --win64    the same with the win64 build under Wine (first scripts/setup.sh win64)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# check_shot FILE: the screenshot shows a window, not an empty black frame (trimmed of the black
# screen around it, a window is wide and mostly light).
check_shot() {
  local width mean
  read -r width mean < <(convert "$1" -trim -format '%w %[fx:mean]\n' info: 2>/dev/null) || fail "cannot read $1"
  [ "$width" -ge 200 ] && awk "BEGIN { exit !($mean > 0.3) }" || fail "$1 shows no window (width $width, mean $mean)"
  echo "demo: $1 shows the window"
}
# The installer comes slowly, so that the transfer can be seen.
slow_site="--fault ombrix32_v2.1.6.msi=slow"

# The same update with the win64 build under Wine: the installation is C:\OmbrixTest in a private Wine
# prefix, registered in that prefix's registry, with 2.1.5 installed by Wine's msiexec; the updater is
# started as om_updat.exe, the full installer is run by Wine's msiexec and the quick update is a
# self-extracting package built for Windows.
demo_win64() {
  if [ -z "${OM_DEMO_BUILD:-}" ]; then
    bash "$root/scripts/setup.sh" win64
    build=$root/build/win64
  else
    build=$(realpath "$OM_DEMO_BUILD")
  fi
  [ -x "$build/tests/programs/ombrix32_2.1.6.exe" ] && [ -f "$build/tests/programs/package_sfx.exe" ] ||
    cmake --build "$build" --target om_test_programs package_sfx
  [ -f "$build/bin/signed/om_updat.exe" ] || cmake --build "$build" --target om_updat_signed
  export OM_SOURCE_DIR=$root OM_BIN_DIR=$build/bin/signed OM_BINARY_DIR=$build OM_TEST_PROGRAMS=$build/tests/programs
  shots=$root/build/demo
  mkdir -p "$shots"
  source "$root/tests/e2e/lib/common.sh"
  source "$root/tests/e2e/lib/win32_update.sh"
  win_e2e_init --any-display
  echo "demo: Wine prefix $WINEPREFIX, display $DISPLAY"

  make_win_installation
  cp -r "$root/demo/site" "$work/site"
  make_win_msi 2.1.6
  cp "$work/msi/ombrix32_v2.1.6.msi" "$work/site/"
  printf 'Ombrix quick update 2.1.6\r\n' >"$work/readme_quick.txt"
  make_win_quick_update "$work/site/latest_omexe/om_exe.v.2.1.6.exe" quorin.exe="$programs/v15_0_0_1.exe" \
    readme_quick.txt="$work/readme_quick.txt"
  sign_demo_site
  start_site "$work/site" $slow_site
  page="127.0.0.1:$site_port/ombrix.html"
  local products_before
  products_before=$(timeout 60 wine reg query 'HKCU\Software\Microsoft\Installer\Products' /s 2>/dev/null | tr -d '\r' |
    sed -n 's/^ *ProductName *REG_SZ *//p' | tr '\n' ' ' || true)
  echo "demo: release site http://$page, installation $win_inst_dos ($inst)"
  echo "demo: installed by msiexec before the update: $products_before"

  run_win_update /manual "$page"
  # The offer before "Install" is pressed; the transfer, taken as the first package request came in.
  rm -f "$shots"/win64_*.png
  cp "$work/offer.png" "$shots/win64_1_offer.png"
  cp "$work/installing.png" "$shots/win64_2_transfer.png"
  check_shot "$shots/win64_1_offer.png"
  check_shot "$shots/win64_2_transfer.png"
  wait_until 15 win_application_restarted || fail "the application was not restarted"

  echo
  echo "demo: requests to the release site:"
  sed 's/^/    /' "$site_log"
  echo "demo: installed by msiexec after the update: $(timeout 60 wine reg query 'HKCU\Software\Microsoft\Installer\Products' /s 2>/dev/null |
    tr -d '\r' | sed -n 's/^ *ProductName *REG_SZ *//p' | tr '\n' ' ' || true)"
  echo "demo: om_msi holds (with the verified signature): $(ls "$inst/om_msi" | tr '\n' ' ')"
  echo "demo: unpacked by the quick update: quorin.exe $(pe_version "$inst/quorin.exe"), readme_quick.txt: $(tr -d '\r' <"$inst/readme_quick.txt")"
  echo "demo: check-in report on the FTP server: $(ls "$work/ftp/check")"
  echo "demo: registry values written (wine reg query):"
  local name
  for name in LastFailureRun LastSuccessRun fileversions; do
    printf '    %s = %s\n' "$name" "$(win_reg "$name")"
  done
  echo "demo: restarted application's marker (started.txt): $(tr -d '\r' <"$inst/started.txt")"
  echo "demo: ombrix32.exe is now version $(pe_version "$inst/ombrix32.exe")"
  echo "demo: screenshots in $shots"
}
sign_demo_site() {
  bash "$root/scripts/sign-release.sh" "$OM_BINARY_DIR/test-release-key/release-private-key.pem" \
    "$work/site/ombrix32_v2.1.6.msi" "$work/site/latest_omexe/om_exe.v.2.1.6.exe" | sed 's/^/demo: /'
}
if [ "${1:-}" = "--win64" ]; then
  demo_win64
  exit 0
fi
if [ -z "${OM_DEMO_BUILD:-}" ]; then
  bash "$root/scripts/setup.sh" posix
  build=$root/build/posix
else
  build=$(realpath "$OM_DEMO_BUILD")
fi
[ -x "$build/tests/programs/ombrix32_2.1.6.exe" ] || cmake --build "$build" --target om_test_programs
[ -x "$build/bin/signed/om_updat.exe" ] || cmake --build "$build" --target om_updat_signed
export OM_SOURCE_DIR=$root OM_BIN_DIR=$build/bin/signed OM_BINARY_DIR=$build OM_TEST_PROGRAMS=$build/tests/programs
shots=$root/build/demo
mkdir -p "$shots"
source "$root/tests/e2e/lib/common.sh"
source "$root/tests/e2e/lib/posix_update.sh"
e2e_init

if [ -z "${DISPLAY:-}" ] || ! timeout 5 xdpyinfo >/dev/null 2>&1; then
  echo "demo: no display, using Xvfb"
  start_display
fi
start_report_server

make_installation
sed "s|@INST@|$inst|g" "$root/demo/installation.reg" >"$OMBRIX_HKCU_FILE"
cp -r "$root/demo/site" "$work/site"
make_msi "$work/site/ombrix32_v2.1.6.msi" 2.1.6
printf 'Ombrix quick update 2.1.6\n' >"$work/readme_quick.txt"
make_quick_update "$work/site/latest_omexe/om_exe.v.2.1.6.exe" quorin.exe="$programs/v15_0_0_1.exe" \
  readme_quick.txt="$work/readme_quick.txt"
sign_demo_site
start_site "$work/site" $slow_site
page="127.0.0.1:$site_port/ombrix.html"
echo "demo: release site http://$page, installation $inst"

# Screenshots while the updater runs: the offer (taken by run_update before it presses "Install"),
# the installer's transfer, and the installation (msiexec takes a moment here, as it does on Windows).
rm -f "$shots"/[0-9]_*.png
cat >"$work/bin/msiexec.slow" <<'SH'
#!/bin/sh
"$(dirname "$0")/msiexec.real" "$@"
status=$?
[ "$1" = /package ] && sleep 2
exit $status
SH
mv "$work/bin/msiexec" "$work/bin/msiexec.real" && mv "$work/bin/msiexec.slow" "$work/bin/msiexec" && chmod +x "$work/bin/msiexec"
(
  wait_until 60 grep -q 'ombrix32_v2.1.6.msi ' "$site_log" && sleep 1 &&
    timeout 5 import -window root "$shots/2_transfer.png"
  wait_until 60 grep -qs '/package' "$work/msiexec.log" && sleep 1 &&
    timeout 5 import -window root "$shots/3_installing.png"
) &
shots_pid=$!
e2e_track "$shots_pid"
run_update /manual "$page"
wait "$shots_pid" || true
cp "$work/offer.png" "$shots/1_offer.png"
for shot in 1_offer 2_transfer 3_installing; do check_shot "$shots/$shot.png"; done
wait_until 10 application_restarted || fail "the application was not restarted"

echo
echo "demo: the updater ended with status $updater_status"
echo "demo: requests to the release site:"
sed 's/^/    /' "$site_log"
echo "demo: msiexec runs (folder|arguments):"
sed 's/^/    /' "$work/msiexec.log"
echo "demo: programs stopped first: $(tr '\n' ';' <"$work/taskkill.log")"
echo "demo: check-in report on the FTP server: $(ls "$work/ftp/check")"
echo "demo: registry values written:"
for name in LastFailureRun LastSuccessRun fileversions; do
  printf '    %s = %s\n' "$name" "$(reg_value "$OMBRIX_HKCU_FILE" "$name")"
done
echo "demo: restarted application's marker (started.txt): $(cat "$inst/started.txt")"
echo "demo: packages and their verified signatures kept: $(cd "$inst" && ls om_msi/*.sig ./*.sig | tr '\n' ' ')"
echo "demo: ombrix32.exe is now $(cmp -s "$programs/ombrix32_2.1.6.exe" "$inst/ombrix32.exe" && echo 2.1.6 || echo 'NOT 2.1.6')"
echo "demo: screenshots in $shots"
