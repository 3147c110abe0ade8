#!/usr/bin/env python3
"""Makes the large transport stream and MP4 files of the TS/MP4 benchmark from small fixtures.

ts:   the fixture's packets repeated up to the wanted size (real data: a transport stream
      cannot be sparse). With --late-pid, that PID's packets are left out of every copy but
      the last, so the stream is settled only by the file's tail.
mp4:  ftyp, free, then the fixture's mdat grown with sparse zeros to the wanted size (its media
      data keeps its offsets), then the moov at the end.

usage: make_large_ts_mp4.py ts SOURCE.ts OUT.ts [--size-mb N] [--late-pid PID]
       make_large_ts_mp4.py mp4 SOURCE.mp4 OUT.mp4 [--size-mb N]
"""
import argparse
import struct


def large_ts(source, out, size, late_pid):
    data = open(source, 'rb').read()
    first = data.index(b'\x47')
    step = 192 if first == 4 else 188
    packets = [data[i:i + step] for i in range(0, len(data) - step + 1, step)]

    def pid(p):
        s = p[first:]
        return ((s[1] & 0x1F) << 8) | s[2]

    body = b''.join(p for p in packets if late_pid is None or pid(p) != late_pid)
    whole = b''.join(packets)
    copies = max(1, (size - len(whole)) // len(body))
    chunk = body * max(1, (8 << 20) // len(body))
    written = 0
    with open(out, 'wb') as f:
        remaining = copies
        per_chunk = len(chunk) // len(body)
        while remaining > 0:
            n = min(remaining, per_chunk)
            f.write(chunk if n == per_chunk else body * n)
            remaining -= n
            written += n * len(body)
        f.write(whole)
    return written + len(whole)


def large_mp4(source, out, size):
    data = open(source, 'rb').read()
    atoms, pos = [], 0
    while pos + 8 <= len(data):
        n, kind = struct.unpack('>I4s', data[pos:pos + 8])
        atoms.append((kind, data[pos:pos + n]))
        pos += n
    head = b''.join(b for k, b in atoms if k in (b'ftyp', b'free', b'wide'))
    mdat = next(b for k, b in atoms if k == b'mdat')
    moov = next(b for k, b in atoms if k == b'moov')
    mdat_size = size - len(head) - len(moov)
    assert mdat_size < 1 << 32, 'keep the mdat under 4 GiB (32-bit atom size)'
    with open(out, 'wb') as f:
        f.write(head)
        f.write(struct.pack('>I4s', mdat_size, b'mdat'))
        f.write(mdat[8:])
        f.seek(len(head) + mdat_size)  # the rest of the mdat stays a hole
        f.write(moov)
    return len(head) + mdat_size + len(moov)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('kind', choices=['ts', 'mp4'])
    ap.add_argument('source')
    ap.add_argument('out')
    ap.add_argument('--size-mb', type=int, default=1040)
    ap.add_argument('--late-pid', type=lambda s: int(s, 0))
    a = ap.parse_args()
    size = a.size_mb << 20
    n = large_ts(a.source, a.out, size, a.late_pid) if a.kind == 'ts' else large_mp4(a.source, a.out, size)
    print(f'{a.out}: {n} bytes')


if __name__ == '__main__':
    main()
