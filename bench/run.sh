#!/usr/bin/env bash
# Benchmark harness: builds the release tavro-cli if needed (unless --cli PATH
# or $TAVRO_CLI names one), then runs bench/harness.py over the benchmark term
# files. Options: bench/run.sh --help.
#   bench/run.sh [--quick] [--timeout S] [--max-memory MIB] [--markdown PATH] [files...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

cli="${TAVRO_CLI:-}"
want_help=0
for a in "$@"; do
  case "$a" in
    --cli|--cli=*) cli=given ;;
    -h|--help) want_help=1 ;;
  esac
done

if [ -z "$cli" ] && [ "$want_help" -eq 0 ]; then
  (
    cd "$root"
    if [ ! -f build/release/CMakeCache.txt ]; then
      cmake --preset release -DTAVRO_BUILD_GUI=OFF >&2
    fi
    cmake --build --preset release --target tavro-cli -j "${TAVRO_BUILD_JOBS:-2}" >&2
  )
  cli="$root/build/release/bin/tavro-cli"
fi

if [ "$cli" = given ]; then
  exec python3 "$root/bench/harness.py" --root "$root" "$@"
fi
exec python3 "$root/bench/harness.py" --root "$root" ${cli:+--cli "$cli"} "$@"
