#!/usr/bin/python3
"""Vardel against its floor and peer taggers, as whole processes on generated corpora.

Every row runs on a fresh copy of its corpus (page cache warm), RUNS times; the table shows
the median. The rows of a corpus are paired: each round runs every row once, in turn, so that
the machine's noise falls on all of them alike. Columns: seconds; microseconds per file; ratio to the floor (the same file work
with direct system calls); ratio to the fastest peer tagger; the batch's own overhead per file
for Vardel's rows, (program - start-up - floor) / files; peak RSS of the largest process; and
how many files are still tagged afterwards, so that no row is fast by doing nothing. Then the
start-up table (startup.py), paired against the floor program, and the targets.

usage: table.py BUILD_DIR CORPUS_DIR [RUNS [CORPORA]]
  CORPORA: a comma-separated choice of small, songs, empty, tree, startup (default: all)
"""
import os
import shlex
import shutil
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../tests/support"))
import corpus  # noqa: E402
import idle as dialog_idle  # noqa: E402
import mp3  # noqa: E402
import startup  # noqa: E402

BUILD, CORPORA = sys.argv[1], sys.argv[2]
RUNS = int(sys.argv[3]) if len(sys.argv) > 3 else 3
CHOSEN = (sys.argv[4].split(",") if len(sys.argv) > 4
          else ["small", "songs", "empty", "tree", "startup"])
START_RUNS = 7  # start-up varies more than the rows, and every overhead figure subtracts it
WORK = os.path.join(CORPORA, "run")
VARDEL = os.path.join(BUILD, "vardel")
FLOOR = os.path.join(BUILD, "bench", "bench_floor")
SCAN = os.path.join(BUILD, "bench", "bench_scan")
FILES = {"small": 5000, "songs": 200, "empty": 10000, "tree": 50000}
LABELS = {"small": "(a) 5000 x 130 KB", "songs": "(b) 200 x 8 MB", "empty": "(c) 10,000 empty",
          "tree": "(d) 100,000-entry tree"}
PEERS = {"id3v2 -D": ["id3v2", "-D"], "mid3v2 -D": ["mid3v2", "-D"],
         "eyeD3 --remove-all": ["eyeD3", "--remove-all"]}


