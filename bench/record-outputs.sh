#!/usr/bin/env bash
# Records what tavro-cli prints for every benchmark file in each output mode,
# so that two builds can be compared byte for byte:
#   bench/record-outputs.sh CLI OUTDIR [BENCH_DIR]
#   diff -r OUTDIR_BEFORE OUTDIR_AFTER
# Each run's standard output goes to OUTDIR/<mode>/<set>/<file>.out, its exit
# status and its figures (without the timings and the peak memory, which vary)
# to .stats beside it.
# PLA Cost runs are kept only where they were proven minimal, as a run that
# reaches its time limit may end on another cover.
set -uo pipefail
cli=${1:?usage: record-outputs.sh CLI OUTDIR [BENCH_DIR]}
out=${2:?usage: record-outputs.sh CLI OUTDIR [BENCH_DIR]}
bench=${3:-$(cd "$(dirname "$0")/../.." && pwd)/shared/bench}
limit=${RECORD_TIMEOUT:-120}

run() {  # mode set file args...
  local mode=$1 set=$2 file=$3; shift 3
  local dir="$out/$mode/$set" base
  base=$(basename "$file")
  mkdir -p "$dir"
  timeout "$limit" "$cli" --stats "$@" "$file" >"$dir/$base.out" 2>"$dir/$base.err"
  local rc=$?
  { echo "exit: $rc"; grep -v '^seconds\|^peak MiB' "$dir/$base.err"; } >"$dir/$base.stats"
  rm -f "$dir/$base.err"
  if [ "$mode" = pla ] && ! grep -q '^proven: yes' "$dir/$base.stats"; then
    rm -f "$dir/$base.out" "$dir/$base.stats"
  fi
}

for f in "$bench"/trm/*.trm "$bench"/synth/*.trm; do
  set=$(basename "$(dirname "$f")")
  run sop "$set" "$f"
  run pis "$set" "$f" --pis --no-optimized
  run terms "$set" "$f" --terms
  case "$f" in *_i18_*|*_i20_*) ;; *) run pos "$set" "$f" --pos ;; esac
  run pla "$set" "$f" --cost=pla
done
for f in "$bench"/pla/*.pla "$bench"/wide/*.pla; do
  set=$(basename "$(dirname "$f")")
  run sop "$set" "$f"
  [ "$set" = pla ] && run pos "$set" "$f" --pos
  [ "$set" = pla ] && run pla "$set" "$f" --cost=pla
done
