#!/usr/bin/env bash
# Fuzzes the media component and the picture header readers: builds their libFuzzer targets with
# clang (AddressSanitizer and UndefinedBehaviorSanitizer) in a build folder of their own, replays
# each target's committed regression corpus, then runs every target for SECONDS (default 30),
# JOBS targets at a time.
#   tools/fuzz.sh [-j JOBS] [SECONDS]
#     -j JOBS, --jobs JOBS   jobs for the build and fuzz targets run at once (default: all cores)
#     LUMIDOC_FUZZ_BUILD     the build folder (default build-fuzz)
# Targets are the fuzz_<name> programs of clipsight/fuzz/ (corpora tests/data/media/corpus/<name>/)
# and form/Folipress/decoder/fuzz/ (corpus: the picture fixtures, tests/data/pictures/). A crash
# leaves its input in <build>/fuzz-artifacts/; once fixed, copy it into the target's corpus
# folder so the replay keeps checking it.
# Without clang++ this prints a note and succeeds.
set -euo pipefail
cd "$(dirname "$0")/.."
usage() { sed -n '2,/^set -/p' "$0" | sed -e '/^set -/d' -e 's/^# \{0,1\}//' >&2; exit 2; }
seconds=30
jobs=$(nproc)
while [ $# -gt 0 ]; do
  case $1 in
    -j | --jobs) [ $# -ge 2 ] || usage; jobs=$2; shift 2 ;;
    -j*) jobs=${1#-j}; shift ;;
    --jobs=*) jobs=${1#--jobs=}; shift ;;
    -h | --help) usage ;;
    -*) echo "fuzz: unknown option $1" >&2; usage ;;
    *) seconds=$1; shift ;;
  esac
done
for n in "$seconds" "$jobs"; do
  [[ $n =~ ^[1-9][0-9]*$ ]] || { echo "fuzz: '$n' is not a positive number" >&2; usage; }
done
build=${LUMIDOC_FUZZ_BUILD:-build-fuzz}
# corpus NAME: the regression corpus of target fuzz_NAME.
corpus() { [ "$1" = picture_header ] && echo tests/data/pictures || echo "tests/data/media/corpus/$1"; }

if ! command -v clang++ >/dev/null 2>&1; then
  echo "fuzz: clang++ not found; fuzzing skipped"
  exit 0
fi

cmake -S . -B "$build" -DLUMIDOC_FUZZ=ON -DLUMIDOC_GUI=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" --target clipsight_fuzz folipress_fuzz -j"$jobs" >/dev/null

targets=()
for t in "$build"/clipsight/fuzz/fuzz_* "$build"/form/Folipress/decoder/fuzz/fuzz_*; do
  [ -f "$t" ] && [ -x "$t" ] && targets+=("$t")
done
if [ ${#targets[@]} -eq 0 ]; then
  echo "fuzz: no fuzz targets were built" >&2
  exit 1
fi

# Allocations above 256 MB, inputs that take over 10 s, leaks and sanitizer reports all fail.
opts=(-malloc_limit_mb=256 -rss_limit_mb=2048 -timeout=10 -print_final_stats=0)
artifacts="$build/fuzz-artifacts"
logs="$build/fuzz-logs"
mkdir -p "$artifacts" "$logs"
failed=0

# 1. Replay the regression corpora.
for t in "${targets[@]}"; do
  name=${t##*/fuzz_}
  mkdir -p "$(corpus "$name")"
  if "$t" -runs=0 "${opts[@]}" -artifact_prefix="$artifacts/$name-" "$(corpus "$name")" \
      >"$logs/replay-$name.log" 2>&1; then
    echo "replay $name: $(find "$(corpus "$name")" -type f | wc -l) inputs passed"
  else
    echo "replay $name: FAILED (see $logs/replay-$name.log)"
    grep -E "ERROR|runtime error|SUMMARY" "$logs/replay-$name.log" | head -5 || true
    failed=1
  fi
done

# 2. Fuzz every target for the given time, at most JOBS at a time.
. tools/scratch.sh
scratch_dir work
running=0
for t in "${targets[@]}"; do
  name=${t##*/fuzz_}
  mkdir -p "$work/$name"
  (
    rc=0
    "$t" -max_total_time="$seconds" "${opts[@]}" -artifact_prefix="$artifacts/$name-" \
      "$work/$name" "$(corpus "$name")" >"$logs/fuzz-$name.log" 2>&1 || rc=$?
    echo "$rc" >"$work/$name.rc"
  ) &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
done
wait
for t in "${targets[@]}"; do
  name=${t##*/fuzz_}
  if [ "$(cat "$work/$name.rc" 2>/dev/null || echo 1)" = 0 ]; then
    runs=$(grep -Eo 'Done [0-9]+ runs' "$logs/fuzz-$name.log" | tail -1 | cut -d' ' -f2)
    echo "fuzz $name: ${seconds}s, ${runs:-?} runs, no finding"
  else
    echo "fuzz $name: FINDING (see $logs/fuzz-$name.log)"
    grep -E "ERROR|runtime error|SUMMARY|Test unit written" "$logs/fuzz-$name.log" | head -5 || true
    failed=1
  fi
done

if [ "$failed" -ne 0 ]; then
  echo "fuzz: FAILED"
  exit 1
fi
echo "fuzz: all targets passed"
