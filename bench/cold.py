#!/usr/bin/python3
"""A library's first run, on a local disk whose page cache holds none of it: 2000 files of
about 130 KB (an ID3v2.3 tag with a 64 KiB cover, then an ID3v1 trailer, made by lame and
mutagen) in folders of 100, copied afresh, written back and dropped from the page cache (its
inodes and folders too) before each row runs. Vardel against the floor program on one
process and on one process per folder, and mid3v2. After the drop each row's command first
runs once on an empty folder, untimed, so that the programs themselves (Python and mutagen
for mid3v2) are in the cache again and only the library is cold.

  cold.py BUILD_DIR CORPUS_DIR [RUNS]

Dropping the page cache takes root: elsewhere the row is skipped, with one line saying so.
"""
import os
import shutil
import statistics
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../tests/support"))
import corpus  # noqa: E402
import mp3  # noqa: E402
import storage_rows  # noqa: E402

DROP_CACHES = "/proc/sys/vm/drop_caches"
DROP_ALL = "3"  # the page cache, and the dentries and inodes


def cold_copy(source, target):
    shutil.rmtree(target, ignore_errors=True)
    subprocess.run(["cp", "-a", source, target], check=True)
    os.sync()
    with open(DROP_CACHES, "w") as f:
        f.write(DROP_ALL)


def main():
    build, corpora = sys.argv[1], sys.argv[2]
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    if os.geteuid() != 0 or not os.access(DROP_CACHES, os.W_OK):
        print("cold-cache row: skipped (dropping the page cache takes root)")
        return
    source = corpus.make(corpora, "cold")
    folders = len([f for f in os.listdir(source) if os.path.isdir(os.path.join(source, f))])
    target = os.path.join(corpora, "cold-run")
    empty = os.path.join(corpora, "cold-empty")
    os.makedirs(empty, exist_ok=True)
    rows = storage_rows.rows(build, folders)
    times = {name: [] for name in rows}
    left = {}
    for _ in range(runs):  # the rows in turn, so that the machine's drift touches them alike
        for name, command in rows.items():
            cold_copy(source, target)
            storage_rows.timed(command(empty))
            times[name].append(storage_rows.timed(command(target)))
            left[name] = mp3.count_tagged(target)
    shutil.rmtree(target, ignore_errors=True)
    storage_rows.print_header("page cache")
    storage_rows.print_rows("cold", "%d x 130 KB" % corpus.COLD_FILES, folders,
                            {name: (statistics.median(times[name]), left[name]) for name in rows})


if __name__ == "__main__":
    main()
