#!/usr/bin/env bash
# Signed releases that must be refused: the updater built with the tests' release key (bin/signed),
# made for this build folder by scripts/release-key.sh, and the site's packages signed by
# scripts/sign-release.sh (update.sh installs genuine ones). A package whose .sig is missing, does not
# match its bytes or was made for another name is refused before anything changes: one message box,
# the package and its .sig deleted, no installer run, ombrix32.exe 2.1.5 as it was and restarted.
# posix with the stand-in msiexec; win64 under Wine with Wine's msiexec.
set -euo pipefail
source "$OM_SOURCE_DIR/tests/e2e/lib/update.sh"
OM_BIN_DIR=$OM_BIN_DIR/signed
update_begin

flip_byte() { # FILE: one byte in the middle changed, the length kept
  perl -e 'open(F, "+<", $ARGV[0]) or die; binmode F; my $at = int((-s F) / 2); seek F, $at, 0; read F, my $b, 1;
    seek F, $at, 0; print F chr(ord($b) ^ 0x55); close F or die' "$1"
}

printf 'signed extra\n' >"$work/extra.txt"
# platform | name | page version | what is spoiled after signing | the package refused | arguments. Under
# Wine the cases where CNG verifies: changed bytes, and a package read from om_msi; the rest is
# decided above the platform.
while read -r where name page spoil refused args <&3; do
  [ "$where" = both ] || [ "$where" = "$OM_E2E_PLATFORM" ] || continue
  fresh "$page"
  [ "$page" = 2.1.6 ] ||
    make_package "$work/site/latest_omexe/om_exe.v.2.1.6.exe" ombrix32.exe="$programs/ombrix32_2.1.6.exe" extra.txt="$work/extra.txt"
  sign_site
  case $spoil in
    flip) flip_byte "$work/site/ombrix32_v2.1.6.msi" ;;
    nosig) rm "$work/site/latest_omexe/om_exe.v.2.1.6.exe.sig" ;;
    rename) for f in "$work"/site/latest_omexe/om_exe.v.2.1.6.exe*; do mv "$f" "${f/2.1.6/2.1.7}"; done ;;
    skipbad) cp "$work/site/ombrix32_v2.1.6.msi"* "$inst/om_msi/" && flip_byte "$inst/om_msi/ombrix32_v2.1.6.msi" ;;
  esac
  start_site "$work/site"
  run_update ${args//,/ } "$site_page"
  [ "$box_shown" = 1 ] || fail "$name: not one message box"
  [ ! -e "$inst/$refused" ] && [ ! -e "$inst/$refused.sig" ] || fail "$name: $refused or its .sig kept"
  cmp -s "$programs/ombrix32_2.1.5.exe" "$inst/ombrix32.exe" || fail "$name: ombrix32.exe changed"
  [ ! -e "$inst/extra.txt" ] || fail "$name: the package was unpacked"
  [ "$(installed_products)" = "Ombrix 2.1.5" ] || fail "$name: an installer ran"
  restarted || fail "$name: ombrix32.exe was not restarted"
  echo "$name: passed"
done 3<<'TABLE'
both  msi_byte_changed   2.1.6 flip    om_msi/ombrix32_v2.1.6.msi /manual
posix sig_missing        2.1.5 nosig   om_exe.v.2.1.6.exe         /manual
posix signed_for_2.1.6   2.1.5 rename  om_exe.v.2.1.7.exe         /manual
both  skip_down_mismatch 2.1.6 skipbad om_msi/ombrix32_v2.1.6.msi /skip_down,/manual
TABLE
echo "$OM_E2E_PLATFORM signatures e2e passed"
