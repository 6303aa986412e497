#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while.
# Usage: scripts/fuzz.sh [SECONDS-PER-TARGET]   (default 60)
# The seed corpus in fuzz/corpus/<target>/ is read, never written: new
# inputs go to a scratch folder. Exits non-zero when a target crashes.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

scripts/setup.sh clang libclang-rt-dev
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DPACHE_FUZZ=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz --target fuzzers

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
status=0
for target in build-fuzz/fuzz/*; do
  [ -f "$target" ] && [ -x "$target" ] || continue
  name=$(basename "$target")
  mkdir -p "$scratch/$name"
  seeds=()
  [ -d "fuzz/corpus/$name" ] && seeds=("fuzz/corpus/$name")
  if "$target" -max_total_time="$seconds" -artifact_prefix="build-fuzz/$name-" \
      -print_final_stats=1 "$scratch/$name" "${seeds[@]}" >"$scratch/$name.log" 2>&1; then
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$scratch/$name.log" | grep -o '[0-9]*$')
    echo "fuzz: $name: ${seconds}s, ${runs:-?} runs, no crash"
  else
    echo "fuzz: $name: CRASH (see build-fuzz/$name-*)"
    tail -40 "$scratch/$name.log"
    status=1
  fi
done
exit $status
