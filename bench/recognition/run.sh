#!/usr/bin/env bash
# Builds the recognition benchmark host, lays out the engine beside it and runs it.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target recognition_bench -j"$(nproc)"
folder=$build/bench/recognition/programfolder
rm -f "$folder/ocr-engine"
"$root/tools/layout-program-folder.sh" "$folder"
QT_QPA_PLATFORM=offscreen "$folder/recognition_bench"
