#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds Tavro and opens an example system: in
# the window when there is a display, otherwise as the command-line result.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)"
example=examples/full-adder.trm
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x build/release/bin/tavro ]; then
  exec build/release/bin/tavro "$example" "$@"
fi
for f in examples/*.trm; do
  echo "== $f (SOP, with prime implicants)"
  build/release/bin/tavro-cli --pis "$f" | tr -d '\r'
done
