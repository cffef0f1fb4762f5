#!/bin/sh
# Builds the address fuzzer with clang in its own folder and runs it.
#   run-fuzz.sh SOURCE_DIR BUILD_DIR SECONDS [GAZETTEER]
# Without a gazetteer file the fuzzer makes a small one. Findings (crash-*, timeout-*) land in
# BUILD_DIR/findings; the corpus grows in BUILD_DIR/corpus and is reused by the next run.
set -eu
source_dir=$1
build_dir=$2
seconds=$3
gazetteer=${4:-}
here=$source_dir/tests/reliability/input/fuzz

cmake -S "$here" -B "$build_dir" -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 \
  -DORVANE_SOURCE_DIR="$source_dir" >"$build_dir.configure.log" 2>&1 || { cat "$build_dir.configure.log"; exit 1; }
cmake --build "$build_dir" -j2

mkdir -p "$build_dir/corpus" "$build_dir/findings"
if [ -n "$gazetteer" ] && [ -f "$gazetteer" ]; then
  export ORVANE_FUZZ_GAZETTEER="$gazetteer"
fi
export ASAN_OPTIONS=detect_leaks=0
exec "$build_dir/fuzz_address" "$build_dir/corpus" "$here/seeds" \
  -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -max_len=12000 \
  -artifact_prefix="$build_dir/findings/" -print_final_stats=1
