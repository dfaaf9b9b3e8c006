#!/usr/bin/python3
"""End to end on odd trees and at bad moments, through the real Linux program (offscreen).

  hostile.py PROGRAM MODEL

MODEL is the rules' model as a program (expected_after): what each file must become.

- Killed (SIGKILL) at random moments: every file is exactly cleaned or exactly untouched, except
  at most one, cut of its trailer with a zeroed front part of its tag behind the header.
- SIGTERM at random moments once the program handles it: the same with no file part-done, and
  exit 0 or 1; so too with --no-dialog, started with no display and no terminal (setsid), whose
  run left alone cleans every file and ends with 0.
- Hostile trees: special files named *.mp3, a folder named x.mp3, links to a parent and link
  loops, a 2000-level deep tree, a folder it cannot read and a file it cannot write (run as an
  unprivileged user with --no-dialog, and a path that names nothing), odd names, files that
  grow and shrink during the run. Nothing crashes or hangs, each file ends as the rules say, and
  each file it could not change is named on stderr with why, with exit code 2, its name's
  control bytes escaped.
"""
import glob
import os
import random
import re
import resource
import shutil
import signal
import socket
import stat
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "support"))
import mp3  # noqa: E402

PROGRAM = os.path.realpath(sys.argv[1])
ENV = dict(os.environ, QT_QPA_PLATFORM="offscreen")
UNSEEN = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
MIDWAY_ROUNDS, MOST_ROUNDS = 6, 40
SPAN_RANGE = 8  # how far the signals' span may stray from the calibrated length, either way
failures = []
# A name that would set the terminal's title and turn its text red, and as stderr shows it.
TITLE_AND_RED = "\x1b]0;title\x07\x1b[31m.mp3"
TITLE_AND_RED_SHOWN = r"\x1b]0;title\x07\x1b[31m.mp3"
# What stderr must never carry raw: C0 but the line break, DEL, C1, and (decoded as U+FFFD)
# bytes that are not UTF-8.
RAW = re.compile("[\x00-\x09\x0b-\x1f\x7f-\x9f\ufffd]")


def check(name, ok, detail=""):
    print(("[ ok ] " if ok else "[FAIL] ") + name + (f": {detail}" if detail and not ok else ""))
    if not ok:
        failures.append(name)


cleaned = mp3.Model(os.path.realpath(sys.argv[2])).cleaned


def zeros_end(data, start):
    """Where the run of zeros from start ends."""
    return len(data) - len(data[start:].lstrip(b"\0"))


def state(original, now):
    """'untouched', 'cleaned', 'part' (trailer cut, the header kept and a zeroed front of the
    tag behind it) or 'other'."""
    if now == original:
        return "untouched"
    if now == cleaned(original):
        return "cleaned"
    kept, head = original[:-128], mp3.HEADER_SIZE
    if len(now) == len(kept) and now[:head] == kept[:head]:
        zeros = zeros_end(now, head)
        if now[zeros:] == kept[zeros:] and zeros <= zeros_end(cleaned(original), head):
            return "part"
    return "other"


def make_tree(root, count, rng):
    sizes = [rng.choice([300, 300, 20000, 300000, 1000000]) for _ in range(count)]
    files = mp3.write_tree(root, {os.path.join(f"d{i % 7}", f"e{i % 3}", f"f{i:04d}.mp3"):
                                  mp3.tagged(size, seed=i) for i, size in enumerate(sizes)})
    subprocess.run(["sync"])
    return files


def counts(files):
    tally = {"untouched": 0, "cleaned": 0, "part": 0, "other": 0}
    for path, original in files.items():
        with open(path, "rb") as f:
            tally[state(original, f.read())] += 1
    return tally


def handles_term(pid):
    """True once the program's main thread blocks SIGTERM, which it then reads as a stop."""
    try:
        with open(f"/proc/{pid}/status") as f:
            blocked = next(line for line in f if line.startswith("SigBlk:")).split()[1]
        return int(blocked, 16) & (1 << (signal.SIGTERM - 1)) != 0
    except (OSError, StopIteration):
        return False


def start(root, no_dialog):
    """The program on root: offscreen, or with --no-dialog and no display, terminal or input."""
    if not no_dialog:
        return subprocess.Popen([PROGRAM, root], env=ENV, stderr=subprocess.DEVNULL)
    return subprocess.Popen([PROGRAM, "--no-dialog", root], env=UNSEEN, stdin=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, start_new_session=True)


def run_length(work, rng):
    """How long an uninterrupted run over such a tree takes, start-up included."""
    root = os.path.join(work, "calibration")
    make_tree(root, 160, rng)
    start = time.monotonic()
    subprocess.run([PROGRAM, root], env=ENV, stderr=subprocess.DEVNULL, timeout=60)
    subprocess.run(["rm", "-rf", root])
    return time.monotonic() - start


