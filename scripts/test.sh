#!/usr/bin/env bash
# Sets everything up, builds and runs every test (unit, concurrency and terminal end-to-end tests).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
ctest --preset default
