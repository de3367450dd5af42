#!/usr/bin/env bash
# Loads settings hives of 1, 4 and 16 MB of values (hive_load_bench: the load
# start-up does, then a lookup of every value by name) and reads the same files
# with cat(1): median wall time of alternating runs and the ratio per size. A
# load that takes time in proportion to the file keeps the ratio flat across
# the sizes; one that grows with the square of the size does not.
#
#   bench/hive_load.sh [--runs N]
#
# Files are read from the page cache (every command runs once to warm up, then
# N times, default 7). The program is taken from $VANTOR_BUILD/bench (default:
# build/ in the repo); build it with: cmake --build <build dir> --target hive_load_bench
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VANTOR_BUILD:-$repo/build}
bench=$build/bench/hive_load_bench
runs=7
while [ $# -gt 0 ]; do
    case $1 in
    --runs) runs=$2; shift ;;
    *) echo "usage: $0 [--runs N]" >&2; exit 2 ;;
    esac
    shift
done
[ -x "$bench" ] || { echo "missing $bench (set VANTOR_BUILD or build target hive_load_bench)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/hive-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# A hive of about $2 MB: the settings key with most of the values, then 200
# further keys of ten values each, as a long-used registry export might hold.
generate() {
    python3 - "$1" "$2" <<'PY'
import sys
path, mb = sys.argv[1], int(sys.argv[2])
target = mb * 1024 * 1024
out = ["Windows Registry Editor Version 5.00", "", "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane\\Vantor]"]
size = sum(len(l) + 2 for l in out)
tail = []
for k in range(200):
    tail.append("")
    tail.append("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane\\Vantor\\Sub%d]" % k)
    tail += ['"Value%d"="text of value %d in key %d"' % (v, v, k) for v in range(10)]
    tail.append('"Flags"=dword:%08x' % k)
tail_size = sum(len(l) + 2 for l in tail)
i = 0
while size + tail_size < target:
    line = '"Value%d"="C:\\\\Program Files\\\\Steam\\\\SteamApps\\\\common\\\\Half-Life 2 \\"%d\\""' % (i, i)
    out.append(line)
    size += len(line) + 2
    i += 1
with open(path, "w", newline="") as f:
    f.write("\r\n".join(out + tail) + "\r\n")
print("%d MB hive: %d bytes, %d values in the first key" % (mb, size + tail_size, i))
PY
}

compare() {
    python3 - "$runs" "$@" <<'PY'
import os, statistics, subprocess, sys, time
runs, bench, path, mb = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
cmds = [[bench, path], ["cat", path]]
def run(cmd):
    t0 = time.perf_counter()
    p = subprocess.Popen(cmd, stdout=subprocess.DEVNULL)
    _, status, ru = os.wait4(p.pid, 0)
    wall = time.perf_counter() - t0
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit("%s failed" % cmd[0])
    return wall, ru.ru_utime + ru.ru_stime
for c in cmds:
    run(c)  # warm-up
res = [[], []]
for _ in range(runs):
    for k, c in enumerate(cmds):
        res[k].append(run(c))
med = [[statistics.median(r[i] for r in res[k]) for i in range(2)] for k in range(2)]
print("%2s MB: median of %d alternating runs, wall: load %.1f ms, cat %.1f ms, ratio load/cat %.1f; "
      "CPU: load %.1f ms, cat %.1f ms, ratio %.1f"
      % (mb, runs, med[0][0] * 1e3, med[1][0] * 1e3, med[0][0] / med[1][0],
         med[0][1] * 1e3, med[1][1] * 1e3, med[0][1] / max(med[1][1], 1e-4)))
PY
}

for mb in 1 4 16; do
    file=$work/hive$mb.reg
    generate "$file" "$mb"
    found=$("$bench" "$file")
    echo "values found by name: $found"
    compare "$bench" "$file" "$mb"
done
