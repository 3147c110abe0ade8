#!/usr/bin/env bash
# Sets up what is missing, builds, and runs every test: the suite, the fuzz targets of the media
# component and the picture header readers (corpus replay, then 20 s each), and the suite under
# the sanitizers. The last lines say, for each build whose tests ran, how many were skipped or
# failed and why.
#   tools/test.sh [-j JOBS]      (JOBS: build and test jobs, default all cores)
# With CI=true a test that needs a process table of its own fails where the machine gives none.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/jobs.sh
. tools/scratch.sh
. tools/test-summary.sh

tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
export QT_QPA_PLATFORM=offscreen
run_ctest plain build --output-on-failure -j"$jobs" --timeout 600
tools/fuzz.sh -j "$jobs" 20
tools/test-sanitizers.sh -j "$jobs"
