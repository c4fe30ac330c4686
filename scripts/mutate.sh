#!/usr/bin/env bash
# Puts realistic faults into the program one at a time and reports which ones
# the tests let through. Run on demand (it takes about a minute per fault):
#
#   scripts/mutate.sh [--check] [--only 3,17] [--from N] [--build DIR] [--timeout S] [catalogue]
#
# It builds in its own folder (default build-mutate, linked with lld when there
# is one, since relinking every test program is most of the time per fault).
# The catalogue (default scripts/mutants.txt) holds one fault per block:
#   file: path from the source root
#   from: exact text in that file (the first occurrence is replaced)
#   to:   the faulty text
#   why:  what the fault is
# A "\n" inside from/to stands for a line break (with the next line's
# indentation written out). A fault whose text no longer occurs is reported
# as not applicable. --check only says which faults still apply.
# Each fault: edit the file, build incrementally, run the test programs until
# the first failing test, put the file back. The file is restored on interrupt too.
set -uo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
catalogue="scripts/mutants.txt"
build="build-mutate"
only=""
first=1
check=0
timeout=300
while [ $# -gt 0 ]; do
    case "$1" in
    --check) check=1 ;;
    --only) only=",$2,"; shift ;;
    --from) first="$2"; shift ;;
    --build) build="$2"; shift ;;
    --timeout) timeout="$2"; shift ;;
    -h|--help) sed -n '2,20p' "$0"; exit 0 ;;
    *) catalogue="$1" ;;
    esac
    shift
