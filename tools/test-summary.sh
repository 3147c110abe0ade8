# Sourced by the test tools after scratch.sh: runs a build folder's tests and notes how many were
# skipped or failed and why. The script that started the run prints the notes of every build it
# ran as its last lines, whether it passes or not.
#   run_ctest LABEL BUILD [CTEST OPTIONS...]   runs ctest in BUILD and notes its result
if [ -z "${LUMIDOC_TEST_SUMMARY:-}" ]; then
  scratch_file LUMIDOC_TEST_SUMMARY
  export LUMIDOC_TEST_SUMMARY
  scratch_on_exit print_test_summary
fi

print_test_summary() {
  echo "== Tests skipped and failed, for each build run"
  if [ -s "$LUMIDOC_TEST_SUMMARY" ]; then cat "$LUMIDOC_TEST_SUMMARY"; else echo "no tests were run"; fi
}

# The reasons come from GoogleTest's own lines: the text under "file:line: Skipped", and for a
# failure the message of an explicit FAIL().
summarise_tests() {
  awk -v label="$1" '
    /^[0-9]+\/[0-9]+ Testing: / { tests++; skip = fail = mode = ""; next }
    mode == "skip" && /^\[  SKIPPED \]/ { mode = ""; next }
    mode == "skip" { skip = skip (skip == "" ? "" : " ") $0; next }
    mode == "failure" { mode = ($0 == "Failed") ? "failed" : ""; next }
    mode == "failed" { fail = $0; mode = ""; next }
    /: Skipped$/ && skip == "" { mode = "skip"; next }
    /: Failure$/ && fail == "" { mode = "failure"; next }
    /^Skip regular expression found in output/ {
      skipped[skip == "" ? "no reason given" : skip]++; nskipped++; next
    }
    /^Test Failed\./ { failed[fail == "" ? "see its output above" : fail]++; nfailed++; next }
    END {
      printf "%s: %d tests, %d skipped, %d failed\n", label, tests, nskipped, nfailed
      for (r in skipped) printf "  %d skipped: %s\n", skipped[r], r
      for (r in failed) printf "  %d failed: %s\n", failed[r], r
    }' "$2"
}

run_ctest() {
  local label=$1 build=$2 status=0
  shift 2
  # Skipped tests count as passed, whose output ctest keeps only 1 kB of by default.
  (cd "$build" && ctest --test-output-size-passed 65536 "$@") || status=$?
  local log="$build/Testing/Temporary/LastTest.log"
  if [ -f "$log" ]; then
    summarise_tests "$label ($build)" "$log" >> "$LUMIDOC_TEST_SUMMARY"
  else
    echo "$label ($build): no test log" >> "$LUMIDOC_TEST_SUMMARY"
  fi
  return "$status"
}
