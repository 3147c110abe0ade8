#!/usr/bin/env bash
# Regenerates the transport stream and MP4/QuickTime fixtures under tests/data/media/.
# Needs ffmpeg (apt-get install -y ffmpeg) and python3; not part of the normal setup.
set -euo pipefail
cd "$(dirname "$0")/.."
out=tests/data/media
mkdir -p "$out"
ff=(ffmpeg -hide_banner -loglevel error -y -bitexact)
. tools/scratch.sh
scratch_dir tmp

vsrc() { echo "testsrc=size=$1:rate=25:duration=$2"; }
asrc() { echo "sine=frequency=440:sample_rate=$1:duration=$2"; }
x264=(-c:v libx264 -preset ultrafast -tune zerolatency -pix_fmt yuv420p -b:v 60k -g 25)

# MPEG-2 video 352x288 + MPEG-1 layer II audio.
"${ff[@]}" -f lavfi -i "$(vsrc 352x288 1)" -f lavfi -i "$(asrc 48000 1)" \
  -c:v mpeg2video -b:v 100k -c:a mp2 -b:a 64k -ac 2 "$out/ts-mpeg2-mp2.ts"

# H.264 320x180 (coded 320x192, cropped) + AAC 44.1 kHz mono.
"${ff[@]}" -f lavfi -i "$(vsrc 320x180 1)" -f lavfi -i "$(asrc 44100 1)" \
  "${x264[@]}" -c:a aac -b:a 32k -ac 1 "$out/ts-h264-aac.ts"

# H.264 640x360 + AC-3 48 kHz stereo.
"${ff[@]}" -f lavfi -i "$(vsrc 640x360 1)" -f lavfi -i "$(asrc 48000 1)" \
  "${x264[@]}" -c:a ac3 -b:a 96k -ac 2 "$out/ts-h264-ac3.ts"

# E-AC-3 only.
"${ff[@]}" -f lavfi -i "$(asrc 48000 1)" -c:a eac3 -b:a 96k -ac 2 "$out/ts-eac3.ts"

# M2TS (192-byte packets, HDMV registration): H.264 176x144 + DTS.
"${ff[@]}" -f lavfi -i "$(vsrc 176x144 0.4)" -f lavfi -i "$(asrc 48000 0.4)" \
  "${x264[@]}" -c:a dca -strict -2 -b:a 768k -ac 2 -f mpegts -mpegts_m2ts_mode 1 "$out/m2ts-h264-dts.m2ts"

# MPEG-1 video 160x120 only.
"${ff[@]}" -f lavfi -i "$(vsrc 160x120 1)" -c:v mpeg1video -b:v 100k "$out/ts-mpeg1.ts"

# Two programs: MPEG-2 + MP2, and H.264 + AAC.
"${ff[@]}" -f lavfi -i "$(vsrc 352x288 1)" -f lavfi -i "$(asrc 48000 1)" \
  -f lavfi -i "$(vsrc 320x240 1)" -f lavfi -i "$(asrc 44100 1)" \
  -map 0:v -map 1:a -map 2:v -map 3:a \
  -c:v:0 mpeg2video -b:v:0 80k -c:a:0 mp2 -b:a:0 64k \
  -c:v:1 libx264 -preset ultrafast -pix_fmt yuv420p -b:v:1 60k -c:a:1 aac -b:a:1 32k \
  -program title=One:st=0:st=1 -program title=Two:st=2:st=3 "$out/ts-two-programs.ts"

# MP4 as ffmpeg lays it out: ftyp, free (8 bytes), mdat, moov. H.264 320x240 + AAC, 2 s.
"${ff[@]}" -f lavfi -i "$(vsrc 320x240 2)" -f lavfi -i "$(asrc 44100 2)" \
  "${x264[@]}" -b:v 30k -c:a aac -b:a 24k -ac 1 "$out/mp4-h264-aac.mp4"

# The same with the movie header first (ftyp, moov, free, mdat).
"${ff[@]}" -i "$out/mp4-h264-aac.mp4" -c copy -movflags +faststart "$out/mp4-faststart.mp4"

# QuickTime: ftyp, wide, mdat, moov. H.264 256x144 + AAC 48 kHz stereo, 3 s.
"${ff[@]}" -f lavfi -i "$(vsrc 256x144 3)" -f lavfi -i "$(asrc 48000 3)" \
  "${x264[@]}" -b:v 20k -c:a aac -b:a 32k -ac 2 "$out/mov-h264-aac.mov"

# QuickTime with its movie header deflated into moov/cmov/dcom/cmvd (moov is last, so no offset moves).
python3 - "$out/mov-h264-aac.mov" "$out/mov-cmov.mov" <<'PY'
import struct, sys, zlib
data = open(sys.argv[1], 'rb').read()
pos = 0
while pos + 8 <= len(data):
    size, kind = struct.unpack('>I4s', data[pos:pos + 8])
    if kind == b'moov':
        break
    pos += size
else:
    sys.exit('no moov')
moov = data[pos:pos + size]
assert pos + size == len(data), 'moov must be last'
packed = zlib.compress(moov, 9)
dcom = struct.pack('>I4s4s', 12, b'dcom', b'zlib')
cmvd = struct.pack('>I4sI', 12 + len(packed), b'cmvd', len(moov)) + packed
cmov = struct.pack('>I4s', 8 + len(dcom) + len(cmvd), b'cmov') + dcom + cmvd
new_moov = struct.pack('>I4s', 8 + len(cmov), b'moov') + cmov
open(sys.argv[2], 'wb').write(data[:pos] + new_moov)
PY

# A Matroska file, for opening with an MP4 container code.
"${ff[@]}" -f lavfi -i "$(vsrc 160x120 0.2)" "${x264[@]}" "$out/mkv-for-mp4-code.mkv"

ls -l "$out"/ts-* "$out"/m2ts-* "$out"/mp4-* "$out"/mov-* "$out"/mkv-for-mp4-code.mkv