done
[[ "$build" = /* ]] || build="$root/$build" # the test programs run from inside it
jobs="${MUTATE_JOBS:-2}"
export CMAKE_CXX_COMPILER_LAUNCHER="${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}"
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(dirname "$root")}" CCACHE_NOHASHDIR=1

# The catalogue as NUL-separated records: number, file, from, to, why.
entries=$(mktemp)
python3 - "$catalogue" > "$entries" <<'PY' || exit 2
import sys
blocks, cur = [], {}
for raw in open(sys.argv[1], encoding="utf-8"):
    line = raw.rstrip("\n")
    if line.startswith("#"):
        continue
    if not line.strip():
        if cur: blocks.append(cur); cur = {}
        continue
    key, _, value = line.partition(":")
    if key not in ("file", "from", "to", "why"):
        sys.exit(f"catalogue: unexpected line: {line}")
    cur[key] = value[1:] if value.startswith(" ") else value
if cur: blocks.append(cur)
for i, b in enumerate(blocks, 1):
    if set(b) != {"file", "from", "to", "why"}:
        sys.exit(f"catalogue: fault {i} lacks a field")
    for k in ("file", "from", "to", "why"):
        sys.stdout.write(b[k].replace("\\n", "\n") if k in ("from", "to") else b[k])
        sys.stdout.write("\0")
PY

apply_fault() { # file from to -> 0 applied, 1 text not found
    python3 - "$1" "$2" "$3" <<'PY'
import sys
path, old, new = sys.argv[1:]
text = open(path, encoding="utf-8", newline="").read()
if old not in text:
    sys.exit(1)
open(path, "w", encoding="utf-8", newline="").write(text.replace(old, new, 1))
PY
}

backup=""
target=""
restore() {
    if [ -n "$target" ] && [ -n "$backup" ]; then
        cp "$backup" "$target"
        rm -f "$backup"
    fi
    target=""
    backup=""
}
trap 'restore; rm -f "$entries"; exit 130' INT TERM
trap 'restore; rm -f "$entries"' EXIT

build_all() { cmake --build "$build" -j "$jobs" > "$build/mutate-build.log" 2>&1; }
# The test programs themselves, slowest first so that the quick ones fill in
# beside them, each running all its tests in one process and stopping at its
# first failure (much quicker than a process per test); the first failing
# program stops the rest. Prints what failed.
order="$build/mutate-order.txt"
run_one() { # program log-folder timeout
    local name start rc
    name=$(basename "$1")
    start=$(date +%s%N)
    (cd "$(dirname "$1")" && timeout "$3" "$1" --gtest_fail_fast --gtest_brief=1 > "$2/$name.log" 2>&1)
    rc=$?
    echo "$(( ($(date +%s%N) - start) / 1000000 )) $1" >> "$2/timing"
    if [ $rc -ne 0 ]; then
        local failed
        failed=$(grep -m1 -E '^\[  FAILED  \] [A-Za-z]' "$2/$name.log" | sed 's/^\[  FAILED  \] //; s/ (.*//')
        echo "$name: ${failed:-exit status $rc}" >> "$2/failed"
        exit 255 # xargs starts no further program
    fi
}
export -f run_one
run_tests() { # [--time] -> 0 all passed
    local logs="$build/mutate-logs"
    rm -rf "$logs" && mkdir -p "$logs"
    if [ "${1:-}" = --time ]; then
        find "$build/tests" -maxdepth 1 -name "test_*" -type f -executable > "$order"
    fi
    xargs -P "$jobs" -I{} bash -c 'run_one "$1" "$2" "$3"' _ {} "$logs" "$timeout" < "$order" 2> /dev/null
    if [ -s "$logs/failed" ]; then
        head -1 "$logs/failed" | tr -d '\n'
        return 1
    fi
    if [ "${1:-}" = --time ]; then
        sort -rn "$logs/timing" | cut -d' ' -f2- > "$order"
    fi
    return 0
}
if [ $check -eq 0 ]; then
    linker=()
    if command -v ld.lld > /dev/null; then
        linker=(-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld -DCMAKE_SHARED_LINKER_FLAGS=-fuse-ld=lld)
    fi
    cmake --preset default -B "$build" "${linker[@]}" > /dev/null || exit 2
    build_all || { echo "the unchanged program does not build: $build/mutate-build.log"; exit 2; }
    start=$(date +%s)
    if ! run_tests --time; then
        echo " fails on the unchanged program: $build/mutate-test.log"
        exit 2
    fi
    echo "unchanged program: tests pass in $(( $(date +%s) - start )) s"
fi

killed=0 survived=0 missing=0 broken=0 n=0
survivors=""
while IFS= read -r -d '' file && IFS= read -r -d '' from && IFS= read -r -d '' to && IFS= read -r -d '' why; do
    n=$((n + 1))
    if [ "$n" -lt "$first" ] || { [ -n "$only" ] && [[ "$only" != *",$n,"* ]]; }; then
        continue
    fi
    label=$(printf '%2d %-42s %s' "$n" "$file" "$why")
    if [ ! -f "$file" ] || ! grep -qF -- "$(printf '%s' "$from" | head -1)" "$file"; then
        missing=$((missing + 1)); echo "n/a       $label"; continue
    fi
    backup=$(mktemp)
    cp "$file" "$backup"
    target="$file"
    if ! apply_fault "$file" "$from" "$to"; then
        restore; missing=$((missing + 1)); echo "n/a       $label"; continue
    fi
    if [ $check -eq 1 ]; then
        restore; echo "applies   $label"; continue
    fi
    start=$(date +%s)
    if ! build_all; then
        restore; broken=$((broken + 1)); echo "no build  $label"; continue
    fi
    if by=$(run_tests); then
        survived=$((survived + 1)); survivors="$survivors $n"
        echo "SURVIVED  $label ($(( $(date +%s) - start )) s)"
    else
        killed=$((killed + 1))
        echo "killed    $label ($(( $(date +%s) - start )) s; by $by)"
    fi
    restore
done < "$entries"

if [ $check -eq 1 ]; then
    echo "$missing not applicable"
    exit 0
fi
build_all || true # leave the build matching the restored sources
applicable=$((killed + survived))
echo "killed $killed of $applicable ($(( applicable ? 100 * killed / applicable : 0 ))%);" \
     "survivors:${survivors:- none}; not applicable: $missing; not building: $broken"
