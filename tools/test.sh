#!/usr/bin/env bash
# Sets up what is missing, builds, and runs every test: the suite, the media component's fuzz
# targets (corpus replay, then 20 s each), and the suite under the sanitizers.
#   tools/test.sh [-j JOBS]      (JOBS: build and test jobs, default all cores)
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/jobs.sh

tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
(cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$jobs" --timeout 600)
tools/fuzz-clipsight.sh -j "$jobs" 20
tools/test-sanitizers.sh -j "$jobs"
