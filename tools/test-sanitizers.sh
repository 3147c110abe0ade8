#!/usr/bin/env bash
# The suite under the sanitizers, each in a build folder of its own:
#  - build-asan: everything with AddressSanitizer and UndefinedBehaviorSanitizer, every test run;
#  - build-tsan: the page renderer, the viewer control, the recognition run, the media
#    component's class ids asked from two threads and the tests' own process table, with
#    ThreadSanitizer.
# Run by root, the data-safety tests of each run again as an unprivileged user.
# Any sanitizer report fails the run, a report from a program a test started included.
#   tools/test-sanitizers.sh [-j JOBS]      (JOBS: build and test jobs, default all cores)
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/jobs.sh

. tools/scratch.sh
. tools/test-summary.sh
scratch_dir reports
export QT_QPA_PLATFORM=offscreen
# Reports go to files as well, so one in a program a test started is not lost in its output.
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:log_path=$reports/asan"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:log_path=$reports/ubsan"
# Qt and poppler are not built for the sanitizer: their locks (futexes) are invisible to it, so
# memory calls made from inside them (Qt's paint thread pool) are not judged; ours all are.
export TSAN_OPTIONS="halt_on_error=1:ignore_noninstrumented_modules=1:log_path=$reports/tsan"

failed=0

echo "== AddressSanitizer + UndefinedBehaviorSanitizer (build-asan)"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMIDOC_SANITIZE=address,undefined >/dev/null
cmake --build build-asan -j"$jobs" >/dev/null
run_ctest ASan/UBSan build-asan --output-on-failure -j"$jobs" --timeout 900 || failed=1
run_ctest_unprivileged ASan/UBSan build-asan --output-on-failure -j"$jobs" --timeout 900 \
  -R "$data_safety_tests" || failed=1

echo "== ThreadSanitizer (build-tsan)"
tsan_targets=(recognition_renderer_test recognition_run_test recognition_badinput_test
              recognition_dialog_test recognition_realengine_test recognition_data_safety_test
              recognition_failure_test lumidocwin_pdfview_test clipsight_tests
              components_private_process_table_test)
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMIDOC_SANITIZE=thread >/dev/null
cmake --build build-tsan -j"$jobs" --target "${tsan_targets[@]}" >/dev/null
run_ctest TSan build-tsan --output-on-failure -j"$jobs" --timeout 900 \
  -R '^(PageRenderer|PdfViewTest|Recognition[A-Za-z]*|RealEngine|frmOCR|ObjectsControlThreadsTest|PrivateProcessTable)\.' || failed=1
run_ctest_unprivileged TSan build-tsan --output-on-failure -j"$jobs" --timeout 900 \
  -R "$data_safety_tests" || failed=1

if compgen -G "$reports/*" >/dev/null; then
  echo "sanitizer reports (asan.*, ubsan.*: build-asan; tsan.*: build-tsan):"
  for report in "$reports"/*; do echo "--- ${report##*/}"; cat "$report"; done
  failed=1
fi

if [ "$failed" -ne 0 ]; then
  echo "test-sanitizers: FAILED"
  exit 1
fi
echo "test-sanitizers: all passed"
