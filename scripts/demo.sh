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

sign_demo_site() {
  bash "$root/scripts/sign-release.sh" "$OM_BINARY_DIR/test-release-key/release-private-key.pem" \
    "$work/site/ombrix32_v2.1.6.msi" "$work/site/latest_omexe/om_exe.v.2.1.6.exe" | sed 's/^/demo: /'
}
# With --win64 the same update runs with the win64 build under Wine: the installation is C:\OmbrixTest
# in a private Wine prefix, registered in that prefix's registry, with 2.1.5 installed by Wine's
# msiexec; the full installer is run by Wine's msiexec and the quick update is a self-extracting
# package built for Windows.
preset=posix platform=posix
[ "${1:-}" != "--win64" ] || preset=win64 platform=win32
if [ -z "${OM_DEMO_BUILD:-}" ]; then
  bash "$root/scripts/setup.sh" "$preset"
  build=$root/build/$preset
else
  build=$(realpath "$OM_DEMO_BUILD")
fi
[ -x "$build/tests/programs/ombrix32_2.1.6.exe" ] || cmake --build "$build" --target om_test_programs
[ -f "$build/bin/signed/om_updat.exe" ] || cmake --build "$build" --target om_updat_signed
export OM_SOURCE_DIR=$root OM_BIN_DIR=$build/bin/signed OM_BINARY_DIR=$build OM_TEST_PROGRAMS=$build/tests/programs
export OM_E2E_PLATFORM=$platform
shots=$root/build/demo
mkdir -p "$shots"
source "$root/tests/e2e/lib/common.sh"
source "$root/tests/e2e/lib/update.sh"
update_begin --any-display
echo "demo: display $DISPLAY${WINEPREFIX:+, Wine prefix $WINEPREFIX}"

make_installation
win || sed "s|@INST@|$inst|g" "$root/demo/installation.reg" >"$OMBRIX_HKCU_FILE"
cp -r "$root/demo/site" "$work/site"
make_msi 2.1.6 && cp "$work/msi/ombrix32_v2.1.6.msi" "$work/site/"
printf 'Ombrix quick update 2.1.6\r\n' >"$work/readme_quick.txt"
make_package "$work/site/latest_omexe/om_exe.v.2.1.6.exe" quorin.exe="$programs/v15_0_0_1.exe" \
  readme_quick.txt="$work/readme_quick.txt"
sign_demo_site
start_site "$work/site" $slow_site
page="127.0.0.1:$site_port/ombrix.html"
echo "demo: release site http://$page, installation $inst"
echo "demo: installed before the update: $(installed_products)"

# Screenshots while the updater runs: the offer (taken by run_update before it presses "Install") and
# the installer's transfer.
rm -f "$shots"/[0-9]_*.png
(wait_until 60 grep -q 'ombrix32_v2.1.6.msi ' "$site_log" && sleep 1 && timeout 5 import -window root "$shots/2_transfer.png") &
shots_pid=$!
e2e_track "$shots_pid"
run_update /manual "$page"
wait "$shots_pid" || true
cp "$work/offer.png" "$shots/1_offer.png"
for shot in 1_offer 2_transfer; do check_shot "$shots/$shot.png"; done
restarted || fail "the application was not restarted"

echo
echo "demo: requests to the release site:"
sed 's/^/    /' "$site_log"
echo "demo: programs run by the updater (from its log):"
grep -o 'ran ".*' "$(run_log)" | sed 's/^/    /'
echo "demo: installed after the update: $(installed_products)"
echo "demo: check-in report on the FTP server: $(ls "$work/ftp/check")"
echo "demo: registry values written:"
for name in LastFailureRun LastSuccessRun fileversions; do
  printf '    %s = %s\n' "$name" "$(reg "$name")"
done
echo "demo: restarted application's marker (started.txt): $(tr -d '\r' <"$inst/started.txt")"
echo "demo: packages and their verified signatures kept: $(cd "$inst" && ls om_msi/*.sig ./*.sig | tr '\n' ' ')"
echo "demo: ombrix32.exe is now $(cmp -s "$programs/ombrix32_2.1.6.exe" "$inst/ombrix32.exe" && echo 2.1.6 || echo 'NOT 2.1.6')"
echo "demo: screenshots in $shots"
