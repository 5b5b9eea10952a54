#!/usr/bin/env bash
# Runs a cross-compiled GoogleTest program (with its arguments) under Wine in a fresh prefix of its own,
# and fails unless the program ended with 0 and reported passed tests: a Wine run that prints nothing
# and exits 0 has tested nothing. Wine ends console lines with CR LF.
set -u
source "$(dirname "$0")/wine-env.sh" || exit 1
out=$(mktemp)
trap 'om_wine_cleanup; rm -f "$out"' EXIT
timeout "${OM_WINE_TIMEOUT:-600}" wine "$@" 2>&1 | tr -d '\r' | tee "$out"
code=${PIPESTATUS[0]}
[ "$code" = 0 ] || { echo "wine-gtest: $1 exited with $code" >&2; exit 1; }
grep -q '^\[  PASSED  \] [1-9]' "$out" || { echo "wine-gtest: $1 ran no test under Wine" >&2; exit 1; }
