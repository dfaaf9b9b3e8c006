#!/usr/bin/python3
"""The Linux program drawn on a terminal: each run on a real pseudo-terminal that is the
program's controlling terminal, with no display, keys typed into it and signals sent to it.
After every way a run ends the terminal must be back as it was (echo and line editing on, the
cursor shown, the normal screen), and every file exactly cleaned or exactly untouched.

usage: terminal.py VARDEL
"""
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

from ptyrun import HeldShift, Run, file_states, make_tree, original, states

VARDEL = os.path.abspath(sys.argv[1])
GRACE = 1.0  # the dialog's grace period, in seconds
failures = []


def check(what, ok, detail=""):
    print(("ok   " if ok else "FAIL ") + what + ("" if ok else f": {detail}"), flush=True)
    if not ok:
        failures.append(what)


def normal_run(work):
    """A run over a folder draws the scan, the percentage, the bar and paths, and ends 0."""
    root = os.path.join(work, "normal")
    # Files enough for the cleaning to span several pictures on a busy machine too.
    make_tree(root, 100, 100)
    # Enough empty folders for the scan to last a few pictures.
    for n in range(10000):
        os.makedirs(os.path.join(root, "empty", f"{n:05d}"))
    deep = os.path.join(root, "a-folder-name-long-enough-to-be-cut-at-the-edge-of-the-terminal")
    make_tree(deep, 1, 1)
    run = Run(VARDEL, [root], columns=60)
    code = run.wait()
    check("a run ends with 0", code == 0, code)
    check("the caption and the scan are drawn",
          b"Vardel" in run.out and b"Building file list..." in run.out)
    check("the percentage, the bar and a path are drawn",
          re.search(rb"\d+(\.\d+)?%", run.out) is not None and b"[#" in run.out
          and b"/album" in run.out)
    check("no line is wider than the terminal", run.widest_line() < 60, run.widest_line())
    check("the terminal is restored after a run", run.restored())
    counts = states(root)
    check("every file cleaned", counts["cleaned"] == 10001 and counts["damaged"] == 0, counts)
    run.close()


def toolkits_mapped(pid):
    """The toolkit libraries (Qt, X11, xcb) mapped into the running process."""
    with open(f"/proc/{pid}/maps") as maps:
        return sorted({line.split()[-1] for line in maps
                       if re.search(r"/lib(Qt6|X11|xcb)[^/]*$", line.strip())})


def stop_question(work, key, answer, name):
    """The key asks "Are you sure you want to stop?" while files are being cleaned; No goes on,
    Yes stops the run by the dialog's rule. Returns the exit code."""
    root = os.path.join(work, name)
    # Long enough (most of a second here) that the run is still going when the key arrives.
    folders, files = 120, 100
    make_tree(root, folders, files)
    run = Run(VARDEL, [root])
    seen = run.until(b"/album")
    run.send(key)
    asked = run.until(b"Are you sure you want to stop?")
    check(f"{name}: the stop question is asked", seen and asked)
    if answer == b"resize":
        mapped = toolkits_mapped(run.process.pid)
        check(f"{name}: the terminal with no display loads no toolkit", not mapped, mapped)
        # While the question waits, the screen is still: a narrower terminal is drawn again.
        since = len(run.out)
        run.resize(30, 24)
        run.drain(0.3)
        last = run.out.rfind(b"\x1b[H")
        check(f"{name}: redrawn narrower when resized",
              last >= since and run.widest_line(last) < 30, run.widest_line(last))
        answer = b"n"
    answered = time.monotonic()
    run.send(answer)
    code = run.wait()
    waited = time.monotonic() - answered
    counts = states(root)
    check(f"{name}: the terminal is restored", run.restored())
    check(f"{name}: no file damaged", counts["damaged"] == 0, counts)
    if answer == b"y":
        # 0: the worker stopped within the grace period; 1: it was ended after it.
        check(f"{name}: Yes ends with 0, or with 1 after the grace period",
              code == 0 or (code == 1 and waited >= GRACE * 0.9), (code, waited))
    else:
        check(f"{name}: No lets the run end by itself with 0, every file cleaned",
              code == 0 and counts["cleaned"] == folders * files, (code, counts))
    run.close()
    return code


