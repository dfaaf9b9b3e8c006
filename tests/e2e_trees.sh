# The generated trees of the end-to-end suite and how their files are judged afterwards; sourced
# by e2e.sh, which sets $work.
tree() {  # tree DIR [COUNT]: a generated tree of tagged files, some in nested folders
  python3 - "$work/$1" "${2:-400}" <<'PY'
import os, sys
root, count = sys.argv[1], int(sys.argv[2])
tag = b"ID3\x03\x00\x00\x00\x00\x08\x00" + b"\x01" * 1024
trailer = b"TAG" + b"\x01" * 125
contents = [tag + bytes([(k + j) % 250 + 1 for j in range(3000)]) + trailer for k in range(250)]
for folder in {os.path.join(root, "d%02d" % (i % 20), "e%d" % (i % 3)) for i in range(60)}:
    os.makedirs(folder)
for i in range(count):
    folder = os.path.join(root, "d%02d" % (i % 20), "e%d" % (i % 3))
    with open(os.path.join(folder, "t%06d.mp3" % i), "wb") as f:
        f.write(contents[i % 250])
PY
  sync  # written back before the run, whose truncations would wait on it
}
states() {  # states DIR: how many of a generated tree's files are "cleaned untouched other"
  python3 - "$work/$1" <<'PY'
import os, sys
counts = {"cleaned": 0, "untouched": 0, "other": 0}
for top, _, names in os.walk(sys.argv[1]):
    for name in names:
        data = open(os.path.join(top, name), "rb").read()
        if len(data) == 4034 and data[:1034] == bytes(1034) and 0 not in data[1034:]:
            counts["cleaned"] += 1
        elif len(data) == 4162 and data[:3] == b"ID3" and data[-128:-125] == b"TAG":
            counts["untouched"] += 1
        else:
            counts["other"] += 1
print(counts["cleaned"], counts["untouched"], counts["other"])
PY
}
exactly_cleaned() {  # exactly_cleaned DIR: every file of a names_tree is its tag zeroed, no trailer
  python3 - "$work/$1" <<'PY'
import os, sys
want = bytes(1034) + bytes([j % 250 + 1 for j in range(3000)])
files = [os.path.join(top, n) for top, _, names in os.walk(sys.argv[1]) for n in names]
sys.exit(0 if files and all(open(f, "rb").read() == want for f in files) else 1)
PY
}
wpath() { echo "Z:${1//\//\\}"; }
# names_tree DIR: a tagged file under each of these names, in folders so named, at two depths:
# scripts outside a Western code page, a character outside the Basic Multilingual Plane,
# combining marks, right-to-left text, and a name of over 200 bytes in UTF-8.
names_tree() {
  python3 - "$work/$1" <<'PY'
import os, sys
root = sys.argv[1]
data = b"ID3\x03\x00\x00\x00\x00\x08\x00" + b"\x01" * 1024 + bytes([j % 250 + 1 for j in range(3000)])
names = ["Björk - Jóga", "plain ascii", "Кино - Кукушка", "坂本龍一 - Merry Christmas",
         "emoji \U0001F3B5 song", "Μίκης Θεοδωράκης", "Cafe\u0301 combining", "فيروز - نسم علينا",
         "שלום חברים", "長" * 68]
for folder in ["", "Кириллица", "音楽 \U0001F3B6/Ελληνικά", "עברית/فولدر"]:
    os.makedirs(os.path.join(root, folder), exist_ok=True)
    for name in names:
        with open(os.path.join(root, folder, name + ".mp3"), "wb") as f:
            f.write(data + b"TAG" + b"\x01" * 125)
PY
}