def interrupted_runs(work, rng, sig, length, no_dialog=False):
    """Runs until MIDWAY_ROUNDS of them were interrupted midway (MOST_ROUNDS at most). The
    signal comes within a span that starts at the calibrated length and follows the machine's
    speed: shorter after a signal that came after the end, longer after one before any file."""
    results = []
    span = length
    for n in range(MOST_ROUNDS):
        if sum(0 < t["untouched"] < 160 for _, t in results) >= MIDWAY_ROUNDS:
            break
        root = os.path.join(work, f"{sig.name}-{n}")
        files = make_tree(root, 160, rng)
        run = start(root, no_dialog)
        if sig == signal.SIGTERM:
            while run.poll() is None and not handles_term(run.pid):
                time.sleep(0.001)
        time.sleep(rng.uniform(0, span))
        run.send_signal(sig)
        try:
            code = run.wait(timeout=30)
        except subprocess.TimeoutExpired:
            run.kill()
            code = "hang"
        results.append((code, counts(files)))
        tally = results[-1][1]
        span *= 0.7 if tally["cleaned"] == 160 else 1.3 if tally["untouched"] == 160 else 1
        span = min(max(span, length / SPAN_RANGE), length * SPAN_RANGE)
        subprocess.run(["rm", "-rf", root])
    return results


def signals(work, rng):
    length = run_length(work, rng)
    print(f"  an uninterrupted run takes {length:.3f} s; signals come within that")
    killed = interrupted_runs(work, rng, signal.SIGKILL, length)
    print("  SIGKILL (cleaned, untouched, part-done):",
          [(t["cleaned"], t["untouched"], t["part"]) for _, t in killed])
    check("SIGKILL at random moments: at most one file part-done, nothing else odd",
          all(t["part"] <= 1 and t["other"] == 0 for _, t in killed), killed)
    termed = interrupted_runs(work, rng, signal.SIGTERM, length)
    print("  SIGTERM (exit code, cleaned, untouched):",
          [(c, t["cleaned"], t["untouched"]) for c, t in termed])
    check("SIGTERM at random moments: exit 0 or 1, every file whole",
          all(c in (0, 1) and t["part"] == 0 and t["other"] == 0 for c, t in termed), termed)
    root = os.path.join(work, "no-dialog")
    files = make_tree(root, 160, rng)
    code = start(root, no_dialog=True).wait(timeout=60)
    check("--no-dialog, no display and no terminal: exit 0, every file cleaned",
          code == 0 and counts(files)["cleaned"] == 160, (code, counts(files)))
    unseen = interrupted_runs(work, rng, signal.SIGTERM, length, no_dialog=True)
    print("  SIGTERM, --no-dialog (exit code, cleaned, untouched):",
          [(c, t["cleaned"], t["untouched"]) for c, t in unseen])
    check("SIGTERM at random moments, --no-dialog: exit 0 or 1, every file whole",
          all(c in (0, 1) and t["part"] == 0 and t["other"] == 0 for c, t in unseen), unseen)
    for name, results in (("SIGKILL", killed), ("SIGTERM", termed), ("--no-dialog", unseen)):
        midway = sum(0 < t["untouched"] < 160 for _, t in results)
        check(f"{name} came midway in {MIDWAY_ROUNDS} runs", midway >= MIDWAY_ROUNDS, midway)


