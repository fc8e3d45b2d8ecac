#!/usr/bin/env bash
# Installs what the build and the tests need (on Debian), then configures and builds.
# Run as root it installs with apt-get; otherwise it prints the one line to run and stops.
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(g++ cmake ninja-build pkg-config libncurses-dev libgtest-dev libgmock-dev libbenchmark-dev
          libfmt-dev tmux python3 xz-utils procps)

missing=()
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    if [ "$(id -u)" = 0 ]; then
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -qq
        apt-get install -y -qq --no-install-recommends "${missing[@]}"
    else
        echo "Missing packages. Run as root:"
        echo "  apt-get update && apt-get install -y ${missing[*]}"
        exit 1
    fi
fi

cmake --preset default >/dev/null
cmake --build --preset default
