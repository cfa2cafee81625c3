#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds everything and runs every test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)
cmake --preset release
cmake --build --preset release -j "$jobs"
QT_QPA_PLATFORM=offscreen ctest --preset release -j "$jobs"
