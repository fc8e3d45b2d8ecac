#!/usr/bin/env bash
# Sets everything up, makes a demo shop in ./demo and starts the program there.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
root=$(pwd)
mkdir -p demo
if [ -x build/demo-shop ] && [ ! -e demo/firma.dbf ]; then build/demo-shop demo; fi
export PATH="$root/build:$PATH"
cd demo
exec "$root/build/veltortp"
