#!/usr/bin/env bash
# Start-to-window-shown of the posix updater (goal: below 150 ms). Runs the running copy under Xvfb a
# number of times; the program prints the wall time at which its window was first shown
# (OM_REPORT_SHOWN), compared with the time just before it was started.
# Usage: bench/startup_window_time.sh [build folder] [runs]
set -euo pipefail
build=${1:-build/posix}
runs=${2:-10}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$build/bin/om_updat.exe" "$work/om_updater_now.exe"
printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Kelvane\\Ombrix32]\n"exepath"="%s/"\n' "$work" >"$work/hkcu.reg"
export OMBRIX_HKCU_FILE=$work/hkcu.reg OM_REPORT_SHOWN=1 OM_BENCH_WORK=$work OM_BENCH_RUNS=$runs
timeout 300 xvfb-run -a -s "-screen 0 1024x768x24" bash -euo pipefail -c '
for i in $(seq "$OM_BENCH_RUNS"); do
  start=$(date +%s%N)
  "$OM_BENCH_WORK/om_updater_now.exe" /manual 2>"$OM_BENCH_WORK/err.txt" &
  pid=$!
  for _ in $(seq 200); do grep -q om_window_shown_ns "$OM_BENCH_WORK/err.txt" && break; sleep 0.02; done
  shown=$(sed -n "s/^om_window_shown_ns //p" "$OM_BENCH_WORK/err.txt")
  kill "$pid"; wait "$pid" 2>/dev/null || true
  echo $(((shown - start) / 1000))
done' | sort -n | awk '{ v[NR] = $1 } END { printf "start to window shown, %d runs: min %.1f ms, median %.1f ms, max %.1f ms\n", NR, v[1] / 1000, v[int((NR + 1) / 2)] / 1000, v[NR] / 1000 }'
