#!/usr/bin/env bash
# Sets up what is missing, builds, and runs every test: the suite, the fuzz targets of the media
# component and the picture header readers (corpus replay, then 20 s each), and the suite under
# the sanitizers. The last lines say, for each build whose tests ran, how many ran, were skipped
# or failed and why, and what the tests left behind (anything fails the run).
#   tools/test.sh [-j JOBS]      (JOBS: build and test jobs, default all cores)
# Run by root, the data-safety tests of each build run again as an unprivileged user (see
# test-summary.sh), as a normal user runs them. With CI=true a test that cannot run here (no
# process table or file system of its own, no link of another user) fails instead of being
# skipped.
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
run_ctest_unprivileged plain build --output-on-failure -j"$jobs" --timeout 600 -R "$data_safety_tests"
tools/fuzz.sh -j "$jobs" 20
tools/test-sanitizers.sh -j "$jobs"
