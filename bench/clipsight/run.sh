#!/usr/bin/env bash
# Media component benchmark: parse time and bytes read per Matroska fixture and for two large
# (1 GB, sparse) files made here: one with a complete SeekHead, one whose SeekHead lists no
# Cluster (as ffmpeg writes it), so the scan walks 1 MiB Clusters to the end. ffprobe's and
# mediainfo's wall times on the same files are shown as ratios to ours.
#   bench/clipsight/run.sh [REPEAT]      (default 5; needs python3; ffprobe/mediainfo optional)
set -euo pipefail
cd "$(dirname "$0")/../.."
repeat=${1:-5}
build=${CLIPSIGHT_BENCH_BUILD:-build-bench}
cmake -S . -B "$build" -DLUMIDOC_GUI=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target clipsight_bench -j"$(nproc)" >/dev/null

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
source=tests/data/media/mkv-h264-aac.mkv
python3 bench/clipsight/make_large_mkv.py "$source" "$tmp/large-complete-seekhead.mkv" \
  --size-mb 1040 --cluster-mb 64
python3 bench/clipsight/make_large_mkv.py "$source" "$tmp/large-walked-clusters.mkv" \
  --size-mb 1040 --cluster-mb 1 --no-cluster-entry

python3 bench/clipsight/run.py "$build/bench/clipsight/clipsight_bench" "$repeat" \
  tests/data/media/mkv-*.mkv "$tmp"/large-*.mkv

# The bound: kilobytes with a complete SeekHead, about one buffer per Cluster walked otherwise.
check() {
  local file=$1 limit=$2 read
  read=$("$build/bench/clipsight/clipsight_bench" --quiet "$file" | grep -Eo 'bytes_read=[0-9]+' | cut -d= -f2)
  if [ "$read" -le "$limit" ]; then
    echo "$(basename "$file"): read $read bytes (bound $limit)"
  else
    echo "$(basename "$file"): read $read bytes, OVER the bound $limit" >&2
    exit 1
  fi
}
check "$tmp/large-complete-seekhead.mkv" $((64 << 10))
check "$tmp/large-walked-clusters.mkv" $((4 << 20))
rm -f "$tmp"/large-*.mkv

# The transport stream and MP4 part.
if [ -x bench/clipsight/run-ts-mp4.sh ]; then
  bench/clipsight/run-ts-mp4.sh "$repeat"
fi
