# The generated trees of the end-to-end suite and how their files are judged afterwards, made by
# support/mp3.py; sourced by e2e.sh, which sets $work.
mp3_py=$(realpath "$(dirname "${BASH_SOURCE[0]}")/support/mp3.py")
tree() {  # tree DIR [COUNT]: a generated tree of tagged files, some in nested folders
  python3 "$mp3_py" tree "$work/$1" "${2:-400}"
  sync  # written back before the run, whose truncations would wait on it
}
names_tree() { python3 "$mp3_py" names "$work/$1"; }  # a file under each of many scripts' names
states() { python3 "$mp3_py" states "$work/$1"; }  # counts of "cleaned untouched other"
exactly_cleaned() { python3 "$mp3_py" exactly-cleaned "$work/$1"; }  # a names_tree, all cleaned
wpath() { echo "Z:${1//\//\\}"; }
