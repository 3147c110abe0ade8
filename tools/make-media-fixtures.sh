#!/usr/bin/env bash
# Regenerates the Matroska and WebM fixtures under tests/data/media/.
# Needs ffmpeg (apt-get install -y ffmpeg); not part of the normal setup.
# The transport stream and MP4 fixtures come from tools/make-media-fixtures-ts-mp4.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
out=tests/data/media
mkdir -p "$out"
ff=(ffmpeg -hide_banner -loglevel error -y -bitexact)

# Plain colour pictures and a sine tone keep the files tiny.
vsrc() { echo "color=c=0x3060a0:size=$1:rate=$2:duration=$3"; }
asrc() { echo "sine=frequency=440:sample_rate=$1:duration=$2"; }
x264=(-c:v libx264 -preset ultrafast -pix_fmt yuv420p -b:v 40k)

# H.264 320x240 at 25 fps + AAC 48 kHz stereo, 2 s.
"${ff[@]}" -f lavfi -i "$(vsrc 320x240 25 2)" -f lavfi -i "$(asrc 48000 2)" \
  "${x264[@]}" -c:a aac -b:a 32k -ac 2 "$out/mkv-h264-aac.mkv"

# MPEG-2 352x288 at 29.97 fps + AC-3 48 kHz 5.1, 1 s.
"${ff[@]}" -f lavfi -i "$(vsrc 352x288 30000/1001 1)" -f lavfi -i "$(asrc 48000 1)" \
  -c:v mpeg2video -b:v 200k -c:a ac3 -b:a 192k -ac 6 "$out/mkv-mpeg2-ac3.mkv"

# H.264 640x360 at 50 fps + E-AC-3 44.1 kHz stereo, 1 s.
"${ff[@]}" -f lavfi -i "$(vsrc 640x360 50 1)" -f lavfi -i "$(asrc 44100 1)" \
  "${x264[@]}" -c:a eac3 -b:a 96k -ac 2 "$out/mkv-h264-eac3.mkv"

# DTS 48 kHz stereo only, 1 s (the DTS encoder is experimental).
"${ff[@]}" -f lavfi -i "$(asrc 48000 1)" -c:a dca -strict -2 -b:a 320k -ac 2 \
  "$out/mkv-dts.mkv"

# H.264 176x144 at 23.976 fps + MP3 22.05 kHz mono, 3 s.
"${ff[@]}" -f lavfi -i "$(vsrc 176x144 24000/1001 3)" -f lavfi -i "$(asrc 22050 3)" \
  "${x264[@]}" -c:a libmp3lame -b:a 32k -ac 1 "$out/mkv-h264-mp3.mkv"

# MPEG-4 part 2 1280x720 at 25 fps, one frame: a large picture, no audio.
"${ff[@]}" -f lavfi -i "$(vsrc 1280x720 25 0.04)" -c:v mpeg4 -q:v 31 "$out/mkv-mpeg4-720p.mkv"

# H.264 + AAC mono + a SubRip subtitle track, 1 s.
. tools/scratch.sh
scratch_file srt .srt
printf '1\n00:00:00,000 --> 00:00:00,900\nHello\n' >"$srt"
"${ff[@]}" -f lavfi -i "$(vsrc 160x120 25 1)" -f lavfi -i "$(asrc 32000 1)" -i "$srt" \
  -map 0 -map 1 -map 2 "${x264[@]}" -c:a aac -b:a 24k -ac 1 -c:s srt \
  "$out/mkv-subtitle.mkv"

# A subtitle track alone.
"${ff[@]}" -i "$srt" -c:s srt "$out/mkv-subtitle-only.mkv"

# WebM: VP8 + Vorbis (its DocType is "webm").
"${ff[@]}" -f lavfi -i "$(vsrc 160x120 25 1)" -f lavfi -i "$(asrc 48000 1)" \
  -c:v libvpx -b:v 50k -c:a libvorbis -ac 2 "$out/webm-vp8-vorbis.webm"

ls -l "$out"/mkv-* "$out"/webm-*

# Raw video elementary streams, one picture each, for the header decoders.
es() { "${ff[@]}" -f lavfi -i "$(vsrc "$1" 25 0.04)" -frames:v 1 "${@:2}"; }
es 320x180 -c:v libx264 -preset ultrafast -pix_fmt yuv420p "$out/es-h264-320x180.h264"
es 352x288 -c:v libx264 -preset ultrafast -pix_fmt yuv420p -flags +ildct+ilme -x264-params interlaced=1 \
  "$out/es-h264-interlaced-352x288.h264"
es 176x100 -c:v libx264 -preset ultrafast -pix_fmt yuv444p "$out/es-h264-444-176x100.h264"
es 200x120 -c:v libx264 -preset ultrafast -pix_fmt yuv420p10le "$out/es-h264-10bit-200x120.h264"
es 720x576 -c:v mpeg2video -b:v 500k "$out/es-mpeg2-720x576.m2v"
es 352x240 -c:v mpeg1video -b:v 300k "$out/es-mpeg1-352x240.m1v"
ls -l "$out"/es-*
