#!/usr/bin/python3
"""A library's first run on a local disk whose cache holds none of it: 2000 files of 130 KB
(corpus.py's "cold", made by lame and mutagen) in folders of 100, copied afresh, written back
and dropped from the page cache, inodes and folders too, before each row; each row's command
runs once on an empty folder first, so that only the library is cold, not the programs.
Dropping the cache takes root: elsewhere one line says the row is skipped.

  cold.py BUILD_DIR CORPUS_DIR [RUNS]
"""
import contextlib
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../tests/support"))
import corpus  # noqa: E402
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
    target, empty = os.path.join(corpora, "cold-run"), os.path.join(corpora, "cold-empty")
    os.makedirs(empty, exist_ok=True)

    @contextlib.contextmanager
    def ready(command):
        cold_copy(source, target)
        storage_rows.timed(command(empty))
        yield target, target

    figures = storage_rows.measure(storage_rows.rows(build, folders), runs, ready)
    shutil.rmtree(target, ignore_errors=True)
    storage_rows.print_header("page cache")
    storage_rows.print_rows("cold", "%d x 130 KB" % corpus.COLD_FILES, folders, figures)


if __name__ == "__main__":
    main()
