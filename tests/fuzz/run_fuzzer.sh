#!/usr/bin/env bash
# Runs one libFuzzer target for a bounded time over its seed folders; passes when nothing crashed.
#   run_fuzzer.sh <fuzzer> <seconds> <work corpus folder> <seed folder>...
set -euo pipefail
fuzzer=$1 seconds=$2 work=$3
shift 3
mkdir -p "$work" "$work.crashes"
exec "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$work.crashes/" "$work" "$@"
