#!/usr/bin/env bash
# Sets up what is missing, builds, lays out the program folder and starts the launcher.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
exec build/Lumidoc/LumidocSplash
