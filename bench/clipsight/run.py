#!/usr/bin/env python3
"""Times the media component's parse against ffprobe and mediainfo on the same files.

Each tool runs as its own process per file (process start included for all three), REPEAT
times; the median wall time is reported with the bytes our parser read and the ratios.
usage: run.py BENCH_HOST REPEAT FILE...
"""
import os
import re
import shutil
import statistics
import subprocess
import sys
import time


def wall(cmd, repeat):
    times = []
    out = ''
    for _ in range(repeat):
        t = time.perf_counter()
        p = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        times.append(time.perf_counter() - t)
        out = p.stdout
    return statistics.median(times) * 1000, out


def main():
    host, repeat, files = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
    ffprobe = shutil.which('ffprobe')
    mediainfo = shutil.which('mediainfo')
    print(f'{"file":34} {"size":>10} {"read":>9} {"parse_us":>9} {"ours_ms":>8} '
          f'{"ffprobe_ms":>10} {"ratio":>6} {"mediainfo_ms":>12} {"ratio":>6}')
    for f in files:
        ours, out = wall([host, '--quiet', f], repeat)
        m = re.search(r'result=(-?\d+) parse_us=([\d.]+) bytes_read=(\d+)', out)
        result, parse_us, read = (m.group(1), float(m.group(2)), int(m.group(3))) if m else ('?', 0, 0)
        row = f'{os.path.basename(f):34} {os.path.getsize(f):>10} {read:>9} {parse_us:>9.0f} {ours:>8.2f}'
        for tool, cmd in ((ffprobe, [ffprobe, '-v', 'error', '-show_format', '-show_streams', f]),
                          (mediainfo, [mediainfo, f])):
            if tool:
                ms, _ = wall(cmd, repeat)
                row += f' {ms:>10.2f} {ms / ours:>6.1f}' if tool == ffprobe else f' {ms:>12.2f} {ms / ours:>6.1f}'
            else:
                row += f' {"n/a":>10} {"":>6}' if tool == ffprobe else f' {"n/a":>12} {"":>6}'
        if result != '1':
            row += f'  (result {result})'
        print(row, flush=True)
    print('read = bytes our parser read from the file; ratio = that tool\'s time / ours '
          '(median of %d runs, warm page cache)' % repeat)


if __name__ == '__main__':
    main()
