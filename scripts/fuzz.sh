#!/usr/bin/env bash
# Builds the libFuzzer targets (preset "fuzz", clang) and runs each for a
# bounded time on one core: scripts/fuzz.sh [SECONDS] [TARGET...]
# (default 30 s, every target in build/fuzz/bin). New inputs go to
# build/fuzz/corpus/<name>, crashes to build/fuzz/artifacts/; the committed
# seeds in fuzz/corpus/<name> are only read. Prints each target's figures
# and exits non-zero on the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
shift || true
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "${FUZZ_BUILD_JOBS:-$(nproc)}"
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for bin in build/fuzz/bin/fuzz-*; do targets+=("${bin##*/fuzz-}"); done
fi
mkdir -p build/fuzz/artifacts
for name in "${targets[@]}"; do
  work=build/fuzz/corpus/$name
  mkdir -p "$work"
  seeds=()
  [ -d "fuzz/corpus/$name" ] && seeds+=("fuzz/corpus/$name")
  log=build/fuzz/$name.log
  echo "== fuzz-$name for $seconds s"
  if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
      "build/fuzz/bin/fuzz-$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -max_len=1024 -print_final_stats=1 -artifact_prefix=build/fuzz/artifacts/"$name"- \
      "$work" "${seeds[@]}" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzz-$name FAILED (log: $log)"
    exit 1
  fi
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  echo "fuzz-$name: $execs runs, $rate exec/s, no crash"
done
