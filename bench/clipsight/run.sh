#!/usr/bin/env bash
# Media component benchmark: parse time and bytes read per Matroska fixture and for two large
# (1 GB, sparse) files made in a temporary folder: one with a complete SeekHead, one whose
# SeekHead lists no Cluster (as ffmpeg writes it), so the scan walks 1 MiB Clusters to the end.
# ffprobe and mediainfo run on the same files in turn with ours (ours, ffprobe, mediainfo,
# ours, ...); their median wall times are shown as ratios to ours. Then runs run-ts-mp4.sh.
#   bench/clipsight/run.sh [-j JOBS] [--build] [--repeat N] BUILD_DIR
#     BUILD_DIR   an existing build folder with clipsight_bench built (any configuration)
#     --repeat N  runs of each tool per file (default 5)
#     --build     build clipsight_bench there first, with JOBS jobs (default: all cores)
# Needs python3; ffprobe and mediainfo are optional.
set -euo pipefail
cd "$(dirname "$0")/../.."
. bench/clipsight/host.sh

scratch_dir tmp
source=tests/data/media/mkv-h264-aac.mkv
python3 bench/clipsight/make_large_mkv.py "$source" "$tmp/large-complete-seekhead.mkv" \
  --size-mb 1040 --cluster-mb 64
python3 bench/clipsight/make_large_mkv.py "$source" "$tmp/large-walked-clusters.mkv" \
  --size-mb 1040 --cluster-mb 1 --no-cluster-entry

python3 bench/clipsight/run.py "$host" "$repeat" tests/data/media/mkv-*.mkv "$tmp"/large-*.mkv

# The bound: kilobytes with a complete SeekHead, about one buffer per Cluster walked otherwise.
check_bytes_read "$tmp/large-complete-seekhead.mkv" $((64 << 10))
check_bytes_read "$tmp/large-walked-clusters.mkv" $((4 << 20))
scratch_remove "$tmp"  # 2 GB of sparse files, before the next part makes its own

# The transport stream and MP4 part (already built above).
bench/clipsight/run-ts-mp4.sh -j"$bench_jobs" --repeat "$repeat" "$bench_build"
