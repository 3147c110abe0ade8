# Sourced by the test tools after scratch.sh: runs a build folder's tests and notes how many ran,
# were skipped or failed and why, and what they left behind. The script that started the run
# prints the notes of every build it ran as its last lines, whether it passes or not.
#   run_ctest LABEL BUILD [CTEST OPTIONS...]   runs ctest in BUILD and notes its result
#   run_ctest_unprivileged LABEL BUILD [CTEST OPTIONS...]
#       as root, runs them again as the unprivileged user $test_user, whose run must pass as a
#       normal user's does (where there is no such user, or the checkout is hidden from it, the
#       summary says so); run by anyone else, does nothing
# The tests run with a home and a temporary folder of their own; anything still in them when
# the tests are over was left behind by a test, and fails the run.
if [ -z "${LUMIDOC_TEST_SUMMARY:-}" ]; then
  scratch_file LUMIDOC_TEST_SUMMARY
  export LUMIDOC_TEST_SUMMARY
  scratch_on_exit print_test_summary
fi
# An account with no rights of its own, whose uid is not nobody's: nobody is also what a user
# namespace shows for owners it does not map, and root's files must look another user's.
test_user=daemon
# The tests a normal user's run depends on most: what the file layer may touch and the process
# table of the tests' own, both of which take another way where the user is root.
data_safety_tests='^(DataSafety|RecognitionStartup|CommandLine|CopyFile|DriveC|FileReplacement|WorkingFiles|DeleteFolderTree|PrivateProcessTable)\.'

print_test_summary() {
  echo "== Tests run, skipped and failed, and what they left behind, for each build run"
  if [ -s "$LUMIDOC_TEST_SUMMARY" ]; then cat "$LUMIDOC_TEST_SUMMARY"; else echo "no tests were run"; fi
}


# The reasons come from GoogleTest's own lines: the text under "file:line: Skipped", and for a
# failure the message of an explicit FAIL().
summarise_tests() {
  awk -v label="$1" -v left="$3" '
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
      printf "%s: %d ran, %d skipped, %d failed; left behind: %s\n", label, tests - nskipped,
             nskipped, nfailed, left
      for (r in skipped) printf "  %d skipped: %s\n", skipped[r], r
      for (r in failed) printf "  %d failed: %s\n", failed[r], r
    }' "$2"
}

# A fresh scratch for one run of tests, its path in $tests_scratch: home/ and tmp/ for them.
# The temporary folder is open to all as /tmp is, since tests play other users in it.
new_tests_scratch() {
  scratch_dir tests_scratch
  chmod 711 "$tests_scratch"
  mkdir -m 700 "$tests_scratch/home"
  mkdir -m 1777 "$tests_scratch/tmp"
}

# What the tests left in their home and temporary folder: "nothing", or how much and what.
left_behind() {
  local count
  count=$(find "$1/home" "$1/tmp" -mindepth 1 | wc -l)
  if [ "$count" -eq 0 ]; then
    echo nothing
  else
    echo "$count entries: $(cd "$1" && find home tmp -mindepth 1 -maxdepth 2 | head -5 | tr '\n' ' ')"
  fi
}

# run_tests LABEL BUILD LISTS [CTEST OPTIONS...]: runs ctest where the test lists LISTS are (BUILD
# or a copy of its lists), through the command in the array tests_as (empty: as this user).
run_tests() {
  local label=$1 build=$2 lists=$3 status=0
  shift 3
  local left log="$lists/Testing/Temporary/LastTest.log"
  rm -f "$log"
  # Skipped tests count as passed, whose output ctest keeps only 1 kB of by default.
  (cd "$lists" && ${tests_as[@]+"${tests_as[@]}"} env -u XDG_CONFIG_HOME -u XDG_DATA_HOME \
      -u XDG_CACHE_HOME -u XDG_STATE_HOME -u XDG_RUNTIME_DIR HOME="$tests_scratch/home" \
      TMPDIR="$tests_scratch/tmp" ctest --test-output-size-passed 65536 "$@") || status=$?
  left=$(left_behind "$tests_scratch")
  [ "$left" = nothing ] || status=1
  if [ -f "$log" ]; then
    summarise_tests "$label ($build)" "$log" "$left" >> "$LUMIDOC_TEST_SUMMARY"
  else
    echo "$label ($build): no test log; left behind: $left" >> "$LUMIDOC_TEST_SUMMARY"
  fi
  return "$status"
}

run_ctest() {
  local label=$1 build=$2
  shift 2
  new_tests_scratch
  tests_as=()
  run_tests "$label" "$build" "$build" "$@"
}

run_ctest_unprivileged() {
  [ "$(id -u)" -eq 0 ] || return 0
  local label="$1, as $test_user" build=$2 why=""
  shift 2
  new_tests_scratch
  tests_as=(setpriv --reuid="$test_user" --regid="$(id -g "$test_user" 2>/dev/null)" --clear-groups
            --inh-caps=-all)
  # The user writes nothing of the build: ctest keeps its log beside a copy of the test lists.
  mkdir "$tests_scratch/lists"
  (cd "$build" && find . -name CTestTestfile.cmake -exec cp --parents {} "$tests_scratch/lists" \;)
  if ! id -u "$test_user" >/dev/null 2>&1; then
    why="there is no user $test_user"
  else
    chown -R "$test_user:$(id -g "$test_user")" "$tests_scratch"
    "${tests_as[@]}" test -x "$build" -a -r tests/data || why="$test_user cannot read $PWD/$build"
  fi
  # Where the machine gives no such user or hides the checkout from it, the run as root stands
  # alone: said, not failed.
  if [ -n "$why" ]; then
    echo "$label ($build): not run: $why" >> "$LUMIDOC_TEST_SUMMARY"
    return 0
  fi
  run_tests "$label" "$build" "$tests_scratch/lists" "$@"
}