def run(command, env=None):
    """Seconds, peak RSS (KiB) and exit code of one whole command, its children included. The
    peak comes from GNU time: a child forked from this Python process would count the
    interpreter's pages it held before its exec."""
    report = os.path.join(WORK, "time.txt")
    started = time.perf_counter()
    code = subprocess.call(["/usr/bin/time", "-f", "%M", "-o", report] + command,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
    elapsed = time.perf_counter() - started
    with open(report) as f:
        peak = int(f.read().split()[-1])
    return elapsed, peak, code


def fresh_copy(name):
    """A copy in the page cache and on disk: the row's truncations must not wait for the
    write-back of the copy itself."""
    target = os.path.join(WORK, name)
    shutil.rmtree(target, ignore_errors=True)
    subprocess.run(["cp", "-a", os.path.join(CORPORA, name), target], check=True)
    os.sync()
    return target


def measure_paired(name, rows):
    """Each row's median seconds, peak RSS and files still tagged over RUNS rounds on fresh
    copies; rows: (row, make_command, env)."""
    runs = {row: {"seconds": [], "rss": [], "codes": set()} for row, _, _ in rows}
    for _ in range(RUNS):
        for row, make_command, env in rows:
            folder = fresh_copy(name)
            elapsed, peak, code = run(make_command(folder), env)
            runs[row]["seconds"].append(elapsed)
            runs[row]["rss"].append(peak)
            runs[row]["codes"].add(code)
            runs[row]["tagged"] = mp3.count_tagged(folder)
            shutil.rmtree(folder)
    return {row: {"seconds": statistics.median(r["seconds"]), "rss": max(r["rss"]),
                  "tagged": r["tagged"], "codes": r["codes"]} for row, r in runs.items()}


def measure(name, make_command, env=None, copy=True, runs=None):
    """Median seconds, peak RSS and files still tagged over RUNS runs on fresh copies."""
    seconds, peaks, left, codes = [], [], "–", set()
    for _ in range(runs or RUNS):
        folder = fresh_copy(name) if copy else os.path.join(CORPORA, name)
        elapsed, peak, code = run(make_command(folder), env)
        seconds.append(elapsed)
        peaks.append(peak)
        codes.add(code)
        if copy:
            left = mp3.count_tagged(folder)
            shutil.rmtree(folder)
    return {"seconds": statistics.median(seconds), "rss": max(peaks), "tagged": left,
            "codes": codes}


def with_xargs(argv):
    return lambda folder: ["sh", "-c", 'find "$1" -name "*.mp3" -print0 | xargs -0 ' +
                           " ".join(argv), "sh", folder]


def environments(display):
    base = {k: v for k, v in os.environ.items()
            if k not in ("DISPLAY", "QT_QPA_PLATFORM", "WAYLAND_DISPLAY")}
    return {"offscreen": dict(base, QT_QPA_PLATFORM="offscreen"),
            "X": dict(base, QT_QPA_PLATFORM="xcb", DISPLAY=display),
            "terminal": dict(base, TERM="xterm"),
            "no dialog": base}


def vardel(mode):
    """The program's command in a mode. On the terminal it runs on a pseudo-terminal of its
    own, made by script(1), whose constant cost the start-up figure takes out like Qt's."""
    if mode == "no dialog":
        return lambda folder: [VARDEL, "--no-dialog", folder]
    if mode != "terminal":
        return lambda folder: [VARDEL, folder]
    return lambda folder: ["script", "-qec", shlex.join([VARDEL, "--terminal", folder]),
                           "/dev/null"]


def measure_all(display):
    rows = []  # (corpus, row, figures)
    envs = environments(display)
    start = {mode: measure("start", vardel(mode), env, copy=False,
                           runs=START_RUNS)["seconds"] for mode, env in envs.items()}
    start["--version"] = measure("start", lambda f: [VARDEL, "--version"], envs["no dialog"],
                                 copy=False, runs=START_RUNS)["seconds"]
    for name in [name for name in ("small", "songs", "empty") if name in CHOSEN]:
        paired = [("vardel (%s)" % mode, vardel(mode), env) for mode, env in envs.items()]
        paired.append(("floor", lambda f: [FLOOR, f], None))
        if name != "empty":
            paired += [(peer, with_xargs(argv), None) for peer, argv in PEERS.items()
                       if shutil.which(argv[0])]
        figures = measure_paired(name, paired)
        for mode in envs:
            figures["vardel (%s)" % mode]["start"] = start[mode]
        for peer in PEERS:
            if peer in figures:
                figures[peer]["peer"] = True
        rows += [(name, row, figures[row]) for row, _, _ in paired]
    if "tree" not in CHOSEN:
        return rows, start
    rows.append(("tree", "vardel scan", measure("tree", lambda f: [SCAN, f], copy=False)))
    rows.append(("tree", "find -iname '*.mp3'",
                 measure("tree", lambda f: ["find", f, "-iname", "*.mp3"], copy=False)))
    for mode in ("offscreen", "no dialog"):
        twice = measure("tree", lambda f, mode=mode: vardel(mode)(f) + [f], envs[mode], copy=False)
        twice["files"] = 2 * FILES["tree"]
        rows.append(("tree", "vardel (%s), 100,000 listed" % mode, twice))
    return rows, start


def derive(rows):
    """Adds the ratios and the overhead per file to each row."""
    for name in FILES:
        mine = [figures for corpus_name, _, figures in rows if corpus_name == name]
        floor = next((f["seconds"] for c, r, f in rows if c == name and r == "floor"), None)
        peers = [f["seconds"] for f in mine if f.get("peer")]
        for figures in mine:
            files = figures.get("files", FILES[name])
            figures["per_file"] = figures["seconds"] / files * 1e6
            if "start" in figures:
                figures["work_per_file"] = (figures["seconds"] - figures["start"]) / files * 1e6
            figures["x_floor"] = figures["seconds"] / floor if floor else None
            figures["x_peer"] = figures["seconds"] / min(peers) if peers else None
            if floor and "start" in figures:
                overhead = figures["seconds"] - figures["start"] - floor
                figures["overhead"] = overhead / files * 1e6


def cell(value, form):
    return "–" if value is None else form % value


def print_table(rows, start):
    print("| corpus | row | seconds | µs/file | × floor | × fastest peer | overhead µs/file "
          "| peak RSS MB | still tagged |")
    print("|---|---|---|---|---|---|---|---|---|")
    for name, row, f in rows:
        note = "" if f["codes"] <= {0} else " (exit %s)" % sorted(f["codes"])
        print("| %s | %s%s | %.3f | %s | %s | %s | %s | %.1f | %s |" % (
            LABELS[name], row, note, f["seconds"], cell(f.get("per_file"), "%.1f"),
            cell(f.get("x_floor"), "%.2f"), cell(f.get("x_peer"), "%.3f"),
            cell(f.get("overhead"), "%.1f"), f["rss"] / 1024, f.get("tagged", "–")))
    print("\nstart-up (empty folder): offscreen %.3f s, X %.3f s, terminal %.3f s, no dialog %.3f s;"
          " --version %.3f s; median of %d runs each" % (
              start["offscreen"], start["X"], start["terminal"], start["no dialog"],
              start["--version"], START_RUNS))


def print_targets(rows, start_targets):
    """Each target's figure, where the rows it needs were measured. Beside the ratios to
    mid3v2, the floor's own ratio: what no program could beat on this machine."""
    get = {(c, r): f for c, r, f in rows}
    rss_to_floor = lambda name: get[(name, "vardel (no dialog)")]["rss"] / get[(name, "floor")]["rss"]
    offscreen = lambda name: get[(name, "vardel (offscreen)")]
    versus_mid = lambda name, row: get[(name, "mid3v2 -D")]["seconds"] / get[(name, row)]["seconds"]
    targets = [
        ("overhead on (c), offscreen", lambda: offscreen("empty")["overhead"], "<=", 10,
         "µs/file"),
        ("overhead on (c), under X", lambda: get[("empty", "vardel (X)")]["overhead"], "<=", 15,
         "µs/file"),
        ("overhead on (c), terminal / offscreen",
         lambda: get[("empty", "vardel (terminal)")]["overhead"] / offscreen("empty")["overhead"],
         "<=", 2, "×"),
        ("overhead on (c), no dialog - offscreen",
         lambda: get[("empty", "vardel (no dialog)")]["overhead"] - offscreen("empty")["overhead"],
         "<=", 0, "µs/file"),
        ("(a) mid3v2 / vardel", lambda: versus_mid("small", "vardel (offscreen)"), ">=", 5, "×"),
        ("(a) mid3v2 / vardel --no-dialog", lambda: versus_mid("small", "vardel (no dialog)"),
         ">=", 5, "×"),
        ("(a) mid3v2 / floor", lambda: versus_mid("small", "floor"), ">=", 5, "×"),
        ("(a) vardel / floor", lambda: offscreen("small")["x_floor"], "<=", 1.3, "×"),
        ("(b) mid3v2 / vardel", lambda: versus_mid("songs", "vardel (offscreen)"), ">=", 15, "×"),
        ("per file after start-up, (b) / (a)",
         lambda: offscreen("songs")["work_per_file"] / offscreen("small")["work_per_file"], "<=",
         1.2, "×"),
        ("floor per file, (b) / (a)",
         lambda: get[("songs", "floor")]["per_file"] / get[("small", "floor")]["per_file"], "<=",
         1.2, "×"),
        ("peak RSS, 100,000 listed",
         lambda: get[("tree", "vardel (offscreen), 100,000 listed")]["rss"] / 1024, "<=", 64,
         "MB"),
        ("scan / find", lambda: get[("tree", "vardel scan")]["seconds"] /
         get[("tree", "find -iname '*.mp3'")]["seconds"], "<=", 1.5, "×"),
    ] + [("peak RSS, --no-dialog / floor, %s" % LABELS[name][:3],
          lambda name=name: rss_to_floor(name), "<=", 1.5, "×")
         for name in ("small", "songs", "empty")]
    targets += [(what, lambda value=value: value, sense, goal, unit)
                for what, value, sense, goal, unit in start_targets]
    print("\n| target | figure | goal | |\n|---|---|---|---|")
    for what, figure, sense, goal, unit in targets:
        try:
            value = figure()
        except KeyError:
            continue
        met = value <= goal if sense == "<=" else value >= goal
        print("| %s | %.2f %s | %s %s | %s |" % (what, value, unit, sense, goal,
                                              "met" if met else "NOT met"))


def main():
    for name in [name for name in FILES if name in CHOSEN] + ["start"]:
        corpus.make(CORPORA, name)
    os.makedirs(WORK, exist_ok=True)
    with startup.XServer() as display:
        rows, start = measure_all(display)
        starts, objects = (startup.measure(BUILD, display) if "startup" in CHOSEN
                           else ([], None))
        envs = environments(display)
        idle = (dialog_idle.measure(VARDEL, envs["offscreen"], envs["X"], WORK,
                                    fresh_copy("empty")) if "empty" in CHOSEN else {})
    derive(rows)
    if rows:
        print_table(rows, start)
    if starts:
        print()
        startup.print_table(starts, objects)
    print_targets(rows, startup.targets(starts, objects) if starts else [])
    if idle:
        print("\n| the dialog's thread, while | share of a core |\n|---|---|")
    for what, share in idle.items():
        print("| %s | %s |" % (what, cell(share and share * 100, "%.1f %%")))


if __name__ == "__main__":
    main()
