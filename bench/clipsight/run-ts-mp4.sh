#!/usr/bin/env bash
# Media component benchmark, transport stream and MP4 part: parse time and bytes read per
# TS/MP4 fixture and for three large files made in a temporary folder and deleted afterwards:
# a 1 GB transport stream of repeated packets (its streams settle at once), the same with its
# AC-3 stream's packets only at the very end (the PES scan reads the first 16 MiB, then jumps
# to the last 16 MiB), and a 1 GB MP4 (sparse media data) with its moov at the end. ffprobe and
# mediainfo run on the same files in turn with ours; their median wall times are shown as
# ratios to ours.
#   bench/clipsight/run-ts-mp4.sh [-j JOBS] [--build] [--repeat N] BUILD_DIR
#     BUILD_DIR   an existing build folder with clipsight_bench built (any configuration)
#     --repeat N  runs of each tool per file (default 5)
#     --build     build clipsight_bench there first, with JOBS jobs (default: all cores)
# Needs python3; ffprobe and mediainfo are optional.
set -euo pipefail
cd "$(dirname "$0")/../.."
. bench/clipsight/host.sh

scratch_dir tmp
media=tests/data/media
python3 bench/clipsight/make_large_ts_mp4.py ts "$media/ts-h264-aac.ts" "$tmp/large-repeated.ts"
python3 bench/clipsight/make_large_ts_mp4.py ts "$media/ts-h264-ac3.ts" "$tmp/large-late-audio.ts" \
  --late-pid 0x101
python3 bench/clipsight/make_large_ts_mp4.py mp4 "$media/mp4-h264-aac.mp4" "$tmp/large-moov-at-end.mp4"

python3 bench/clipsight/run.py "$host" "$repeat" \
  "$media"/ts-*.ts "$media"/m2ts-*.m2ts "$media"/mp4-*.mp4 "$media"/mov-*.mov "$tmp"/large-*

# The transport stream bound: the first 16 MiB, then the last 16 MiB at most (plus a chunk).
for f in "$tmp"/large-*.ts; do check_bytes_read "$f" $(( (32 << 20) + 4 * 38400 )); done
