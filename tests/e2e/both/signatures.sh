#!/usr/bin/env bash
# Signed releases: the updater built with the tests' release key (bin/signed), made for this build
# folder by scripts/release-key.sh, and the site's packages signed by scripts/sign-release.sh. Signed
# packages install and keep their .sig beside them; a package whose .sig is missing, does not match its
# bytes or was made for another name is refused before anything changes: one message box, the package
# and its .sig deleted, no installer run, ombrix32.exe 2.1.5 as it was and restarted. posix with the
# stand-in msiexec; win64 under Wine with Wine's msiexec.
set -euo pipefail
source "$OM_SOURCE_DIR/tests/e2e/lib/common.sh"
source "$OM_SOURCE_DIR/tests/e2e/lib/update.sh"
key=$OM_BINARY_DIR/test-release-key/release-private-key.pem
OM_BIN_DIR=$OM_BIN_DIR/signed
update_begin

flip_byte() { # FILE: one byte in the middle changed, the length kept
  perl -e 'open(F, "+<", $ARGV[0]) or die; binmode F; my $at = int((-s F) / 2); seek F, $at, 0; read F, my $b, 1;
    seek F, $at, 0; print F chr(ord($b) ^ 0x55); close F or die' "$1"
}

printf 'signed extra\n' >"$work/extra.txt"
# platform | name | page version | also on the site | what is spoiled after signing | package refused,
# "-" for none | arguments. Under Wine the cases where CNG verifies: a genuine signature, changed
# bytes, and a package read from om_msi; the rest is decided above the platform.
while read -r where name page extra spoil refused args <&3; do
  [ "$where" = both ] || [ "$where" = "$OM_E2E_PLATFORM" ] || continue
  fresh "$page"
  case $extra in
    quick) make_package "$work/site/latest_omexe/om_exe.v.2.1.6.exe" ombrix32.exe="$programs/ombrix32_2.1.6.exe" extra.txt="$work/extra.txt" ;;
    support) make_package "$work/site/support_files/up_support_a.exe" extra.txt="$work/extra.txt" ;;
  esac
  mapfile -t packages < <(find "$work/site" -type f \( -name '*.msi' -o -name '*.exe' \))
  bash "$OM_SOURCE_DIR/scripts/sign-release.sh" "$key" "${packages[@]}" >/dev/null || fail "$name: signing failed"
  case $spoil in
    flip) flip_byte "$work/site/ombrix32_v2.1.6.msi" ;;
    nosig) rm "$work/site/latest_omexe/om_exe.v.2.1.6.exe.sig" ;;
    rename) for f in "$work"/site/latest_omexe/om_exe.v.2.1.6.exe*; do mv "$f" "${f/2.1.6/2.1.7}"; done ;;
    skipbad) cp "$work/site/ombrix32_v2.1.6.msi"* "$inst/om_msi/" && flip_byte "$inst/om_msi/ombrix32_v2.1.6.msi" ;;
  esac
  start_site "$work/site"
  run_update ${args//,/ } "$site_page"
  if [ "$refused" = - ]; then
    [ "$box_shown" = 0 ] || fail "$name: a message box for signed packages"
    [ "$extra" = support ] && want=2.1.5 || want=2.1.6
    cmp -s "$programs/ombrix32_$want.exe" "$inst/ombrix32.exe" || fail "$name: ombrix32.exe is not $want"
    cmp -s "$work/extra.txt" "$inst/extra.txt" || fail "$name: the package was not unpacked"
    for f in "${packages[@]}"; do # each downloaded package's .sig is kept beside it
      local_name=$(basename "$f")
      [ "$(requests "/$local_name ")" = 0 ] && continue
      [ "$(requests "/$local_name.sig ")" = 1 ] || fail "$name: $local_name.sig was not fetched once"
      find "$inst" -name "$local_name.sig" -exec cmp -s "$f.sig" {} \; -print | grep -q . ||
        fail "$name: $local_name.sig not kept"
    done
  else
    [ "$box_shown" = 1 ] || fail "$name: not one message box"
    [ ! -e "$inst/$refused" ] && [ ! -e "$inst/$refused.sig" ] || fail "$name: $refused or its .sig kept"
    cmp -s "$programs/ombrix32_2.1.5.exe" "$inst/ombrix32.exe" || fail "$name: ombrix32.exe changed"
    [ ! -e "$inst/extra.txt" ] || fail "$name: the package was unpacked"
    [ "$(installed_products)" = "Ombrix 2.1.5" ] || fail "$name: an installer ran"
  fi
  restarted || fail "$name: ombrix32.exe was not restarted"
  echo "$name: passed"
done 3<<'TABLE'
both  signed_full_and_quick 2.1.6 quick   -       -                          /manual
posix signed_support        2.1.5 support -       -                          /manual
both  msi_byte_changed      2.1.6 -       flip    om_msi/ombrix32_v2.1.6.msi /manual
posix sig_missing           2.1.5 quick   nosig   om_exe.v.2.1.6.exe         /manual
posix signed_for_2.1.6      2.1.5 quick   rename  om_exe.v.2.1.7.exe         /manual
both  skip_down_mismatch    2.1.6 -       skipbad om_msi/ombrix32_v2.1.6.msi /skip_down,/manual
TABLE
echo "$OM_E2E_PLATFORM signatures e2e passed"
