#!/usr/bin/env bash
# Cut pictures: every picture of a corpus cut off at several points, each cut copy through one
# build's picture decoder as Folipress starts it (probe, then decode into a new file), every
# start timed. A cut copy should be refused; one that converts should make the whole picture's
# bitmap (the cut took only bytes the picture does not need): a different one is a page whose
# missing part the decoder filled in.
#   bench/folipress/cut-pictures.sh [-j JOBS] [--build] [--cuts N] BUILD CORPUS_DIR
#     BUILD       an existing build folder with folipress-decoder built
#     CORPUS_DIR  the pictures (its files; not its subfolders), e.g. from tools/make-picture-corpus.py
#     --cuts N    cuts spread over each file (default 5); besides them a tenth of the file (in
#                 most pictures the header alone) and the file less its last byte
#     -j JOBS     starts at once, and jobs for --build (default: all cores)
#     --build     build folipress-decoder there first
# Reports each cut copy that made a bitmap, the same as the whole picture's or DIFFERENT, the
# slowest start, and by format: cut copies, refused, converted-same, converted-different. Exit
# status 1 when a cut copy converted to a different bitmap or a start took over 10 s. Cut copies
# and bitmaps are made in a temporary folder; build and corpus are only read.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
bench_value_options="--cuts"
. bench/common.sh
bench_parse "$@"
cuts=5 corpus=""
set -- "${bench_args[@]+"${bench_args[@]}"}"
while [ $# -gt 0 ]; do
  case $1 in
    --cuts) cuts=$2; shift 2 ;;
    -*) echo "cut-pictures.sh: unknown option $1" >&2; bench_usage ;;
    *) [ -z "$corpus" ] || bench_usage; corpus=$1; shift ;;
  esac
done
[ -n "$corpus" ] || bench_usage
[[ $cuts =~ ^[1-9][0-9]*$ ]] || { echo "cut-pictures.sh: '$cuts' is not a positive number" >&2; exit 2; }
[ -d "$corpus" ] || { echo "cut-pictures.sh: no folder $corpus" >&2; exit 2; }
bench_need folipress-decoder:Lumidoc/folipress-decoder

scratch_dir work
started=$(date +%s.%N)
status=0
python3 bench/folipress/decoder-starts.py cuts "$bench_jobs" "$cuts" "$bench_build/Lumidoc/folipress-decoder" \
  "$corpus" "$work" || status=$?
[ "$status" -le 1 ] || exit "$status"
echo "all starts: $(awk -v a="$started" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }') s"
exit "$status"
