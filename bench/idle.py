#!/usr/bin/python3
"""The dialog's thread's share of a core while nothing is asked of it (a "Confirm" box open,
the largest tags being zeroed), against a busy run: from the thread's own CPU time over a
window of the run."""
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../tests/support"))
import mp3  # noqa: E402


def thread_cpu_ns(pid):
    """CPU time of a process's main thread, the dialog's thread, in nanoseconds."""
    with open("/proc/%d/task/%d/schedstat" % (pid, pid)) as f:
        return int(f.read().split()[0])


def dialog_share(command, env, after, window):
    """The dialog's thread's share of a core over a window of the run that starts after
    `after` seconds; None when the program ended before the window closed."""
    process = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    try:
        time.sleep(after)
        start_ns, started = thread_cpu_ns(process.pid), time.perf_counter()
        time.sleep(window)
        used = thread_cpu_ns(process.pid) - start_ns
        share = used / ((time.perf_counter() - started) * 1e9)
        return share if process.poll() is None else None
    except FileNotFoundError:
        return None
    finally:
        process.kill()
        process.wait()


def largest_tags(folder, count):
    """Files whose ID3v2 tag is as large as the format allows, 256 MiB, all of it inside the
    file (sparse, so that only the zeroing writes it)."""
    os.makedirs(folder, exist_ok=True)
    size = (1 << 28) - 1
    for n in range(count):
        with open(os.path.join(folder, "large%d.mp3" % n), "wb") as f:
            f.write(mp3.header(size))
            f.truncate(mp3.HEADER_SIZE + size)


def measure(vardel, offscreen, x, work, busy_folder):
    """What the dialog's thread costs while nothing is asked of it, against a busy run over
    busy_folder; offscreen and x are the environments of the two renderings."""
    scratch = tempfile.mkdtemp(dir="/dev/shm" if os.path.isdir("/dev/shm") else work)
    try:
        largest_tags(os.path.join(scratch, "large"), 8)
        shifted = os.path.join(scratch, "confirm")
        os.makedirs(shifted)
        open(os.path.join(shifted, "a.mp3"), "wb").close()
        holder = subprocess.Popen(["xdotool", "keydown", "shift", "sleep", "30"],
                                  env=x, stdout=subprocess.DEVNULL)
        try:
            confirm = dialog_share([vardel, shifted], x, 1.0, 2.0)
        finally:
            holder.kill()
            holder.wait()
            subprocess.call(["xdotool", "keyup", "shift"], env=x)
        zeroing = dialog_share([vardel, os.path.join(scratch, "large")], offscreen,
                               0.3, 0.5)
        busy = dialog_share([vardel, busy_folder, busy_folder, busy_folder, busy_folder],
                            offscreen, 0.1, 0.3)
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    return {"a \"Confirm\" box open (X)": confirm, "256 MiB tags being zeroed": zeroing,
            "for comparison, a run over empty files": busy}
