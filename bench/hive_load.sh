#!/usr/bin/env bash
# Loads settings hives of 1, 4 and 16 MB of values (hive_load_bench: the load
# start-up does, then a lookup of every value by name) and reads the same files
# with cat(1): median wall time of alternating runs and the ratio per size.
# Flatness: the CPU time of load, lookups and release inside the program (its
# own clock, so the program's start does not hide anything) per MB at 16 MB
# against the same at 1 MB. Goal: at most 1.5; the script exits 1 above it.
#
#   bench/hive_load.sh [--runs N]
#
# Files are read from the page cache (every command runs once to warm up, then
# N times, default 7). The program is taken from $VANTOR_BUILD/bench (default:
# build/ in the repo); build it with: cmake --build <build dir> --target hive_load_bench
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$repo/bench/table.sh"
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
inside = []
for _ in range(runs):
    for k, c in enumerate(cmds):
        res[k].append(run(c))
    out = subprocess.run([bench, path, "--cpu"], stdout=subprocess.PIPE, text=True, check=True).stdout.split()
    inside.append(float(out[1]))
med = [[statistics.median(r[i] for r in res[k]) for i in range(2)] for k in range(2)]
print("%2s MB: median of %d alternating runs, wall: load %.1f ms, cat %.1f ms, ratio load/cat %.1f; "
      "CPU: load %.1f ms, cat %.1f ms, ratio %.1f; inside the program %.1f ms CPU (%.2f ms per MB)"
      % (mb, runs, med[0][0] * 1e3, med[1][0] * 1e3, med[0][0] / med[1][0],
         med[0][1] * 1e3, med[1][1] * 1e3, med[0][1] / max(med[1][1], 1e-4),
         statistics.median(inside), statistics.median(inside) / int(mb)))
# For the shell: wall ms of both, CPU ms per MB inside.
with open(os.environ["HIVE_FIGURES"], "a") as f:
    f.write("%s %.3f %.3f %.4f\n" % (mb, med[0][0] * 1e3, med[1][0] * 1e3, statistics.median(inside) / int(mb)))
PY
}

export HIVE_FIGURES=$work/figures
: >"$HIVE_FIGURES"
for mb in 1 4 16; do
    file=$work/hive$mb.reg
    generate "$file" "$mb"
    found=$("$bench" "$file")
    echo "values found by name: $found"
    compare "$bench" "$file" "$mb"
done

while read -r mb ours cat _; do
    bench_row "settings hive load + lookups, $mb MB (wall)" "$(printf '%.1f ms' "$ours")" \
        "$(printf 'cat %.1f ms' "$cat")" "$(awk -v a="$ours" -v b="$cat" 'BEGIN { printf "%.1f", a / b }')" "-"
done <"$HIVE_FIGURES"
read -r per1 per16 < <(awk '$1 == 1 { a = $4 } $1 == 16 { b = $4 } END { print a, b }' "$HIVE_FIGURES")
flat=$(awk -v a="$per1" -v b="$per16" 'BEGIN { printf "%.2f", b / a }')
verdict=$(awk -v r="$flat" 'BEGIN { print (r <= 1.5 ? "met" : "NOT met") }')
echo "CPU per MB inside the program: $per16 ms at 16 MB, $per1 ms at 1 MB: ratio $flat (goal <= 1.5: $verdict)"
bench_row "settings hive CPU per MB, 16 MB" "$(printf '%.2f ms/MB' "$per16")" "$(printf '1 MB: %.2f ms/MB' "$per1")" \
    "$flat" "<= 1.5" "$verdict"
[ "$verdict" = met ]
