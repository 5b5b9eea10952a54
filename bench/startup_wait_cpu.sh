#!/usr/bin/env bash
# CPU used by the posix updater while do_wait(2) runs (goal: below 2% of one core). Off line with
# "/manual" the updater shows "Internet Connection Error!", waits 2 s in do_wait, and ends; the user
# and system time of the whole run are compared with its elapsed time. Also measures the idle window
# (waiting for "Check") for 3 s through /proc/<pid>/stat.
# Usage: bench/startup_wait_cpu.sh [build folder]
set -euo pipefail
build=${1:-build/posix}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$build/bin/om_updat.exe" "$work/om_updater_now.exe"
printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Kelvane\\Ombrix32]\n"exepath"="%s/"\n' "$work" >"$work/hkcu.reg"
export OMBRIX_HKCU_FILE=$work/hkcu.reg OM_BENCH_WORK=$work
timeout 120 xvfb-run -a -s "-screen 0 1024x768x24" bash -euo pipefail -c '
/usr/bin/time -f "%U %S %e" -o "$OM_BENCH_WORK/time.txt" unshare -rn "$OM_BENCH_WORK/om_updater_now.exe" /manual
read -r user sys elapsed <"$OM_BENCH_WORK/time.txt"
awk -v u="$user" -v s="$sys" -v e="$elapsed" "BEGIN { printf \"do_wait(2) run: %.2f s elapsed, %.2f s CPU = %.2f%% of one core (start-up included)\n\", e, u + s, 100 * (u + s) / e }"
"$OM_BENCH_WORK/om_updater_now.exe" /manual &
pid=$!
sleep 1
tick=$(getconf CLK_TCK)
before=$(awk "{ print \$14 + \$15 }" /proc/$pid/stat)
sleep 3
after=$(awk "{ print \$14 + \$15 }" /proc/$pid/stat)
kill "$pid"; wait "$pid" 2>/dev/null || true
awk -v b="$before" -v a="$after" -v t="$tick" "BEGIN { printf \"idle window, 3 s: %.3f s CPU = %.2f%% of one core\n\", (a - b) / t, 100 * (a - b) / t / 3 }"
'
