#!/usr/bin/env bash
# CPU used by the posix updater while the up-to-date exit count-down runs (goal: below 2% of one
# core). Each run checks a release site on 127.0.0.1 whose page is the installed version (2.1.5), so
# the check ends in the congratulation, the "Exiting ." count-down and the end of the program about
# 1.7 s later. The on-CPU time of all the updater's threads (/proc/<pid>/task/*/schedstat, in ns) is
# read when the site has answered the last request of the check and again every 20 ms until the
# program ends; the last reading before the end over the time between the two readings is the share.
# Usage: bench/countdown_cpu.sh [build folder] [runs]
set -euo pipefail
build=$(cd "${1:-build/posix}" && pwd)
runs=${2:-5}
export OM_BIN_DIR=$build/bin OM_BINARY_DIR=$build OM_SOURCE_DIR=$(cd "$(dirname "$0")/.." && pwd)
export OM_TEST_PROGRAMS=$build/tests/programs
[ -x "$OM_TEST_PROGRAMS/ombrix32_2.1.5.exe" ] ||
  { echo "build test_program_ombrix32_2.1.5 in $build first" >&2; exit 1; }
source "$OM_SOURCE_DIR/tests/e2e/lib/common.sh"
source "$OM_SOURCE_DIR/tests/e2e/lib/check_site.sh"
check_begin
check_serve "$OM_SOURCE_DIR/tests/fixtures/check_sites/uptodate"
posix_installation

cpu_ns() { # on-CPU ns of every thread of process $1, or nothing once it is gone
  cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { if (NR) print s }'
}

for _ in $(seq "$runs"); do
  : >"$site_log"
  (cd / && exec "$inst/om_updater_now.exe" "$site_page") >/dev/null 2>&1 &
  pid=$!
  for _ in $(seq 600); do grep -q "^/latest_omexe/ " "$site_log" && break; sleep 0.01; done
  grep -q "^/latest_omexe/ " "$site_log" || fail "the check did not reach the quick-update listing"
  first=$(cpu_ns "$pid")
  first_at=$(date +%s%N)
  last=$first last_at=$first_at
  for _ in $(seq 500); do
    now=$(cpu_ns "$pid") || true
    [ -n "$now" ] || break
    last=$now last_at=$(date +%s%N)
    sleep 0.02
  done
  wait "$pid" 2>/dev/null || true
  echo "$(((last - first) / 1000)) $(((last_at - first_at) / 1000))"
done | awk '{ share = 100 * $1 / $2; print share, $2 / 1000 }' | sort -n |
  awk '{ v[NR] = $1; span[NR] = $2 } END {
    printf "count-down CPU, %d runs (each over ~%.0f ms): min %.2f%%, median %.2f%%, max %.2f%% of one core\n",
      NR, span[int((NR + 1) / 2)], v[1], v[int((NR + 1) / 2)], v[NR] }'
