#!/usr/bin/env bash
# Runs a cross-compiled GoogleTest program under Wine in a fresh prefix of its own, and fails unless
# the program really ran tests and all passed: a Wine run that prints nothing and exits 0 has tested
# nothing. Wine cuts exit codes to 8 bits and ends console lines with CR LF.
set -u
exe=$1; shift
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-env.sh" || exit 1
trap om_wine_cleanup EXIT
out=$(mktemp)
timeout "${OM_WINE_TIMEOUT:-600}" wine "$exe" "$@" 2>&1 | tr -d '\r' | tee "$out"
code=${PIPESTATUS[0]}
ran=$(sed -n 's/^\[==========\] \([0-9][0-9]*\) tests\{0,1\} from .* ran\..*/\1/p' "$out" | tail -n 1)
passed=$(grep -c '^\[  PASSED  \]' "$out")
failed=$(grep -c '^\[  FAILED  \]' "$out")
rm -f "$out"
if [ "$code" -ne 0 ]; then echo "wine-gtest: $exe exited with $code" >&2; exit 1; fi
if [ "$failed" -ne 0 ]; then echo "wine-gtest: $exe reported failed tests" >&2; exit 1; fi
if [ -z "$ran" ] || [ "$ran" -eq 0 ] || [ "$passed" -eq 0 ]; then
  echo "wine-gtest: $exe ran no test under Wine" >&2; exit 1
fi
exit 0
