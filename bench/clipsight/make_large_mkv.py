#!/usr/bin/env python3
"""Makes a large Matroska file from a small one: its EBML header, Info, Tracks and real
Clusters, then sparse filler Clusters (a Timecode and a Void of zeros each) up to the wanted
size, then Cues; a new SeekHead in front lists Info, Tracks and Cues, and the first Cluster
too unless --no-cluster-entry is given (as ffmpeg writes it, so a reader walks the Clusters).

usage: make_large_mkv.py SOURCE.mkv OUT.mkv [--size-mb N] [--cluster-mb N] [--no-cluster-entry]
"""
import argparse
import struct

ID_SEGMENT, ID_SEEKHEAD, ID_INFO, ID_TRACKS = 0x18538067, 0x114D9B74, 0x1549A966, 0x1654AE6B
ID_CUES, ID_CLUSTER, ID_TAGS = 0x1C53BB6B, 0x1F43B675, 0x1254C367


def read_id(b, i):
    first = b[i]
    n = 1
    while n <= 4 and not first & (0x80 >> (n - 1)):
        n += 1
    return int.from_bytes(b[i:i + n], 'big'), i + n


def read_size(b, i):
    first = b[i]
    n = 1
    while n <= 8 and not first & (0x80 >> (n - 1)):
        n += 1
    v = first & (0xFF >> n)
    for k in range(1, n):
        v = (v << 8) | b[i + k]
    return v, i + n


def enc_id(v):
    return v.to_bytes((v.bit_length() + 7) // 8, 'big')


def enc_size(v, width=8):
    return (v | (1 << (7 * width))).to_bytes(width, 'big')


def element(eid, payload, width=8):
    return enc_id(eid) + enc_size(len(payload), width) + payload


def uint_el(eid, v, width=8):
    return element(eid, v.to_bytes(width, 'big'), 1)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('source')
    ap.add_argument('out')
    ap.add_argument('--size-mb', type=int, default=1040)
    ap.add_argument('--cluster-mb', type=int, default=64)
    ap.add_argument('--no-cluster-entry', action='store_true')
    a = ap.parse_args()
    src = open(a.source, 'rb').read()

    # Split the source: EBML header, then the Segment's level-1 elements.
    _, i = read_id(src, 0)
    size, i = read_size(src, i)
    ebml = src[:i + size]
    i += size
    sid, i = read_id(src, i)
    assert sid == ID_SEGMENT
    seg_size, i = read_size(src, i)
    end = min(len(src), i + seg_size)
    parts = {}
    clusters = b''
    while i < end:
        start = i
        eid, i = read_id(src, i)
        size, i = read_size(src, i)
        i += size
        if eid == ID_CLUSTER:
            clusters += src[start:i]
        elif eid in (ID_INFO, ID_TRACKS):
            parts[eid] = src[start:i]

    # Level-1 layout (positions relative to the Segment's data).
    def seek_entry(eid, pos):
        return element(0x4DBB, element(0x53AB, enc_id(eid), 1) + uint_el(0x53AC, pos), 1)

    entries = [ID_INFO, ID_TRACKS, ID_CUES] + ([] if a.no_cluster_entry else [ID_CLUSTER])
    seekhead_len = len(element(ID_SEEKHEAD, b''.join(seek_entry(e, 0) for e in entries)))
    info_at = seekhead_len
    tracks_at = info_at + len(parts[ID_INFO])
    clusters_at = tracks_at + len(parts[ID_TRACKS])
    filler_at = clusters_at + len(clusters)
    cluster_bytes = a.cluster_mb << 20
    count = max(1, ((a.size_mb << 20) - filler_at) // cluster_bytes)
    cues_at = filler_at + count * cluster_bytes
    pos = {ID_INFO: info_at, ID_TRACKS: tracks_at, ID_CUES: cues_at, ID_CLUSTER: clusters_at}
    seekhead = element(ID_SEEKHEAD, b''.join(seek_entry(e, pos[e]) for e in entries))
    assert len(seekhead) == seekhead_len
    cue_point = element(0xBB, uint_el(0xB3, 0) + element(
        0xB7, uint_el(0xF7, 1) + uint_el(0xF1, clusters_at), 1), 1)
    cues = element(ID_CUES, cue_point)
    seg_len = cues_at + len(cues)

    with open(a.out, 'wb') as f:
        f.write(ebml + enc_id(ID_SEGMENT) + enc_size(seg_len))
        f.write(seekhead + parts[ID_INFO] + parts[ID_TRACKS] + clusters)
        timecode = 10000
        for _ in range(count):
            head = enc_id(ID_CLUSTER) + enc_size(cluster_bytes - 12)
            tc = uint_el(0xE7, timecode, 4)
            void_len = cluster_bytes - len(head) - len(tc) - 9
            f.write(head + tc + b'\xEC' + enc_size(void_len))
            f.seek(void_len, 1)  # a hole: the Void's zeros take no disk space
            timecode += 1000
        f.write(cues)
    print(f'{a.out}: {seg_len >> 20} MiB, {count} filler clusters of {a.cluster_mb} MiB')


if __name__ == '__main__':
    main()
