#!/usr/bin/env bash
# Runs the whole test suite: builds the posix, win64 (run under Wine) and sanitizer presets and runs
# every test of each, then prints one closing line with the totals.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
presets=(${OM_TEST_PRESETS:-posix win64 sanitize})

bash scripts/setup.sh "${presets[@]}" || { echo "build failed"; echo "tests: 0 passed, 1 failed"; exit 1; }

passed=0
failed=0
status=0
for preset in "${presets[@]}"; do
  echo "=== ctest --preset $preset"
  log=$(mktemp)
  ctest --preset "$preset" --timeout 900 2>&1 | tee "$log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
  if [ -n "$line" ]; then
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
    bad=$(sed -E 's/.* ([0-9]+) tests failed.*/\1/' <<<"$line")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
  else
    echo "ctest --preset $preset ran no test"
    failed=$((failed + 1))
    status=1
  fi
  rm -f "$log"
done
echo "tests: $passed passed, $failed failed"
exit $status