def signalled(work, how):
    """SIGTERM and SIGHUP mid-run are a confirmed stop; so is the terminal hanging up."""
    root = os.path.join(work, f"signal-{how}")
    make_tree(root, 60, 100)
    run = Run(VARDEL, [root])
    run.until(b"/album")
    if how == "hangup":
        run.hang_up()
    else:
        run.process.send_signal(getattr(signal, how))
    code = run.wait()
    counts = states(root)
    check(f"{how}: the run ends with 0 or 1", code in (0, 1), code)
    check(f"{how}: no file damaged", counts["damaged"] == 0, counts)
    if how != "hangup":
        check(f"{how}: the terminal is restored", run.restored())
    run.close()


def hostile_name(work):
    """Escape sequences and invalid bytes in a name are shown escaped, never sent raw: on the
    screen, and in the report said again once the terminal is back."""
    root = os.path.join(work, "hostile").encode()
    folder = os.path.join(root, b"\x1b]0;pwned\x07 \xc2\x9b1m \xff.")
    os.makedirs(folder)
    for n in range(10000):
        with open(os.path.join(folder, b"track%03d%s.mp3" % (n % 1000, b"x" * (n // 1000))),
                  "wb") as out:
            out.write(original(n % 1000))
    run = Run(VARDEL, [root, os.path.join(folder, b"\x1b[31mgone.mp3")])
    run.send(b"\r" if run.until(b"could not be changed", 30) else b"")
    code = run.wait()
    counts = states(root.decode(errors="surrogateescape"))
    check("hostile name: the run ends with 0, every file cleaned",
          code == 0 and counts["cleaned"] == 10000, (code, counts))
    shown = b"\\x1b]0;pwned\\x07 \\xc2\\x9b1m \\xff./\\x1b[31mgone.mp3: could not be opened"
    check("hostile name: shown escaped, and so once the terminal is back",
          b"\\x1b]0;pwned\\x07 \\xc2\\x9b1m \\xff." in run.out
          and shown in run.out[run.out.rfind(b"\x1b[?1049l"):], run.out[-300:])
    check("hostile name: never sent raw",
          b"\x1b]0;" not in run.out and b"\x07" not in run.out and b"\x9b" not in run.out
          and b"\xff" not in run.out and b"\x1b[31m" not in run.out)
    run.close()


def shift_from_display(work):
    """With a display reachable for the keyboard only (asked for with --terminal), Shift comes
    from it: each file asks "Confirm" on the terminal, answered with y or n. A termination
    signal while the worker waits for that answer is a forced end: 1 after the grace period."""
    if not (shutil.which("Xvfb") and shutil.which("xdotool")):
        print("skip shift_from_display: needs Xvfb and xdotool")
        return
    # A display number of its own, which the server picks: another suite may be running on
    # this machine at the same time.
    read, write = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "640x480x24",
                             "-noreset"], pass_fds=[write], stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    os.close(write)
    with os.fdopen(read) as numbers:
        display = ":" + numbers.readline().strip()
    try:
        for _ in range(100):
            if subprocess.run(["xdotool", "getdisplaygeometry"], capture_output=True,
                              env=dict(os.environ, DISPLAY=display)).returncode == 0:
                break
            time.sleep(0.1)
        root = os.path.join(work, "confirm")
        make_tree(root, 1, 5)
        shift = HeldShift(display)
        run = Run(VARDEL, ["--terminal", root], display=display)
        first = run.confirm_asked()
        run.send(b"y")
        second = run.confirm_asked(other_than=first)
        shift.release()
        run.send(b"n")
        code = run.wait()
        expected = ["cleaned"] * 5
        if first is not None and second is not None:
            expected[int(second[-7:-4])] = "untouched"
        check("Shift held: Confirm on the terminal, y cleans, n skips, then no more asked",
              first != second and code == 0 and file_states(root) == expected,
              (first, second, code, file_states(root)))
        check("Shift held: the terminal is restored", run.restored())
        run.close()

        root = os.path.join(work, "forced")
        make_tree(root, 1, 5)
        shift = HeldShift(display)
        run = Run(VARDEL, ["--terminal", root], display=display)
        asked = run.confirm_asked() is not None
        signalled_at = time.monotonic()
        run.process.send_signal(signal.SIGTERM)
        code = run.wait()
        waited = time.monotonic() - signalled_at
        shift.release()
        check("SIGTERM while Confirm waits: a forced end, 1 after the grace period",
              asked and code == 1 and waited >= GRACE * 0.9, (asked, code, waited))
        check("forced end: the terminal is restored, no file touched",
              run.restored() and file_states(root) == ["untouched"] * 5, file_states(root))
        run.close()
    finally:
        xvfb.kill()
        xvfb.wait()


def no_display_no_terminal(work):
    env = {k: v for k, v in os.environ.items()
           if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    result = subprocess.run([VARDEL, work], stdin=subprocess.DEVNULL, capture_output=True,
                            env=env, start_new_session=True)
    lines = result.stderr.decode(errors="replace").splitlines()
    check("no display, no terminal: 255 and one line on stderr",
          result.returncode == 255 and len(lines) == 1, (result.returncode, lines))


def no_qt_module(work):
    """The program without its modules, where a display is named: the Qt module that cannot be
    loaded is a reason like any other. On a terminal the dialog is drawn there; with none, the
    255 line names the module."""
    alone = os.path.join(work, "alone\x1b]0;title\x07\x1b[31m")
    os.makedirs(alone)
    program = shutil.copy(VARDEL, alone)
    root = os.path.join(work, "no-module")
    make_tree(root, 1, 5)
    run = Run(program, [root], display=":0")
    code = run.wait()
    check("no Qt module, a terminal: drawn there, every file cleaned",
          code == 0 and b"Vardel" in run.out and states(root)["cleaned"] == 5,
          (code, states(root)))
    run.close()
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    result = subprocess.run([program, root], stdin=subprocess.DEVNULL, capture_output=True,
                            env=env, start_new_session=True)
    lines = result.stderr.decode(errors="replace").splitlines()
    check("no Qt module, no terminal: 255, the line names the module, its folder escaped",
          result.returncode == 255 and len(lines) == 1 and "vardel-qt.so" in lines[0]
          and r"alone\x1b]0;title\x07\x1b[31m/" in lines[0] and "\x1b" not in lines[0],
          (result.returncode, lines))


def worker_not_started(work):
    """With no thread to be had, the error is shown, Enter ends with 1, and the error stays on
    the terminal once it is restored."""
    if os.geteuid() != 0:
        print("skip worker_not_started: needs root to run as nobody with one process")
        return
    prefix = ["prlimit", "--nproc=1:1", "setpriv", "--reuid=nobody", "--regid=nogroup",
              "--clear-groups"]
    run = Run(VARDEL, [work], prefix=prefix)
    shown = run.until(b"Error creating worker thread!")
    run.send(b"\r")
    code = run.wait()
    after = run.out[run.out.rfind(b"\x1b[?1049l"):]
    check("no worker: the error is shown and Enter ends with 1", shown and code == 1, code)
    check("no worker: the error stays after the terminal is restored",
          run.restored() and b"Error creating worker thread!" in after)
    run.close()


def main():
    work = tempfile.mkdtemp(prefix="vardel-terminal-")
    os.chmod(work, 0o755)
    try:
        normal_run(work)
        stop_question(work, b"\x1b", b"resize", "Escape, then No")
        stop_question(work, b"\x03", b"n", "Ctrl-C, then No")
        # Where Yes finds the worker decides between 0 and 1: a few tries meet both kinds.
        for n in range(3):
            stop_question(work, b"\x1b", b"y", f"Escape, then Yes ({n})")
        for how in ("SIGTERM", "SIGHUP", "hangup"):
            signalled(work, how)
        hostile_name(work)
        shift_from_display(work)
        no_display_no_terminal(work)
        no_qt_module(work)
        worker_not_started(work)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print(f"{len(failures)} failed" if failures else "all passed")
    return 1 if failures else 0


sys.exit(main())
