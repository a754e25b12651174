#!/usr/bin/env bash
# Runs the records fuzzer for a bounded time from the committed seed corpus.
# New inputs go to a scratch folder; a failing input is kept in build-asan.
source "$(dirname "$0")/sanitizer-build.sh"
build_sanitized records_fuzz
FUZZ_SECONDS="${FUZZ_SECONDS:-45}"
scratch="$SANITIZER_BUILD/fuzz-corpus"
mkdir -p "$scratch"
"$SANITIZER_BUILD/fuzz/records_fuzz" -max_total_time="$FUZZ_SECONDS" -max_len=4096 \
    -print_final_stats=1 -artifact_prefix="$SANITIZER_BUILD/fuzz-" \
    "$scratch" "$ROOT/fuzz/corpus"
