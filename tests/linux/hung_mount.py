#!/usr/bin/python3
"""The real Linux program on a mount of our own file system (slowfs), as on a slow or stuck
network share.

  hung_mount.py PROGRAM SLOWFS MODEL

MODEL is the rules' model as a program (expected_after): what each file must become.

- One open held by the file system: SIGTERM while the worker is at that file's turn (the open
  is a helper's, made ahead, or the worker's own), once the files before it are cleaned, ends
  the program within the grace period and a second (with a margin for a loaded machine), with
  1, the worker ended forcibly; the files before it cleaned, it and those after it untouched.
  Offscreen, and with --no-dialog.
- Every operation slowed: --no-dialog cleans every file as the rules say and ends with 0; given
  a folder and one inside it too, each file of the inner one is cleaned twice, one listing
  right after the other, as the rules say for a file cleaned twice.

Skips (77) where /dev/fuse is missing or the mount cannot be made.
"""
import os
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import mp3  # noqa: E402

PROGRAM, SLOWFS, MODEL_PROGRAM = (os.path.realpath(p) for p in sys.argv[1:4])
OFFSCREEN = dict(os.environ, QT_QPA_PLATFORM="offscreen")
UNSEEN = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
GRACE = 1.0  # the wait for the worker after a confirmed stop
STOP_LIMIT = GRACE + 1.0  # a stopped run ends within the grace period and a second more
CEILING = STOP_LIMIT + 2.0  # that, with a margin for a loaded machine
HANG_WAIT, RUN_WAIT, MOUNT_WAIT = 20, 60, 10
SLOW_US = 1000
failures = []


def check(name, ok, detail=""):
    print(("[ ok ] " if ok else "[FAIL] ") + name + (f": {detail}" if detail and not ok else ""))
    if not ok:
        failures.append(name)


cleaned = mp3.Model(MODEL_PROGRAM).cleaned


def put(folder, names):
    """Fresh tagged files in folder; returns {path: original}."""
    return mp3.write_tree(folder, {name: mp3.tagged([300, 20000, 300000][i % 3], seed=i)
                                   for i, name in enumerate(names)})


def contents(path):
    with open(path, "rb") as f:
        return f.read()


class Mount:
    """slowfs over source at mount; made says whether it was mounted, why says why not."""

    def __init__(self, source, mount, *options):
        os.makedirs(mount, exist_ok=True)
        self.mount = mount
        self.fs = subprocess.Popen([SLOWFS, source, mount, *options], stderr=subprocess.PIPE)
        deadline = time.monotonic() + MOUNT_WAIT
        while not os.path.ismount(mount) and self.fs.poll() is None and time.monotonic() < deadline:
            time.sleep(0.02)
        self.made = os.path.ismount(mount)
        if not self.made:
            code = self.fs.poll()
            said = self.fs.stderr.read().decode(errors="replace").strip() if code is not None else ""
            self.why = f"exit code {code}: {said}" if code is not None else "timed out"
            self.close()

    def close(self):
        if os.path.ismount(self.mount):
            busy = subprocess.run(["fusermount3", "-u", self.mount], stderr=subprocess.DEVNULL)
            if busy.returncode != 0:
                subprocess.run(["fusermount3", "-uz", self.mount])
        try:
            self.fs.wait(timeout=MOUNT_WAIT)
        except subprocess.TimeoutExpired:
            self.fs.kill()
            self.fs.wait()


def start(mount, no_dialog, *more):
    """The program on mount: offscreen, or with --no-dialog and no display, terminal or input."""
    if not no_dialog:
        return subprocess.Popen([PROGRAM, mount], env=OFFSCREEN, stderr=subprocess.DEVNULL)
    return subprocess.Popen([PROGRAM, "--no-dialog", mount, *more], env=UNSEEN, stdin=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, start_new_session=True)


def wait_for(condition, seconds):
    deadline = time.monotonic() + seconds
    while not condition() and time.monotonic() < deadline:
        time.sleep(0.01)
    return condition()