def hostile_tree(work):
    """Builds the tree; returns {path: (original, expected)} for its regular files."""
    root = os.path.join(work, "hostile")
    os.mkdir(root)
    expect = {}

    def put(relative, data, expected=None):
        path = os.path.join(root, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        expect[path] = (data, cleaned(data) if expected is None else expected)
        return path

    put("plain.mp3", mp3.tagged(500))
    os.mkfifo(os.path.join(root, "fifo.mp3"))
    sock = socket.socket(socket.AF_UNIX)
    sock.bind(os.path.join(root, "socket.mp3"))
    os.mknod(os.path.join(root, "null.mp3"), stat.S_IFCHR | 0o666, os.makedev(1, 3))
    put("x.mp3/inside.mp3", mp3.tagged(700))
    # Two trailers: cleaned twice, a file would lose both, so a folder seen twice shows.
    twice = mp3.tagged(900, trailers=2)
    put("loops/once.mp3", twice, cleaned(twice))
    os.symlink("..", os.path.join(root, "loops", "up"))
    os.symlink("b.mp3", os.path.join(root, "loops", "a.mp3"))
    os.symlink("a.mp3", os.path.join(root, "loops", "b.mp3"))
    os.symlink("loops", os.path.join(root, "loops", "self"))
    deep = root
    for _ in range(2000):  # one level at a time: os.makedirs recurses once per level
        deep = os.path.join(deep, "d")
        os.mkdir(deep)
    put(os.path.join(deep, "deep.mp3"), mp3.tagged(400))
    for name in [b"bad-\xff\xfe.mp3", b"new\nline.mp3", b"&amp.mp3", b"<b>bold</b>.mp3", b"%n%s%x.mp3"]:
        put(os.fsdecode(name), mp3.tagged(600))
    locked = put("locked/hidden.mp3", mp3.tagged(800))
    expect[locked] = (expect[locked][0], expect[locked][0])
    readonly = [put(name, mp3.tagged(800)) for name in ("readonly.mp3", TITLE_AND_RED)]
    for path in readonly:
        expect[path] = (expect[path][0], expect[path][0])
    grows = put("changing/grows.mp3", mp3.tagged(50000))
    shrinks = put("changing/shrinks.mp3", mp3.tagged(50000, audio_size=4_000_000))
    subprocess.run(["chown", "-R", "nobody:nogroup", root])
    os.chmod(os.path.join(root, "locked"), 0)
    for path in readonly:
        os.chmod(path, 0o444)
    return root, expect, sock, grows, shrinks


def change_while_running(grows, shrinks, stop):
    """Appends to one file and cuts the other down while the run goes on."""
    size = os.path.getsize(shrinks)
    while not stop.is_set() and size > 200_000:
        with open(grows, "ab") as f:
            f.write(b"\x55" * 4096)
        size -= 65536
        os.truncate(shrinks, size)
        time.sleep(0.0005)


def hostile(work):
    root, expect, sock, grows, shrinks = hostile_tree(work)
    # The program and its modules, copied where the user nobody can run them.
    for name in [PROGRAM] + glob.glob(os.path.join(os.path.dirname(PROGRAM), "vardel-*.so")):
        shutil.copy(name, work)
    stop = threading.Event()
    changer = threading.Thread(target=change_while_running, args=(grows, shrinks, stop))
    changer.start()
    missing = os.path.join(work, "missing.mp3")
    # The deep tree needs more descriptors than the usual soft limit of 1024: the program
    # raises it to the hard limit.
    hard = resource.getrlimit(resource.RLIMIT_NOFILE)[1]
    hard = "unlimited" if hard == resource.RLIM_INFINITY else hard
    command = ["prlimit", f"--nofile=1024:{hard}", "setpriv", "--reuid=nobody",
               "--regid=nogroup", "--clear-groups", os.path.join(work, "vardel"), "--no-dialog",
               root, missing]
    try:
        run = subprocess.run(command, env=ENV, stderr=subprocess.PIPE, timeout=60)
        code, whole = run.returncode, run.stderr.decode(errors="replace")
    except subprocess.TimeoutExpired:
        code, whole = "hang", ""
    said = whole.splitlines()
    stop.set()
    changer.join()
    sock.close()
    check("hostile tree: what could not be changed makes the exit code 2", code == 2, code)
    named = {
        os.path.join(root, "readonly.mp3"): "could not be opened: Permission denied",
        os.path.join(root, TITLE_AND_RED_SHOWN): "could not be opened: Permission denied",
        missing: "could not be opened: No such file or directory",
        os.path.join(root, "fifo.mp3"): "not a regular file",
        os.path.join(root, "socket.mp3"): "not a regular file",
        os.path.join(root, "null.mp3"): "not a regular file",
    }
    unsaid = [path for path, why in named.items() if f"vardel: {path}: {why}" not in said]
    check("hostile tree: each file it could not change named on stderr with why", not unsaid,
          f"{unsaid} not in {said}")
    check("hostile tree: no control or invalid byte raw on stderr", not RAW.search(whole),
          RAW.findall(whole))
    for path in (grows, shrinks):
        with open(path, "rb") as f:
            head = f.read(2 * mp3.HEADER_SIZE)
            check(f"hostile tree: {os.path.basename(path)} changing during the run has its tag emptied",
                  head[:3] == b"ID3" and head[mp3.HEADER_SIZE:] == bytes(mp3.HEADER_SIZE))
        del expect[path]
    wrong = []
    for path, (_, expected) in expect.items():
        with open(path, "rb") as f:
            if f.read() != expected:
                wrong.append(os.path.relpath(path, root)[:60])
    check("hostile tree: each file as the rules say", not wrong, wrong)
    kinds = [stat.S_ISFIFO, stat.S_ISSOCK, stat.S_ISCHR]
    names = ["fifo.mp3", "socket.mp3", "null.mp3"]
    check("hostile tree: special files left as they were",
          all(kind(os.lstat(os.path.join(root, n)).st_mode) for kind, n in zip(kinds, names)))


def main():
    seed = int(os.environ.get("VARDEL_HOSTILE_SEED", random.randrange(1 << 30)))
    print(f"  VARDEL_HOSTILE_SEED={seed}")
    rng = random.Random(seed)
    work = tempfile.mkdtemp(prefix="vardel-hostile-")
    os.chmod(work, 0o755)
    try:
        hostile(work)
        signals(work, rng)
    finally:
        os.chmod(os.path.join(work, "hostile", "locked"), 0o700)
        subprocess.run(["rm", "-rf", work])  # 2000 levels deep: too deep for shutil
    print(f"hostile: {'all passed' if not failures else f'{len(failures)} failed'}")
    sys.exit(1 if failures else 0)


main()
