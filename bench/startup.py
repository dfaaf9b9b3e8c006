#!/usr/bin/python3
"""Vardel's start-up against the floor program's, in paired runs: each pair runs the floor on
an empty folder and then the program, spawned straight from here (no shell, no timer process
between), so that both see the same machine at the same moment. Rows: --version; --no-dialog
on an empty folder; the terminal driver on a pseudo-terminal with no display; the dialog
offscreen and under X, and under X the time until its window is mapped; and the shared objects
each initialises before its main.

usage: startup.py BUILD_DIR [PAIRS]
"""
import ctypes
import os
import select
import statistics
import subprocess
import sys
import tempfile
import threading
import time

PAIRS = 41
X_PAIRS = 15  # the dialog's rows take longer, and vary less against their own length
MAP_NOTIFY = 19
SUBSTRUCTURE_NOTIFY_MASK = 1 << 19
XEVENT_SIZE = 192  # sizeof(XEvent): 24 longs
MAP_PATIENCE = 5.0  # seconds


def spawn(argv, env, terminal=None):
    """Starts argv with its standard streams on /dev/null, or on the pseudo-terminal named,
    which then becomes its controlling terminal (it is opened after the new session starts)."""
    target = terminal or os.devnull
    actions = [(os.POSIX_SPAWN_OPEN, fd, target, os.O_RDWR, 0) for fd in (0, 1, 2)]
    return os.posix_spawn(argv[0], argv, env, file_actions=actions, setsid=True)


def timed(argv, env, terminal=None):
    """Seconds from the spawn to the end, and the exit code."""
    started = time.perf_counter()
    _, status = os.waitpid(spawn(argv, env, terminal), 0)
    return time.perf_counter() - started, os.waitstatus_to_exitcode(status)


class Terminal:
    """A pseudo-terminal whose output is read and dropped all along, so that no run waits to
    write. Its other end stays open here: with none open, reading would end."""

    def __init__(self):
        self.master, self.slave = os.openpty()
        self.name = os.ttyname(self.slave)
        threading.Thread(target=self.drain, daemon=True).start()

    def drain(self):
        try:
            while os.read(self.master, 65536):
                pass
        except OSError:
            pass


class Display:
    """Our own connection to the display, to see when the dialog's window is mapped."""

    def __init__(self, name):
        self.x11 = ctypes.CDLL("libX11.so.6")
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        for call in ("XDefaultRootWindow", "XSelectInput", "XPending", "XNextEvent",
                     "XConnectionNumber", "XSync", "XCloseDisplay"):
            getattr(self.x11, call).argtypes = [ctypes.c_void_p] + {
                "XSelectInput": [ctypes.c_ulong, ctypes.c_long], "XNextEvent": [ctypes.c_char_p],
                "XSync": [ctypes.c_int]}.get(call, [])
        self.x11.XDefaultRootWindow.restype = ctypes.c_ulong
        self.display = self.x11.XOpenDisplay(name.encode())
        if not self.display:
            sys.exit("cannot open the display " + name)
        root = self.x11.XDefaultRootWindow(self.display)
        self.x11.XSelectInput(self.display, root, SUBSTRUCTURE_NOTIFY_MASK)
        self.fd = self.x11.XConnectionNumber(self.display)
        self.event = ctypes.create_string_buffer(XEVENT_SIZE)

    def forget(self):
        """Drops the events of earlier runs."""
        self.x11.XSync(self.display, 1)

    def mapped(self, deadline):
        """Waits for a top-level window to be mapped; its time, or None by the deadline."""
        while time.perf_counter() < deadline:
            while self.x11.XPending(self.display):
                self.x11.XNextEvent(self.display, self.event)
                if int.from_bytes(self.event.raw[:4], sys.byteorder) == MAP_NOTIFY:
                    return time.perf_counter()
            select.select([self.fd], [], [], deadline - time.perf_counter())
        return None

    def close(self):
        self.x11.XCloseDisplay(self.display)


def until_mapped(argv, env, display):
    """Seconds from the spawn to the dialog's window mapped, and to the end."""
    display.forget()
    started = time.perf_counter()
    pid = spawn(argv, env)
    shown = display.mapped(started + MAP_PATIENCE)
    os.waitpid(pid, 0)
    ended = time.perf_counter()
    return (shown - started if shown else float("nan")), ended - started


def initialised(argv, env):
    """How many shared objects the dynamic loader initialises for argv (ld.so included)."""
    result = subprocess.run(argv, env=dict(env, LD_DEBUG="libs"), capture_output=True,
                            stdin=subprocess.DEVNULL)
    return result.stderr.decode(errors="replace").count("calling init:")


