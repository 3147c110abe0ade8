#!/usr/bin/env python3
"""Starts of the picture decoder on a corpus, for same-pages.sh and cut-pictures.sh (they say
what is measured; this is their engine).
    decoder-starts.py same JOBS OLD_DECODER NEW_DECODER CORPUS WORK [SAMPLE_N SAMPLE_FILE]
    decoder-starts.py cuts JOBS CUTS DECODER CORPUS WORK
Each start is the one Folipress makes (PictureDecoder.cpp, DecoderProcess.cpp): posix_spawn with
the picture as standard input, standard error and every other descriptor closed, default signal
handling, its two environment variables, and this process as PARENT; a watchdog of the caller's
wall time ends it. WORK is a scratch folder for bitmaps and cut copies."""
import collections
import concurrent.futures
import hashlib
import os
import select
import signal
import sys
import time

ENV = {"OMP_NUM_THREADS": "1", "GLIBC_TUNABLES": "glibc.malloc.hugetlb=1"}
PROBE_SECONDS = 2
MAX_PIXELS = 1 << 32  # kMaxPicturePixels; decodeSeconds stops growing there
SLOW_SECONDS = 10


def decode_seconds(w, h):
    return 2 + min(w * h, MAX_PIXELS) // 2_000_000


def wall_seconds(cpu):
    return 2 * cpu + 1


class Start:
    """One start: how it ended and how long it took."""

    def __init__(self, decoder, args, stdin_fd, stdout_fd, limit_s):
        t0 = time.monotonic()
        pid = os.posix_spawn(decoder, ["folipress-decoder"] + args, ENV,
                             file_actions=[(os.POSIX_SPAWN_DUP2, stdin_fd, 0),
                                           (os.POSIX_SPAWN_DUP2, stdout_fd, 1),
                                           (os.POSIX_SPAWN_CLOSE, 2)],
                             setsigmask=(), setsigdef=signal.valid_signals() - {signal.SIGKILL, signal.SIGSTOP})
        watch = os.pidfd_open(pid)
        poll = select.poll()
        poll.register(watch, select.POLLIN)
        self.timed_out = not poll.poll(limit_s * 1000)
        if self.timed_out:
            os.kill(pid, signal.SIGKILL)
        _, status = os.waitpid(pid, 0)
        os.close(watch)
        self.seconds = time.monotonic() - t0
        self.code = os.waitstatus_to_exitcode(status)

    def ok(self):
        return self.code == 0 and not self.timed_out

    def __str__(self):
        if self.timed_out:
            return "timed out"
        return "exit %d" % self.code if self.code >= 0 else signal.Signals(-self.code).name


class Outcome:
    """A picture through one build: probe, then decode when the probe gives a size."""

    def __init__(self, decoder, picture, work):
        ext = picture.rsplit(".", 1)[1] if "." in os.path.basename(picture) else ""
        self.answer, self.bitmap, self.decode, self.starts = "", None, None, []
        # Each step opens the picture anew, as Folipress does: the two share no file offset.
        fd = os.open(picture, os.O_RDONLY | os.O_CLOEXEC)
        r, w = os.pipe()
        try:
            self.probe = Start(decoder, ["probe", str(os.getpid()), ext], fd, w, wall_seconds(PROBE_SECONDS))
        finally:
            os.close(fd)
            os.close(w)
        self.answer = os.read(r, 256).decode(errors="replace").strip()
        os.close(r)
        self.starts.append(("probe", self.probe))
        fields = self.answer.split(" ")
        if not self.probe.ok() or len(fields) != 6 or fields[0] == "-1" or fields[1] != "1":
            return
        w_px, h_px = int(fields[3]), int(fields[4])
        out = os.path.join(work, "%d-%d.bmp" % (os.getpid(), id(self)))
        fd = os.open(picture, os.O_RDONLY | os.O_CLOEXEC)
        o = os.open(out, os.O_WRONLY | os.O_CREAT | os.O_EXCL | os.O_CLOEXEC, 0o600)
        try:
            self.decode = Start(decoder, ["decode", str(os.getpid()), fields[0], fields[3], fields[4]], fd, o,
                                wall_seconds(decode_seconds(w_px, h_px)))
        finally:
            os.close(fd)
            os.close(o)
        self.starts.append(("decode", self.decode))
        if self.decode.ok():
            with open(out, "rb") as f:
                self.bitmap = hashlib.sha256(f.read()).hexdigest()
        os.remove(out)

    def converted(self):
        return self.bitmap is not None

    def status(self):
        if self.decode:
            return "decode %s" % self.decode
        if not self.probe.ok():
            return "probe %s" % self.probe
        return "probe: no format" if self.answer.startswith("-1 ") else "probe: no size"


