# The generated trees of the end-to-end suite and how their files are judged afterwards, all made
# by support/mp3.py; sourced by e2e.sh, which sets $work.
mp3_py=$(realpath "$(dirname "${BASH_SOURCE[0]}")/support/mp3.py")
tree() {  # tree DIR [COUNT]: a generated tree of tagged files, some in nested folders
  python3 "$mp3_py" tree "$work/$1" "${2:-400}"
  sync  # written back before the run, whose truncations would wait on it
}
states() { python3 "$mp3_py" states "$work/$1"; }  # states DIR: "cleaned untouched other"
# exactly_cleaned DIR: every file of a names_tree is its tag zeroed, no trailer
exactly_cleaned() { python3 "$mp3_py" exactly-cleaned "$work/$1"; }
wpath() { echo "Z:${1//\//\\}"; }
# names_tree DIR: a tagged file under each of many names (scripts outside a Western code page,
# a character outside the Basic Multilingual Plane, combining marks, right-to-left text, a name
# of over 200 bytes in UTF-8), in folders so named, at two depths.
names_tree() { python3 "$mp3_py" names "$work/$1"; }