def held_open(work, no_dialog):
    """SIGTERM while the worker is inside an open the file system holds."""
    name = "--no-dialog" if no_dialog else "offscreen"
    source, log = os.path.join(work, "held"), os.path.join(work, "hang.log")
    files = put(source, [f"f{i}.mp3" for i in range(5)])
    # The program lists a folder in the order the folder beneath gives: the middle one is held.
    order = [os.path.join(source, n) for n in os.listdir(source)]
    held = order[len(order) // 2]
    print(f"  {name}: {os.path.basename(held)} held, {order.index(held)} files before it")
    open(log, "w").close()
    mount = Mount(source, os.path.join(work, "mount"), "--hang-open", os.path.basename(held),
                  "--hang-log", log)
    if not mount.made:
        return mount
    try:
        run = start(mount.mount, no_dialog)
        before = order[:order.index(held)]
        # The open may be a helper's, ahead of the worker: the worker reaches the held file's
        # turn once the files before it are cleaned (read beside the mount, not through it).
        at_turn = lambda: (os.path.getsize(log) > 0 and
                           all(contents(p) == cleaned(files[p]) for p in before))
        wait_for(lambda: at_turn() or run.poll() is not None, HANG_WAIT)
        if not at_turn() or run.poll() is not None:
            run.kill()
            check(f"{name}: the worker reaches the held open", False, f"exit code {run.wait()}")
            return mount
        sent = time.monotonic()
        run.send_signal(signal.SIGTERM)
        ended = wait_for(lambda: run.poll() is not None, CEILING)
        took = time.monotonic() - sent
        if not ended:
            run.kill()  # the kernel interrupts the held open: the process can go
        code = run.wait(timeout=MOUNT_WAIT)
        how = "ended" if ended else "still running, killed"
        print(f"  {name}: {how} {took:.2f} s after SIGTERM (the limit {STOP_LIMIT:.0f} s),"
              f" exit code {code}")
        check(f"{name}: SIGTERM inside a held open ends the program within {CEILING:.0f} s", ended)
        check(f"{name}: exit code 1, the worker ended forcibly", code == 1, code)
        check(f"{name}: the files before the held one cleaned, it and those after untouched",
              all(contents(p) == (cleaned(files[p]) if p in before else files[p]) for p in order))
    finally:
        mount.close()
    return mount


def slowed(work):
    """Every operation slowed: a plain run, every file as the rules say."""
    source = os.path.join(work, "slowed")
    files = {}
    for folder in ("a", "b/c", "d"):
        files.update(put(os.path.join(source, folder), [f"g{i}.mp3" for i in range(4)]))
    mount = Mount(source, os.path.join(work, "mount"), "--delay-us", str(SLOW_US))
    if not mount.made:
        return mount
    try:
        run_slowed(source, mount, files)
        # A folder listed again: each of its files comes twice within fewer entries than are
        # opened ahead, so its second entry may be taken up while the first is still open.
        # Two trailers: the second listing must cut the one the first uncovered.
        files = {p: data + mp3.TRAILER for p, data in files.items()
                 if os.path.dirname(p).endswith("/d")}
        twice = {p: cleaned(data) for p, data in files.items()}
        for path, data in files.items():
            with open(path, "wb") as f:
                f.write(data)
        run_slowed(source, mount, twice, os.path.join(mount.mount, "d"), "listed twice: ")
    finally:
        mount.close()
    return mount


def run_slowed(source, mount, files, again=None, what=""):
    """--no-dialog over the mount (and again, listed after it); every file as the rules say."""
    started = time.monotonic()
    run = start(mount.mount, True, *([again] if again else []))
    try:
        code = run.wait(timeout=RUN_WAIT)
    except subprocess.TimeoutExpired:
        run.kill()
        code = f"still running after {RUN_WAIT} s"
    took = time.monotonic() - started
    print(f"  {what}{SLOW_US} us per operation: {len(files)} files in {took:.2f} s")
    check(f"--no-dialog, {what}{SLOW_US} us per operation: exit 0", code == 0, code)
    wrong = [os.path.relpath(p, source) for p, data in files.items()
             if contents(p) != cleaned(data)]
    check(f"--no-dialog, {what}{SLOW_US} us per operation: every file as the rules say",
          not wrong, wrong)


def main():
    if not os.path.exists("/dev/fuse"):
        print("hung_mount: skipped, no /dev/fuse here")
        sys.exit(77)
    work = tempfile.mkdtemp(prefix="vardel-mount-")
    try:
        mount = slowed(work)
        if not mount.made:
            print(f"hung_mount: skipped, slowfs could not mount ({mount.why})")
            sys.exit(77)
        for no_dialog in (False, True):
            mount = held_open(work, no_dialog)
            if not mount.made:
                check("slowfs mounts again", False, mount.why)
    finally:
        subprocess.run(["rm", "-rf", work])
    print(f"hung_mount: {'all passed' if not failures else f'{len(failures)} failed'}")
    sys.exit(1 if failures else 0)


main()
