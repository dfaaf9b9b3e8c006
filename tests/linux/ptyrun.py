"""The program on a pseudo-terminal of its own, and the test files the terminal suite cleans."""
import fcntl
import os
import re
import select
import struct
import subprocess
import sys
import tempfile
import termios
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import mp3  # noqa: E402

TAG = 512  # each test file's ID3v2 tag, header not counted
AUDIO = b"\xff\xfb\x90\x64" + bytes(range(256)) * 4
END = mp3.trailer(b"t" * (mp3.TRAILER_SIZE - len(mp3.MARKER)))


def original(n):
    return mp3.build(bytes([n % 251 + 1]) * TAG, AUDIO, END)


CLEANED = mp3.cleaned(TAG, AUDIO)


def make_tree(root, folders, files):
    mp3.write_tree(root, {os.path.join(f"album{f:03d}", f"track{n:03d}.mp3"): original(n)
                          for f in range(folders) for n in range(files)})


def state(path):
    """"cleaned", "untouched" or "damaged": a file trackN*.mp3 held original(N)."""
    with open(path, "rb") as f:
        data = f.read()
    n = int(os.path.basename(path)[5:8])
    return "cleaned" if data == CLEANED else "untouched" if data == original(n) else "damaged"


def states(root):
    """How many files are cleaned, untouched, and neither."""
    kinds = [state(os.path.join(top, name)) for top, _, names in os.walk(root) for name in names]
    return {kind: kinds.count(kind) for kind in ("cleaned", "untouched", "damaged")}


class Run:
    """The program on a new pseudo-terminal of the given size."""

    def __init__(self, vardel, args, columns=80, rows=24, prefix=(), display=None):
        self.master, self.slave = os.openpty()
        self.resize(columns, rows)
        env = {"PATH": os.environ["PATH"], "TERM": "xterm", "LANG": "C.UTF-8",
               "HOME": tempfile.gettempdir()}
        if display is not None:
            env["DISPLAY"] = display
        self.started = time.monotonic()
        self.process = subprocess.Popen(
            list(prefix) + [vardel] + args, stdin=self.slave, stdout=self.slave,
            stderr=self.slave, env=env, start_new_session=True,
            preexec_fn=lambda: fcntl.ioctl(0, termios.TIOCSCTTY, 0))
        self.out = b""

    def resize(self, columns, rows):
        fcntl.ioctl(self.slave, termios.TIOCSWINSZ, struct.pack("HHHH", rows, columns, 0, 0))

    def pump(self, seconds):
        if self.master is None:
            return
        readable, _, _ = select.select([self.master], [], [], seconds)
        if readable:
            try:
                self.out += os.read(self.master, 65536)
            except OSError:
                pass

    def drain(self, seconds):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            self.pump(0.01)

    def until(self, needle, seconds=10):
        deadline = time.monotonic() + seconds
        while needle not in self.out and time.monotonic() < deadline:
            self.pump(0.01)
        return needle in self.out

    def confirm_asked(self, other_than=None, seconds=10):
        """The name of the file the newest "Confirm" box asks about, once it is not
        other_than; None when none is asked within the time."""
        box = rb"\x1b\[7mConfirm\x1b\[m  \[y/n\]\x1b\[K\r\n[^\x1b]*/(track\d+\.mp3)"
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            asked = re.findall(box, self.out)
            if asked and asked[-1].decode() != other_than:
                return asked[-1].decode()
            self.pump(0.01)
        return None

    def send(self, keys):
        os.write(self.master, keys)

    def wait(self, seconds=15):
        deadline = time.monotonic() + seconds
        while self.process.poll() is None and time.monotonic() < deadline:
            self.pump(0.01)
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
            return None
        self.pump(0.05)
        return self.process.returncode

    def hang_up(self):
        os.close(self.master)
        self.master = None

    def restored(self):
        """Echo and line editing back on, the cursor shown after it was last hidden, and the
        normal screen after the alternate one."""
        lflag = termios.tcgetattr(self.slave)[3]
        out = self.out
        return (lflag & termios.ECHO != 0 and lflag & termios.ICANON != 0
                and out.rfind(b"\x1b[?25h") > out.rfind(b"\x1b[?25l")
                and out.rfind(b"\x1b[?1049l") > out.rfind(b"\x1b[?1049h") >= 0)

    def widest_line(self, since=0):
        """The widest line of the pictures drawn after since, in characters shown."""
        # Every control sequence ends what is counted as a line: a picture starts with one.
        text = re.sub(rb"\x1b\[[0-9;?]*[A-Za-z]", b"\n", self.out[since:])
        lines = re.split(rb"\r\n|\n|\r|\x1b", text)
        return max((len(line.decode("utf-8", "replace")) for line in lines), default=0)

    def close(self):
        for fd in (self.master, self.slave):
            if fd is not None:
                os.close(fd)


class HeldShift:
    """Shift held down on the display by a client that stays until released."""

    def __init__(self, display):
        self.env = dict(os.environ, DISPLAY=display)
        self.holder = subprocess.Popen(["xdotool", "keydown", "shift", "sleep", "60"],
                                       env=self.env)
        time.sleep(0.3)

    def release(self):
        self.holder.kill()
        self.holder.wait()
        subprocess.run(["xdotool", "keyup", "shift"], env=self.env)
        time.sleep(0.3)


def file_states(root):
    return [state(os.path.join(root, "album000", f"track{n:03d}.mp3")) for n in range(5)]
