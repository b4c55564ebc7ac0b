#!/usr/bin/env bash
# Runs one libFuzzer program for a bounded time and fails on any finding.
#   run_target.sh PROGRAM WORKDIR SECONDS SEED_DIR...
# New inputs go to WORKDIR/corpus (kept between runs); a crashing, leaking or
# hanging input is written to WORKDIR/ as crash-*, leak-* or timeout-*: copy
# it to fuzz/regressions/<name>/ once the fault is fixed, so the ordinary
# tests replay it.
set -u
program=$1 work=$2 seconds=$3
shift 3
mkdir -p "$work/corpus"
seeds=()
for dir in "$@"; do [ -d "$dir" ] && seeds+=("$dir"); done
exec "$program" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=8192 \
  -print_final_stats=1 -artifact_prefix="$work/" "$work/corpus" "${seeds[@]}"
