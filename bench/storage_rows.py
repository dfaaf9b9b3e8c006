"""The rows the slow-storage benchmarks time on one tree (Vardel, the floor program on one
process and on one per folder at once, mid3v2), their timing, and their table."""
import os
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../tests/support"))
import mp3  # noqa: E402

VARDEL_ROW = "vardel --no-dialog"
PEER_ROW = "mid3v2 -D"
ONE_FLOOR_ROW = "floor, one process"


def parallel_row(folders):
    return "floor, %d processes in parallel" % folders


def rows(build, folders):
    """{row: command maker, given the tree's root}."""
    vardel = os.path.join(build, "vardel")
    floor = os.path.join(build, "bench", "bench_floor")
    parallel = 'ls -d "$1"/*/ | xargs -P %d -n 1 %s >/dev/null' % (folders, floor)
    mid = 'find "$1" -name "*.mp3" -print0 | xargs -0 mid3v2 -D >/dev/null'
    return {VARDEL_ROW: lambda root: [vardel, "--no-dialog", root],
            ONE_FLOOR_ROW: lambda root: [floor, root],
            parallel_row(folders): lambda root: ["sh", "-c", parallel, "sh", root],
            PEER_ROW: lambda root: ["sh", "-c", mid, "sh", root]}


def timed(command):
    """Seconds the whole command took."""
    started = time.perf_counter()
    subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.perf_counter() - started


def measure(rows, runs, ready):
    """{row: (median seconds, files still tagged)}, the rows in turn in each run so that drift
    touches them alike; ready(command) makes a fresh tree ready and yields (run in, count in)."""
    times, left = {name: [] for name in rows}, {}
    for _ in range(runs):
        for name, command in rows.items():
            with ready(command) as (root, tree):
                times[name].append(timed(command(root)))
            left[name] = mp3.count_tagged(tree)
    return {name: (statistics.median(times[name]), left[name]) for name in rows}


def print_header(first):
    print("| %s | tree | row | seconds | × parallel floor | mid3v2 / row | still tagged |" % first)
    print("|---|---|---|---|---|---|---|")


def print_rows(first, kind, folders, figures):
    """figures: {row: (median seconds, still tagged)}."""
    floor, mid = figures[parallel_row(folders)][0], figures[PEER_ROW][0]
    for name, (seconds, left) in figures.items():
        print("| %s | %s | %s | %.3f | %.2f | %.2f | %d |" % (
            first, kind, name, seconds, seconds / floor, mid / seconds, left), flush=True)
