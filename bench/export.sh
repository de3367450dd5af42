#!/usr/bin/env bash
# The history's exports and listing over a large history (100,000 runs by
# default) against the sqlite3 shell producing the same rows from the same file:
#   - export CSV:   `vantor-cli export --format csv` against `sqlite3 -csv` of one
#                   row per pass with the run's fields and every setting and
#                   hardware value as a column (the export's own header names
#                   them);
#   - export JSON:  `vantor-cli export --format json` against `sqlite3 -json` of
#                   the same rows;
#   - listing:      `vantor-cli history` against the list's query
#                   (HistoryStore::listQuery, printed by history_fill --query).
# Median wall time of alternating runs (one of each per round, so a change in
# the machine's load touches both alike) and the peak memory (resident) of each.
# Goals: time at most 1.5 x sqlite3's, memory at most 100 MB; the script exits 1
# when one is missed. The outputs are checked to hold the same rows first.
#
#   bench/export.sh [--runs N] [--count RUNS]
#
# The programs come from $VANTOR_BUILD (default: build/ in the repo); build them with
#   cmake --build <build dir> --target vantor-cli history_fill
# sqlite3: Debian package sqlite3; /usr/bin/time: Debian package time.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$repo/bench/table.sh"
build=${VANTOR_BUILD:-$repo/build}
cli=$build/bin/vantor-cli
fill=$build/bench/history_fill
runs=3
count=100000
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
[ -x /usr/bin/time ] || { echo "missing /usr/bin/time (Debian package: time)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/export-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
export XDG_DATA_HOME=$work/data
db=$XDG_DATA_HOME/Quorvane/Vantor/history.db
echo "filling a history of $count runs ..."
"$fill" "$db" "$count"
"$fill" --query >"$work/list.sql"

# The rows of the CSV export in SQL: the export's header names the value columns.
"$cli" export --format csv >"$work/ours.csv"
python3 - "$work/ours.csv" >"$work/rows.sql" <<'PY'
import sys
with open(sys.argv[1], encoding="utf-8", newline="") as f:
    header = f.readline().rstrip("\r\n").split(",")
cols, pivots = [], []
for i, name in enumerate(header[13:]):
    kind, _, value = name.partition(":")
    cols.append(f"v.c{i}")
    pivots.append(f"max(CASE WHEN kind = '{kind}' AND name = '{value}' THEN value END) AS c{i}")
print("SELECT r.id, r.time, r.started, r.version, r.demo, r.status, r.report, p.position + 1,"
      " p.width || '\u00d7' || p.height, p.width, p.height, p.score, p.seconds"
      + "".join(", " + c for c in cols) +
      " FROM runs r LEFT JOIN passes p ON p.run_id = r.id LEFT JOIN (SELECT run_id, "
      + ", ".join(pivots) + " FROM run_values GROUP BY run_id) v ON v.run_id = r.id ORDER BY r.id, p.position;")
PY

# Both hold the same rows: as many, of the same runs in the same order.
sqlite3 -csv "$db" <"$work/rows.sql" >"$work/theirs.csv"
ours_rows=$(($(wc -l <"$work/ours.csv") - 1))
theirs_rows=$(wc -l <"$work/theirs.csv")
ours_ids=$(tail -n +2 "$work/ours.csv" | cut -d, -f1 | sha256sum)
theirs_ids=$(cut -d, -f1 "$work/theirs.csv" | sha256sum)
if [ "$ours_rows" -ne "$theirs_rows" ] || [ "$ours_ids" != "$theirs_ids" ]; then
    echo "export.sh: vantor-cli wrote $ours_rows rows, sqlite3 $theirs_rows, or of other runs" >&2
    exit 1
fi
echo "same rows: $ours_rows (one per pass, $count runs)"
rm -f "$work/ours.csv" "$work/theirs.csv"

status=0
python3 - "$cli" "$db" "$work" "$runs" "$count" <<'PY' || status=$?
import os, statistics, subprocess, sys, time
cli, db, work, runs, count = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4]), int(sys.argv[5])
rows = open(os.path.join(work, "rows.sql")).read()
listing = open(os.path.join(work, "list.sql")).read()
pairs = [
    ("export CSV", [cli, "export", "--format", "csv"], ["sqlite3", "-csv", db, rows]),
    ("export JSON", [cli, "export", "--format", "json"], ["sqlite3", "-json", db, rows]),
    ("history list", [cli, "history"], ["sqlite3", db, listing]),
]

def run(argv):
    """Wall seconds and peak resident KiB of one run. /usr/bin/time reports the
    memory: a child of this interpreter would count the interpreter's pages."""
    start = time.perf_counter()
    done = subprocess.run(["/usr/bin/time", "-f", "%M"] + argv, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                          text=True)
    wall = time.perf_counter() - start
    if done.returncode != 0:
        sys.exit(f"{argv[0]} {argv[1]} ended with status {done.returncode}: {done.stderr}")
    return wall, int(done.stderr.strip().splitlines()[-1])

table = os.environ.get("VANTOR_BENCH_TABLE")
ok = True
print(f"{count} runs, {runs} alternating runs each (after one warm-up)")
print(f"{'':14}{'vantor-cli':>12}{'sqlite3':>10}{'ratio':>7}{'memory':>10}{'sqlite3':>9}")
for name, ours, theirs in pairs:
    run(ours), run(theirs)  # warm-up
    t, m = {"ours": [], "theirs": []}, {"ours": [], "theirs": []}
    for _ in range(runs):
        for who, argv in (("ours", ours), ("theirs", theirs)):
            wall, rss = run(argv)
            t[who].append(wall)
            m[who].append(rss)
    to, tt = statistics.median(t["ours"]), statistics.median(t["theirs"])
    mo, mt = max(m["ours"]) / 1024, max(m["theirs"]) / 1024
    ratio = to / tt
    ok_t, ok_m = ratio <= 1.5, mo <= 100
    ok = ok and ok_t and ok_m
    print(f"{name:14}{to:10.2f} s{tt:8.2f} s{ratio:7.2f}{mo:7.1f} MB{mt:6.1f} MB"
          f"  time {'ok' if ok_t else 'OVER'}, memory {'ok' if ok_m else 'OVER'}")
    if table:
        with open(table, "a") as f:
            verdict = lambda good: "met" if good else "NOT met"
            f.write(f"{name}, {count} runs (time)\t{to:.2f} s\tsqlite3 same rows {tt:.2f} s\t{ratio:.2f}\t<= 1.5"
                    f"\t{verdict(ok_t)}\n")
            f.write(f"{name}, {count} runs (peak memory)\t{mo:.1f} MB\tsqlite3 {mt:.1f} MB\t{mo / mt:.2f}\t<= 100 MB"
                    f"\t{verdict(ok_m)}\n")
sys.exit(0 if ok else 1)
PY
exit $status