def pictures(corpus):
    names = sorted(n for n in os.listdir(corpus) if os.path.isfile(os.path.join(corpus, n)))
    if not names:
        print("no pictures in %s" % corpus, file=sys.stderr)
        sys.exit(2)
    return names


def kind(name):
    return name.split("-", 1)[0].split(".", 1)[0].upper()


def slowest(outcomes):
    """(seconds, what) of the slowest start among (label, Outcome) pairs."""
    best = (0.0, "")
    for label, o in outcomes:
        for step, s in o.starts:
            if s.seconds > best[0]:
                best = (s.seconds, "%s, %s" % (label, step))
    return best


def same(jobs, old, new, corpus, work, sample_n=0, sample_file=None):
    names = pictures(corpus)
    with concurrent.futures.ThreadPoolExecutor(jobs) as pool:
        olds = pool.map(lambda n: Outcome(old, os.path.join(corpus, n), work), names)
        news = pool.map(lambda n: Outcome(new, os.path.join(corpus, n), work), names)
        results = list(zip(names, olds, news))
    counts = collections.Counter()
    width = max(len(n) for n in names)
    print("%-*s  %-28s %-28s %-18s %-18s %s" % (width, "picture", "old probe", "new probe", "old", "new", "bitmaps"))
    for name, o, n in results:
        if o.converted() and n.converted():
            verdict = "same" if o.bitmap == n.bitmap else "differ"
        elif o.converted():
            verdict = "refused by new only"
        elif n.converted():
            verdict = "refused by old only"
        else:
            verdict = "refused by both"
        counts[verdict] += 1
        print("%-*s  %-28s %-28s %-18s %-18s %s" % (width, name, o.answer or "-", n.answer or "-", o.status(),
                                                  n.status(), verdict))
    seconds, what = slowest([("old " + n, o) for n, o, _ in results] + [("new " + n, o) for n, _, o in results])
    print()
    print("%d pictures: same %d, differ %d, refused by new only %d, refused by old only %d, refused by both %d" % (
        len(results), counts["same"], counts["differ"], counts["refused by new only"], counts["refused by old only"],
        counts["refused by both"]))
    print("slowest start: %.2f s (%s)" % (seconds, what))
    if sample_n:
        # Round robin over the formats, among the pictures both builds convert.
        by_kind = collections.OrderedDict()
        for name, o, n in results:
            if o.converted() and n.converted():
                by_kind.setdefault(kind(name), []).append(name)
        kinds = list(by_kind)
        # Fewer pictures than formats: formats spread over the alphabet.
        order = [kinds[i * len(kinds) // sample_n] for i in range(sample_n)] if sample_n < len(kinds) else kinds
        chosen = []
        while len(chosen) < sample_n and any(by_kind[k] for k in order):
            for k in order:
                if by_kind[k] and len(chosen) < sample_n:
                    chosen.append(by_kind[k].pop(len(by_kind[k]) // 2))
        with open(sample_file, "w") as f:
            f.write("".join(c + "\n" for c in chosen))
    return 1 if counts["differ"] or counts["refused by new only"] else 0


def cut_points(size, cuts):
    """Lengths of the cut copies: the header alone (a tenth of the file), cuts spread over the
    file, and the file less its last byte."""
    points = {size // 10, size - 1} | {size * k // (cuts + 1) for k in range(1, cuts + 1)}
    return sorted(p for p in points if 0 < p < size)


def cut_outcome(decoder, picture, length, work):
    ext = picture.rsplit(".", 1)[1]
    copy = os.path.join(work, "%d-%d.%s" % (os.getpid(), length, os.path.basename(picture)))
    with open(picture, "rb") as src, open(copy, "wb") as dst:
        dst.write(src.read(length))
    try:
        return Outcome(decoder, copy, work)
    finally:
        os.remove(copy)


def cuts(jobs, cuts_n, decoder, corpus, work):
    names = pictures(corpus)
    with concurrent.futures.ThreadPoolExecutor(jobs) as pool:
        wholes = dict(zip(names, pool.map(lambda n: Outcome(decoder, os.path.join(corpus, n), work), names)))
        tasks = [(n, length, os.path.getsize(os.path.join(corpus, n)))
                 for n in names if wholes[n].converted()
                 for length in cut_points(os.path.getsize(os.path.join(corpus, n)), cuts_n)]
        outcomes = list(pool.map(lambda t: cut_outcome(decoder, os.path.join(corpus, t[0]), t[1], work), tasks))
    for n in names:
        if not wholes[n].converted():
            print("%s: the whole picture does not convert (%s; probe %s): its cuts are left out" % (
                n, wholes[n].status(), wholes[n].answer or "-"))
    table = collections.OrderedDict()
    different = 0
    print("Cut copies that made a bitmap:")
    for (name, length, size), o in zip(tasks, outcomes):
        row = table.setdefault(kind(name), collections.Counter())
        row["cut copies"] += 1
        if not o.converted():
            row["refused"] += 1
            continue
        same_bitmap = o.bitmap == wholes[name].bitmap
        row["same" if same_bitmap else "different"] += 1
        different += not same_bitmap
        print("  %-44s cut at %9d of %9d bytes (%5.1f %%): %s" % (
            name, length, size, 100.0 * length / size, "same" if same_bitmap else "DIFFERENT"))
    seconds, what = slowest([(n, wholes[n]) for n in names] +
                            [("%s cut at %d" % (n, length), o) for (n, length, _), o in zip(tasks, outcomes)])
    print()
    print("slowest start: %.2f s (%s)%s" % (seconds, what, "  OVER %d s" % SLOW_SECONDS if seconds > SLOW_SECONDS else ""))
    print()
    print("%-8s %10s %8s %15s %20s" % ("format", "cut copies", "refused", "converted-same", "converted-different"))
    total = collections.Counter()
    for k in sorted(table):
        row = table[k]
        total.update(row)
        print("%-8s %10d %8d %15d %20d" % (k, row["cut copies"], row["refused"], row["same"], row["different"]))
    print("%-8s %10d %8d %15d %20d" % ("all", total["cut copies"], total["refused"], total["same"], total["different"]))
    return 1 if different or seconds > SLOW_SECONDS else 0


def main():
    # What the decoder gets is only what each start hands it: nothing else of ours is inherited.
    for fd in map(int, os.listdir("/proc/self/fd")):
        if fd > 2:
            try:
                os.set_inheritable(fd, False)
            except OSError:
                pass
    mode, args = sys.argv[1], sys.argv[2:]
    if mode == "same":
        sample = (int(args[5]), args[6]) if len(args) == 7 else ()
        return same(int(args[0]), args[1], args[2], args[3], args[4], *sample)
    if mode == "cuts":
        return cuts(int(args[0]), int(args[1]), args[2], args[3], args[4])
    sys.exit(__doc__)


if __name__ == "__main__":
    try:
        sys.exit(main())
    except Exception:  # status 1 means a page differs: a failure of our own is told apart
        import traceback
        traceback.print_exc()
        sys.exit(3)
