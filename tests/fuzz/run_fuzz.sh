#!/usr/bin/env bash
# Runs one libFuzzer target for about a minute (QJX_FUZZ_SECONDS) from freshly generated seeds.
# Usage: run_fuzz.sh FUZZER SEED_TOOL SEED_KIND WORK_FOLDER MAX_LEN
set -euo pipefail
fuzzer=$1 seed_tool=$2 kind=$3 work=$4 max_len=$5
rm -rf "$work"
mkdir -p "$work/corpus" "$work/artifacts"
"$seed_tool" "$kind" "$work/corpus"
exec "$fuzzer" -max_total_time="${QJX_FUZZ_SECONDS:-60}" -max_len="$max_len" -timeout=30 \
  -print_final_stats=1 -artifact_prefix="$work/artifacts/" "$work/corpus"
