#!/usr/bin/env python3
"""Times the media component's parse against ffprobe and mediainfo on the same files.

Each tool runs as its own process per file (process start included for all three). The tools
take turns, ours, ffprobe, mediainfo, ours, ... REPEAT rounds per file, so that a slow moment of
the machine falls on all of them alike; the median wall time is reported with the bytes our
parser read and the ratios.
usage: run.py BENCH_HOST REPEAT FILE...
"""
import os
import re
import shutil
import statistics
import subprocess
import sys
import time


def wall(cmd):
    t = time.perf_counter()
    p = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    return (time.perf_counter() - t) * 1000, p.stdout


def main():
    host, repeat, files = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
    peers = [(name, shutil.which(name)) for name in ('ffprobe', 'mediainfo')]
    print(f'{"file":34} {"size":>10} {"read":>9} {"parse_us":>9} {"ours_ms":>8} '
          f'{"ffprobe_ms":>10} {"ratio":>6} {"mediainfo_ms":>12} {"ratio":>6}')
    for f in files:
        commands = {'ours': [host, '--quiet', f]}
        for name, path in peers:
            if path:
                commands[name] = ([path, '-v', 'error', '-show_format', '-show_streams', f]
                                  if name == 'ffprobe' else [path, f])
        times = {name: [] for name in commands}
        out = ''
        for _ in range(repeat):
            for name, cmd in commands.items():
                ms, text = wall(cmd)
                times[name].append(ms)
                if name == 'ours':
                    out = text
        ours = statistics.median(times['ours'])
        m = re.search(r'result=(-?\d+) parse_us=([\d.]+) bytes_read=(\d+)', out)
        result, parse_us, read = (m.group(1), float(m.group(2)), int(m.group(3))) if m else ('?', 0, 0)
        row = f'{os.path.basename(f):34} {os.path.getsize(f):>10} {read:>9} {parse_us:>9.0f} {ours:>8.2f}'
        for name, width in (('ffprobe', 10), ('mediainfo', 12)):
            if name in times:
                ms = statistics.median(times[name])
                row += f' {ms:>{width}.2f} {ms / ours:>6.1f}'
            else:
                row += f' {"n/a":>{width}} {"":>6}'
        if result != '1':
            row += f'  (result {result})'
        print(row, flush=True)
    print('read = bytes our parser read from the file; ratio = that tool\'s time / ours '
          '(median of %d rounds, tools in turn, warm page cache)' % repeat)


if __name__ == '__main__':
    main()
