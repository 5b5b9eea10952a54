#!/usr/bin/env bash
# Runs a cross-compiled GoogleTest program under Wine in a fresh prefix of its own, and fails unless
# the program ended with 0 and reported passed tests: a Wine run that prints nothing and exits 0 has
# tested nothing. Wine ends console lines with CR LF.
set -u
exe=$1; shift
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-env.sh" || exit 1
trap om_wine_cleanup EXIT
out=$(mktemp)
timeout "${OM_WINE_TIMEOUT:-600}" wine "$exe" "$@" 2>&1 | tr -d '\r' | tee "$out"
code=${PIPESTATUS[0]}
passed=$(grep -c '^\[  PASSED  \] [1-9]' "$out")
rm -f "$out"
[ "$code" = 0 ] || { echo "wine-gtest: $exe exited with $code" >&2; exit 1; }
[ "$passed" != 0 ] || { echo "wine-gtest: $exe ran no test under Wine" >&2; exit 1; }