def measure(build, display_name, pairs=PAIRS):
    """The rows: (what, program's seconds, floor's seconds or None, ratio or None)."""
    vardel = os.path.join(build, "vardel")
    floor = os.path.join(build, "bench", "bench_floor")
    empty = tempfile.mkdtemp(prefix="vardel-start-")
    base = {k: v for k, v in os.environ.items()
            if k not in ("DISPLAY", "QT_QPA_PLATFORM", "WAYLAND_DISPLAY")}
    terminal = Terminal()
    display = Display(display_name) if display_name else None
    rows = [
        ("--version", [vardel, "--version"], base, None),
        ("--no-dialog, empty folder", [vardel, "--no-dialog", empty], base, None),
        ("terminal, no display", [vardel, "--terminal", empty], base, terminal.name),
        ("dialog offscreen", [vardel, empty], dict(base, QT_QPA_PLATFORM="offscreen"), None),
    ]
    results = []
    for what, argv, env, tty in rows:
        count = X_PAIRS if what.startswith("dialog") else pairs
        mine, floors, codes = [], [], set()
        for _ in range(count):
            floors.append(timed([floor, empty], base, tty)[0])
            elapsed, code = timed(argv, env, tty)
            mine.append(elapsed)
            codes.add(code)
        note = "" if codes == {0} else " (exit %s)" % sorted(codes)
        results.append((what + note, statistics.median(mine), statistics.median(floors)))
    if display:
        env = dict(base, QT_QPA_PLATFORM="xcb", DISPLAY=display_name)
        shown, ended, floors = [], [], []
        for _ in range(X_PAIRS):
            floors.append(timed([floor, empty], base)[0])
            first, end = until_mapped([vardel, empty], env, display)
            shown.append(first)
            ended.append(end)
        display.close()
        results.append(("dialog under X", statistics.median(ended), statistics.median(floors)))
        results.append(("dialog under X: its window mapped", statistics.median(shown), None))
    objects = {"vardel --no-dialog": initialised([vardel, "--no-dialog", empty], base),
               "floor": initialised([floor, empty], base)}
    os.rmdir(empty)
    return results, objects


def print_table(results, objects):
    print("| start-up | ms | floor ms | × floor |\n|---|---|---|---|")
    for what, mine, floor in results:
        print("| %s | %.1f | %s | %s |" % (
            what, mine * 1e3, "–" if floor is None else "%.1f" % (floor * 1e3),
            "–" if floor is None else "%.2f" % (mine / floor)))
    print("\nshared objects initialised: " +
          ", ".join("%s %d" % (what, count) for what, count in objects.items()))


def targets(results, objects):
    """The start-up targets: (what, figure, sense, goal, unit)."""
    ratio = {what: mine / floor for what, mine, floor in results if floor}
    absolute = {what: mine for what, mine, _ in results}
    found = [("--version / floor", ratio.get("--version"), "<=", 1.5, "×"),
             ("--no-dialog / floor, empty folder", ratio.get("--no-dialog, empty folder"), "<=",
              1.5, "×"),
             ("terminal with no display / floor", ratio.get("terminal, no display"), "<=", 2,
              "×"),
             ("shared objects initialised, --no-dialog", objects["vardel --no-dialog"], "<=", 8,
              ""),
             ("dialog under X: window mapped",
              absolute.get("dialog under X: its window mapped", float("nan")) * 1e3, "<=", 60,
              "ms")]
    return [target for target in found if target[1] is not None]


class XServer:
    """An Xvfb server of our own for the rows under X. It is not reset when its last client
    leaves: Xvfb 21.1 here then stops taking connections, and the next row's runs die."""

    def __enter__(self):
        read, write = os.pipe()
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x24", "-nolisten",
             "tcp", "-noreset"], pass_fds=[write], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(read, 16)
            if not chunk:
                sys.exit("Xvfb did not start")
            number += chunk
        os.close(read)
        return ":" + number.decode().strip()

    def __exit__(self, *_):
        self.server.terminate()
        self.server.wait()


def main():
    build = sys.argv[1]
    pairs = int(sys.argv[2]) if len(sys.argv) > 2 else PAIRS
    with XServer() as display:
        results, objects = measure(build, display, pairs)
    print_table(results, objects)
    for what, value, sense, goal, unit in targets(results, objects):
        met = value <= goal if sense == "<=" else value >= goal
        print("%s: %.2f %s (%s %s) %s" % (what, value, unit, sense, goal,
                                         "met" if met else "NOT met"))


if __name__ == "__main__":
    main()
