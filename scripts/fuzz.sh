#!/usr/bin/env bash
# Builds the fuzz targets of fuzz/ with clang and libFuzzer in build-fuzz/ and runs each, one at a
# time, for SECONDS (default 600) or 10^6 executions, whichever comes first. Seeds come from
# fuzz/corpus/<target>/, words from fuzz/<target>.dict; the corpus grown and any crash are kept
# under build-fuzz/.
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]   (targets: settings identify progress watchpage
# urldecode timestring; default all). Prints one summary line per target; exits 1 on a crash.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-600}
shift || true
targets=("$@")
if ((${#targets[@]} == 0)); then
  targets=()
  for f in fuzz/fuzz_*.cpp; do
    name=$(basename "$f" .cpp)
    targets+=("${name#fuzz_}")
  done
fi

./scripts/install-deps.sh clang libclang-rt-14-dev

build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMIRELO_FUZZ=ON \
  -DMIRELO_TESTS=OFF -DMIRELO_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
status=0
summary=()
for t in "${targets[@]}"; do
  corpus="$build/corpus/$t"
  artifacts="$build/artifacts/$t/"
  log="$build/fuzz_$t.log"
  mkdir -p "$corpus" "$artifacts"
  cp -n fuzz/corpus/"$t"/* "$corpus"/ 2>/dev/null || true
  echo "== fuzz_$t: up to $seconds s or 1000000 runs"
  dict=()
  [[ -f fuzz/$t.dict ]] && dict=(-dict="fuzz/$t.dict")
  rc=0
  "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -runs=1000000 -print_final_stats=1 \
    "${dict[@]}" -artifact_prefix="$artifacts" "$corpus" >"$log" 2>&1 || rc=$?
  runs=$(grep -oE '^stat::number_of_executed_units: *[0-9]+' "$log" | grep -oE '[0-9]+$' || true)
  cov=$(grep -oE 'cov: [0-9]+' "$log" | tail -1 | grep -oE '[0-9]+' || true)
  secs=$(grep -oE '^Done [0-9]+ runs in [0-9]+ second' "$log" | grep -oE '[0-9]+ second' |
    grep -oE '[0-9]+' || true)
  crashes=$(find "$artifacts" -type f | wc -l)
  line="fuzz_$t: executions ${runs:-?}, cov ${cov:-?}, ${secs:-?} s, crashes $crashes"
  if ((rc != 0)); then
    line+=" (exit $rc; see $log)"
    status=1
  fi
  echo "$line"
  summary+=("$line")
done
echo
printf '%s\n' "${summary[@]}"
exit $status
