#!/usr/bin/env bash
# Sets everything up, builds and runs every test (unit, concurrency and terminal end-to-end tests), then
# the unit and concurrency tests once more in a build with the address and undefined-behaviour sanitizers.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
ctest --preset default
cmake --preset debug
cmake --build --preset debug
ctest --preset debug -E '^e2e\.'
