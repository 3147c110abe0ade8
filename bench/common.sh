# Sourced by the benchmark scripts: the build folder and job count they are given.
# A benchmark never reconfigures its build folder and never writes into it: its programs must
# be built there already (it says how when one is missing), or --build builds exactly those
# targets with the given job count.
#
# Options every script takes, besides its own:
#   -j N, --jobs N   jobs for --build (default: all cores)
#   --build          build the benchmark's own targets, and only those, before running
#   BUILD_DIR        an existing, configured build folder (the one non-option argument)
# A script lists its own options that take a value in bench_value_options before calling
# bench_parse "$@"; after it: $bench_build, $bench_jobs, $bench_do_build, and the script's own
# options (with their values) in bench_args.
. tools/scratch.sh

bench_usage() {
  sed -n '2,/^set -/p' "$0" | sed -e '/^set -/d' -e 's/^# \{0,1\}//' >&2
  exit 2
}

bench_parse() {
  bench_build=""
  bench_jobs=$(nproc)
  bench_do_build=0
  bench_args=()
  while [ $# -gt 0 ]; do
    case $1 in
      -j | --jobs) [ $# -ge 2 ] || bench_usage; bench_jobs=$2; shift 2 ;;
      -j* ) bench_jobs=${1#-j}; shift ;;
      --jobs=*) bench_jobs=${1#--jobs=}; shift ;;
      --build) bench_do_build=1; shift ;;
      -h | --help) bench_usage ;;
      -*)
        if [[ " ${bench_value_options:-} " == *" $1 "* ]]; then
          [ $# -ge 2 ] || bench_usage
          bench_args+=("$1" "$2"); shift 2
        else
          bench_args+=("$1"); shift
        fi ;;
      *)
        if [ -z "$bench_build" ]; then bench_build=$1; else bench_args+=("$1"); fi
        shift ;;
    esac
  done
  if ! [[ $bench_jobs =~ ^[1-9][0-9]*$ ]]; then
    echo "$(basename "$0"): the job count must be a positive number, not '$bench_jobs'" >&2
    exit 2
  fi
  if [ -z "$bench_build" ]; then
    echo "$(basename "$0"): which build folder? Give an existing one (never the one you work in while it builds)." >&2
    bench_usage
  fi
  if [ ! -f "$bench_build/CMakeCache.txt" ]; then
    echo "$(basename "$0"): $bench_build is not a configured build folder; configure one first, e.g." >&2
    echo "  cmake -S $(cd "$(dirname "$0")/../.." && pwd) -B $bench_build -DCMAKE_BUILD_TYPE=RelWithDebInfo" >&2
    exit 2
  fi
  bench_build=$(cd "$bench_build" && pwd)
}

# bench_parse_repeat DEFAULT — for a script whose one option of its own is --repeat N (runs of
# each tool per file): sets $repeat from bench_args.
bench_parse_repeat() {
  repeat=$1
  set -- "${bench_args[@]+"${bench_args[@]}"}"
  while [ $# -gt 0 ]; do
    case $1 in
      --repeat) [ $# -ge 2 ] || bench_usage; repeat=$2; shift 2 ;;
      *) echo "$(basename "$0"): unknown option $1" >&2; bench_usage ;;
    esac
  done
}

# bench_need TARGET:PATH... — PATH relative to the build folder. Builds the targets with --build;
# otherwise stops with the command that builds the missing ones.
bench_need() {
  local targets=() missing=() t p
  for t in "$@"; do targets+=("${t%%:*}"); done
  if [ "$bench_do_build" = 1 ]; then
    cmake --build "$bench_build" --target "${targets[@]}" -j"$bench_jobs" >/dev/null
  fi
  for t in "$@"; do
    p=${t#*:}
    [ -e "$bench_build/$p" ] || missing+=("${t%%:*}")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "$(basename "$0"): not built in $bench_build: ${missing[*]}. Build them with" >&2
    echo "  cmake --build $bench_build --target ${missing[*]} -j$bench_jobs" >&2
    echo "or run this script with --build." >&2
    exit 2
  fi
  local type
  type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$bench_build/CMakeCache.txt")
  echo "build folder: $bench_build (${type:-no build type})"
}
