#!/usr/bin/env bash
# Whole updates that fail, by the real updater (posix, or win64 under Wine), one table row each.
# broken KIND MODE: the site breaks the package of KIND (full installer, quick update, support
#   package) with MODE: a 404, the body cut short, the connection reset in the middle of the
#   body, or a stall. The updater must end by itself after "Install", leave the installation as it was
#   (an installer already in om_msi included), install nothing and start no program; a break mid-body
#   is resumed three times first. The cases run where their platform's HTTP stack is what differs.
# refusal NAME PAGE WANT BOX GONE [ARGS]: the package is bad or fails (an HTML page as installer, another
#   version's installer, one Windows Installer refuses (1603), a failing quick update), or msiexec
#   answers 1618 (busy) or 3010 (restart needed) first. Ombrix WANT is installed, its ombrix32.exe in
#   place and restarted, a message box was shown (BOX=1) until answered, only a finished update is
#   recorded and a refused download (GONE) is gone from om_msi with its .sig. Reading an installer
#   (libmsi, msi.dll) runs on both platforms; the real msiexec and its exit codes only under Wine (posix
#   keeps 8 bits of them). The sig_ rows run the build that checks release signatures (bin/signed, with
#   the tests' key from scripts/release-key.sh) against packages signed by scripts/sign-release.sh: one
#   whose .sig is missing, does not match its bytes (one byte changed) or was made for another name is
#   refused before anything changes, also with "/skip_down" and a spoilt installer already in om_msi.
source "$OM_SOURCE_DIR/tests/e2e/lib/update.sh"
update_begin
bin=$OM_BIN_DIR
flip_byte() { # FILE: one byte in the middle changed, the length kept
  perl -e 'open(F, "+<", $ARGV[0]) or die; binmode F; my $at = int((-s F) / 2); seek F, $at, 0; read F, my $b, 1;
    seek F, $at, 0; print F chr(ord($b) ^ 0x55); close F or die' "$1"
}

# The installation's files and their sums, without what every run changes by design: the check-in
# report's file (uploaded and deleted) and the updater's running copy.
snapshot() {
  (cd "$inst" && find . -type f ! -name current_version.txt ! -name om_updater_now.exe -print0 | sort -z | xargs -0 md5sum)
}

broken() {
  local kind=$1 mode=$2 name before
  case $kind in
    msi) fresh 2.1.6 && name=ombrix32_v2.1.6.msi && cp "$work/msi/$name" "$inst/om_msi/$name" ;; # an earlier download stays
    quick) fresh 2.1.5 && name=om_exe.v.2.1.6.exe && make_package "$work/site/latest_omexe/$name" ombrix32.exe="$programs/ombrix32_2.1.6.exe" ;;
    support) fresh 2.1.5 && name=up_support_a.exe && make_package "$work/site/support_files/$name" ombrix32.exe="$programs/ombrix32_2.1.6.exe" ;;
  esac
  before=$(snapshot)
  start_site "$work/site" --fault "$name=$mode"
  run_update /manual "$site_page"
  grep -q "/$name " "$site_log" || fail "$kind/$mode: the package was never asked for"
  [ "$mode" != 404 ] || grep -qE "GET http://[^ ]*/$name: status $mode," "$(run_log)" || fail "$kind/$mode: the log does not name the status"
  # WinHTTP takes a body cut short for a whole one and fails it at once.
  case $OM_E2E_PLATFORM/$mode in */reset | */stall | posix/short)
    [ "$(requests "/$name ")" = 4 ] || fail "$kind/$mode: not resumed 3 times" ;;
  esac
  [ "$(snapshot)" = "$before" ] || fail "$kind/$mode: the installation changed: $(diff <(echo "$before") <(snapshot))"
  [ "$(installed_products)" = "Ombrix 2.1.5" ] || fail "$kind/$mode: msiexec ran: $(installed_products)"
  [ ! -e "$inst/started.txt" ] || fail "$kind/$mode: a program was started: $(cat "$inst/started.txt")"
  # "Install" put the history into both values; no installation wrote "[Updated ...]" after it.
  [ "$(reg LastSuccessRun)" = "[Updating {v.2.1.5<-}]" ] || fail "$kind/$mode: LastSuccessRun: $(reg LastSuccessRun)"
  echo "$kind/$mode: the updater ended, nothing written"
}

