#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds everything and runs every test suite:
# the release build, then its Debian package installed into a staging folder
# and checked there, then the same suites built with AddressSanitizer and
# UndefinedBehaviorSanitizer, then a short run of each fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

echo "== release"
cmake --preset release
cmake --build --preset release -j "$jobs"
ctest --preset release -j "$jobs"

echo "== package (Debian package of the release build, installed into a staging folder)"
scripts/check-package.sh build/release

echo "== asan (AddressSanitizer + UndefinedBehaviorSanitizer)"
cmake --preset asan
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs"

echo "== fuzz (${FUZZ_SECONDS:-30} s per target)"
scripts/fuzz.sh "${FUZZ_SECONDS:-30}"
