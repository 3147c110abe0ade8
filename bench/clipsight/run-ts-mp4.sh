#!/usr/bin/env bash
# Media component benchmark, transport stream and MP4 part: parse time and bytes read per
# TS/MP4 fixture and for three large files made here and deleted afterwards: a 1 GB transport
# stream of repeated packets (its streams settle at once), the same with its AC-3 stream's
# packets only at the very end (the PES scan reads the first 16 MiB, then jumps to the last
# 16 MiB), and a 1 GB MP4 (sparse media data) with its moov at the end. ffprobe's and
# mediainfo's wall times on the same files are shown as ratios to ours.
#   bench/clipsight/run-ts-mp4.sh [REPEAT]   (default 5; needs python3; ffprobe/mediainfo optional)
set -euo pipefail
cd "$(dirname "$0")/../.."
repeat=${1:-5}
build=${CLIPSIGHT_BENCH_BUILD:-build-bench}
cmake -S . -B "$build" -DLUMIDOC_GUI=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target clipsight_bench -j"$(nproc)" >/dev/null

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
media=tests/data/media
python3 bench/clipsight/make_large_ts_mp4.py ts "$media/ts-h264-aac.ts" "$tmp/large-repeated.ts"
python3 bench/clipsight/make_large_ts_mp4.py ts "$media/ts-h264-ac3.ts" "$tmp/large-late-audio.ts" \
  --late-pid 0x101
python3 bench/clipsight/make_large_ts_mp4.py mp4 "$media/mp4-h264-aac.mp4" "$tmp/large-moov-at-end.mp4"

python3 bench/clipsight/run.py "$build/bench/clipsight/clipsight_bench" "$repeat" \
  "$media"/ts-*.ts "$media"/m2ts-*.m2ts "$media"/mp4-*.mp4 "$media"/mov-*.mov "$tmp"/large-*

# The transport stream bound: the first 16 MiB, then the last 16 MiB at most (plus a chunk).
for f in "$tmp"/large-*.ts; do
  read=$("$build/bench/clipsight/clipsight_bench" --quiet "$f" | grep -Eo 'bytes_read=[0-9]+' | cut -d= -f2)
  limit=$(( (32 << 20) + 4 * 38400 ))
  if [ "$read" -le "$limit" ]; then
    echo "$(basename "$f"): read $read bytes, within the 16 MiB + 16 MiB bound"
  else
    echo "$(basename "$f"): read $read bytes, OVER the 16 MiB + 16 MiB bound" >&2
    exit 1
  fi
done
