#!/usr/bin/env bash
# Compares `vantor-cli history` over a history of 10,000 stored runs with the
# sqlite3 shell running the same query (HistoryStore::listQuery, printed by
# history_fill --query) on the same file: median wall time of alternating runs
# (one of each per round, so a change in the machine's load touches both alike)
# and their ratio; hyperfine times the same commands as a cross-check. vantor-cli
# opens the file, checks its schema, reads the rows, groups them per run and
# resolution and prints a line per run; sqlite3 prints the rows. Limit: 2 x
# sqlite3; the script exits 1 when the ratio is over it.
#
#   bench/history.sh [--runs N] [--count RUNS]
#
# The programs come from $VANTOR_BUILD (default: build/ in the repo); build them with
#   cmake --build <build dir> --target vantor-cli history_fill
# sqlite3: Debian package sqlite3.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VANTOR_BUILD:-$repo/build}
cli=$build/bin/vantor-cli
fill=$build/bench/history_fill
runs=30
count=10000
while [ $# -gt 0 ]; do
    case $1 in
    --runs) runs=$2; shift ;;
    --count) count=$2; shift ;;
    *) echo "usage: $0 [--runs N] [--count RUNS]" >&2; exit 2 ;;
    esac
    shift
done
for p in "$cli" "$fill"; do
    [ -x "$p" ] || { echo "missing $p (set VANTOR_BUILD or build targets vantor-cli history_fill)" >&2; exit 1; }
done
command -v sqlite3 >/dev/null || { echo "missing sqlite3 (Debian package sqlite3)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/history-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
export XDG_DATA_HOME=$work/data
db=$XDG_DATA_HOME/Quorvane/Vantor/history.db
"$fill" "$db" "$count"
query=$("$fill" --query)

# Both must answer, about the same runs, before they are measured.
lines=$("$cli" history | wc -l)
rows=$(sqlite3 "$db" "$query" | wc -l)
ids=$(sqlite3 "$db" "$query" | cut -d'|' -f1 | uniq | wc -l)
[ "$lines" -eq $((count + 1)) ] && [ "$ids" -eq "$count" ] || {
    echo "vantor-cli printed $lines lines, sqlite3 $ids runs; expected $count runs" >&2
    exit 1
}

status=0
python3 - "$cli" "$db" "$query" "$runs" "$count" "$rows" <<'PY' || status=$?
import os, statistics, subprocess, sys, time
cli, db, query, runs, count, rows = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4]), sys.argv[5], sys.argv[6]
commands = {"vantor-cli": [cli, "history"], "sqlite3": ["sqlite3", db, query]}

def run(argv):
    start = time.perf_counter()
    subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    return time.perf_counter() - start

for _ in range(3):  # warm-up
    for argv in commands.values():
        run(argv)
times = {name: [] for name in commands}
for _ in range(runs):
    for name, argv in commands.items():
        times[name].append(run(argv))
tc, ts = (statistics.median(times[n]) * 1000 for n in ("vantor-cli", "sqlite3"))
ratio = tc / ts
print(f"{count} runs ({rows} pass rows), {runs} alternating runs each (after 3 warm-up rounds)")
print(f"vantor-cli history  {tc:8.1f} ms (median)")
print(f"sqlite3 same query  {ts:8.1f} ms (median)")
ok = ratio <= 2.0
print(f"ratio {ratio:5.2f} (limit 2.00) {'ok' if ok else 'OVER'}")
table = os.environ.get("VANTOR_BENCH_TABLE")
if table:
    with open(table, "a") as f:
        f.write(f"vantor-cli history, {count} runs\t{tc:.1f} ms\tsqlite3 same query {ts:.1f} ms\t{ratio:.2f}\t<= 2.0"
                f"\t{'met' if ok else 'NOT met'}\n")
sys.exit(0 if ok else 1)
PY

if command -v hyperfine >/dev/null; then
    echo "cross-check (hyperfine, one command after the other):"
    hyperfine -N --style basic --warmup 3 --runs "$runs" \
        -n "vantor-cli history" "$cli history" -n "sqlite3" "sqlite3 $db '$query'" 2>/dev/null |
        grep -E "^Benchmark|Time \(mean|times faster" || true
fi
exit $status
