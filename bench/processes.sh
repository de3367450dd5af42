#!/usr/bin/env bash
# Compares `vantor-cli processes` with `ps -e -o comm=` while 500 extra
# processes sleep, in the same run, and prints both medians and their ratio
# (goal: at most 0.25; the script exits 1 above it) and the peak memory of both.
#
#   bench/processes.sh [BUILD_DIR]        (default: build)
# Environment: EXTRA (processes to add, 500), ROUNDS (10) of RUNS (20) runs of
# each command.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/bench/table.sh"
build=${1:-$root/build}
cli=$build/bin/vantor-cli
poll=$build/bench/process_poll_bench
extra=${EXTRA:-500}
rounds=${ROUNDS:-10}
runs=${RUNS:-20}
target=0.25

command -v hyperfine >/dev/null || { echo "processes.sh: hyperfine is needed" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "processes.sh: /usr/bin/time is needed (Debian package: time)" >&2; exit 2; }
[ -x "$cli" ] || { echo "processes.sh: $cli is not built" >&2; exit 2; }

work=$(mktemp -d)
sleepers=()
cleanup() {
    if [ ${#sleepers[@]} -gt 0 ]; then
        kill "${sleepers[@]}" 2>/dev/null || true
        wait "${sleepers[@]}" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

for ((i = 0; i < extra; i++)); do
    sleep 600 &
    sleepers+=($!)
done

# Both tools must see the same processes before their times mean anything.
ours=$("$cli" processes | wc -l)
theirs=$(ps -e -o comm= | wc -l)
sleeping=$("$cli" processes | grep -c ' sleep$' || true)
echo "processes listed: vantor-cli $ours, ps $theirs (sleep: $sleeping of $extra added)"
if [ "$sleeping" -lt "$extra" ]; then
    echo "processes.sh: vantor-cli misses sleeping processes" >&2
    exit 1
fi

# Rounds of both commands in turn, so that a change in the machine's load
# weighs on both alike; the medians and the ratio are the medians over rounds.
for ((r = 1; r <= rounds; r++)); do
    hyperfine -N --output=pipe --warmup 3 --runs "$runs" --style none \
        --export-csv "$work/round$r.csv" \
        -n vantor-cli "$cli processes" \
        -n ps "ps -e -o comm=" >"$work/hyperfine.txt" 2>&1 || { cat "$work/hyperfine.txt" >&2; exit 1; }
done

# CSV columns: command,mean,stddev,median,user,system,min,max (seconds).
read -r ours theirs ratio < <(awk -F, '
    function median(a, n,    i, j, t) {
        for (i = 2; i <= n; i++) for (j = i; j > 1 && a[j - 1] > a[j]; j--) { t = a[j]; a[j] = a[j - 1]; a[j - 1] = t }
        return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
    }
    FNR == 1 { next }
    $1 == "vantor-cli" { ours[++n] = $4 }
    $1 == "ps" { theirs[n] = $4; ratio[n] = ours[n] / $4 }
    END { printf "%.3f %.3f %.4f\n", median(ours, n) * 1000, median(theirs, n) * 1000, median(ratio, n) }' "$work"/round*.csv)
verdict=$(awk -v r="$ratio" -v t="$target" 'BEGIN { print (r <= t ? "met" : "NOT met") }')
echo "$rounds rounds of $runs runs each"
echo "median vantor-cli processes: $ours ms"
echo "median ps -e -o comm=:       $theirs ms"
echo "ratio vantor-cli / ps:       $ratio (target <= $target: $verdict)"

# Peak memory: the median of five runs of each.
peak() {
    for _ in 1 2 3 4 5; do /usr/bin/time -f "%M" "$@" 2>&1 >/dev/null | tail -1; done | sort -n | sed -n 3p
}
mem_ours=$(peak "$cli" processes)
mem_theirs=$(peak ps -e -o comm=)
echo "peak memory: vantor-cli $mem_ours KiB, ps $mem_theirs KiB"

bench_row "vantor-cli processes, $extra extra processes" "$(printf '%.2f ms' "$ours")" \
    "$(printf 'ps -e -o comm= %.2f ms' "$theirs")" "$(printf '%.3f' "$ratio")" "<= $target" "$verdict"
bench_row "vantor-cli processes, peak memory" "$(awk -v m="$mem_ours" 'BEGIN { printf "%.1f MB", m / 1024 }')" \
    "$(awk -v m="$mem_theirs" 'BEGIN { printf "ps %.1f MB", m / 1024 }')" \
    "$(awk -v a="$mem_ours" -v b="$mem_theirs" 'BEGIN { printf "%.2f", a / b }')" "-"

# The poll as the run does it, inside one process (no program start).
if [ -x "$poll" ]; then
    "$poll" 200
fi
[ "$verdict" = met ]