refusal() {
  local name=$1 page=$2 want=$3 box=$4 gone=$5 args=${6:-/manual} msi=$work/site/ombrix32_v$2.msi
  local sys=${WINEPREFIX:-}/drive_c/windows/system32 quick=$work/site/latest_omexe/om_exe.v.2.1.6.exe
  fresh "$page"
  : >"$work/codes.txt"
  [[ $name != sig_m* && $name != sig_r* ]] || make_package "$quick" ombrix32.exe="$programs/ombrix32_2.1.6.exe"
  [[ $name != sig_* ]] || sign_site
  case $name in
    sig_byte_changed) flip_byte "$msi" ;;
    sig_missing) rm "$quick.sig" ;;
    sig_renamed) for f in "$quick"*; do mv "$f" "${f/2.1.6/2.1.7}"; done ;;
    sig_skip_down) cp "$msi"* "$inst/om_msi/" && flip_byte "$inst/om_msi/ombrix32_v2.1.6.msi" ;;
    page) printf '<html><body>Sign in to the network first</body></html>\n' >"$msi" ;;
    other_version) make_msi 2.1.7 && cp "$work/msi/ombrix32_v2.1.7.msi" "$msi" ;;
    refused) make_msi 2.1.6 refused && cp "$work/msi/ombrix32_v2.1.6-refused.msi" "$msi" ;;
    quick_fails) printf '#!/bin/sh\nexit 3\n' >"$work/site/latest_omexe/om_exe.v.2.1.6.exe" ;;
    busy) printf '0\n1618\n1618\n' >"$work/codes.txt" ;; # Wine's own msiexec never answers 1618
    restart_needed) printf '0\n3010\n' >"$work/codes.txt" ;;
  esac
  if [ -s "$work/codes.txt" ]; then # a stand-in msiexec answers these codes, then runs Wine's own
    cp "$sys/msiexec.exe" "$work/msiexec.exe" && cp "$programs/v15_0_0_1.exe" "$sys/msiexec.exe"
    cp "$(ls /usr/lib/*/wine/x86_64-windows/msiexec.exe /usr/lib/wine/x86_64-windows/msiexec.exe 2>/dev/null | head -n 1)" "$sys/msiexec_real.exe"
  fi
  start_site "$work/site"
  OM_STAND_IN_CODES=$(om_wine_path "$work/codes.txt") WINEDLLOVERRIDES="mscoree,mshtml=;msiexec.exe=n" \
    box_shot=${OM_E2E_PLATFORM}_refusal_$name run_update ${args//,/ } "$site_page"
  [ "$((box_shown > 0))" = "$box" ] || fail "$name: message boxes shown: $box_shown"
  [ "$(installed_products)" = "Ombrix $want" ] || fail "$name: installed: $(installed_products)"
  cmp -s "$programs/ombrix32_$want.exe" "$inst/ombrix32.exe" || fail "$name: ombrix32.exe is not $want"
  [ ! -e "$inst/ombrix32.exe.previous" ] || fail "$name: ombrix32.exe.previous left behind"
  restarted || fail "$name: ombrix32.exe was not restarted"
  [[ $(reg LastSuccessRun) == "[Updat$([ "$want" = 2.1.5 ] && echo ing || echo ed)"* ]] ||
    fail "$name: LastSuccessRun: $(reg LastSuccessRun)"
  [ ! -e "$inst/$gone" ] && [ ! -e "$inst/$gone.sig" ] || fail "$name: the refused $gone or its .sig kept"
  echo "$name: passed"
}

# platform | case
while read -r where row; do
  [ "$where" = both ] || [ "$where" = "$OM_E2E_PLATFORM" ] || continue
  OM_BIN_DIR=$bin && [[ $row != *" sig_"* ]] || OM_BIN_DIR=$bin/signed # the build that fresh installs
  $row
done <<'TABLE'
both  broken msi 404
both  broken msi short
both  broken quick reset
posix broken support stall
both  refusal page 2.1.6 2.1.5 1 om_msi/ombrix32_v2.1.6.msi
posix refusal other_version 2.1.6 2.1.5 1 om_msi/ombrix32_v2.1.6.msi
posix refusal quick_fails 2.1.5 2.1.5 1 -
win32 refusal refused 2.1.6 2.1.5 1 -
win32 refusal busy 2.1.6 2.1.6 0 -
win32 refusal restart_needed 2.1.6 2.1.6 1 -
both  refusal sig_byte_changed 2.1.6 2.1.5 1 om_msi/ombrix32_v2.1.6.msi
posix refusal sig_missing 2.1.5 2.1.5 1 om_exe.v.2.1.6.exe
posix refusal sig_renamed 2.1.5 2.1.5 1 om_exe.v.2.1.7.exe
both  refusal sig_skip_down 2.1.6 2.1.5 1 om_msi/ombrix32_v2.1.6.msi /skip_down,/manual
TABLE
echo "$OM_E2E_PLATFORM update faults e2e passed"
