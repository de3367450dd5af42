#!/usr/bin/env bash
# Compares the HTTP transfer (http_download_bench: TCustomHTTP into a file, with
# the header and progress handlers) with curl(1) on a loopback server
# (http_file_server), alternating runs: median wall and CPU time, throughput,
# their ratio, and the peak memory at two file sizes (flat memory: the figure
# does not grow with the file). "vantor" is the plain download; "vantor+sha"
# also computes the SHA-256 the updater checks, against curl piped through
# sha256sum(1).
#
#   bench/http_download.sh [--runs N] [--size MB]
#
# Default: 200 MB and 50 MB, 5 runs each. The programs are taken from
# $VANTOR_BUILD/bench (default: build/ in the repo); build them with
#   cmake --build <build dir> --target http_download_bench http_file_server
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$repo/bench/table.sh"
build=${VANTOR_BUILD:-$repo/build}
client=$build/bench/http_download_bench
server=$build/bench/http_file_server
runs=5
sizes=(200 50)
while [ $# -gt 0 ]; do
    case $1 in
    --runs) runs=$2; shift ;;
    --size) sizes=("$2"); shift ;;
    *) echo "usage: $0 [--runs N] [--size MB]" >&2; exit 2 ;;
    esac
    shift
done
for p in "$client" "$server"; do [ -x "$p" ] || { echo "missing $p" >&2; exit 1; }; done
command -v curl >/dev/null || { echo "missing curl" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "missing /usr/bin/time (Debian package: time)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/http-bench.XXXXXX")
server_pid=
cleanup() {
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }

for mb in "${sizes[@]}"; do
    head -c $((mb * 1024 * 1024)) /dev/urandom > "$work/file.bin"
    port=$((20000 + RANDOM % 20000))
    "$server" "$work/file.bin" "$port" & server_pid=$!
    url=http://127.0.0.1:$port/file
    for _ in $(seq 50); do curl -s -o /dev/null "$url" --max-time 1 -r 0-0 && break; sleep 0.1; done
    names=(curl vantor curl+sha vantor+sha)
    for n in "${names[@]}"; do : > "$work/$n.t"; : > "$work/$n.c"; : > "$work/$n.m"; done
    run() {  # name command...: one timed run, its figures noted
        local name=$1; shift
        /usr/bin/time -f "%e %U %S %M" -o "$work/t" "$@" > /dev/null
        read -r t u s m < "$work/t"
        echo "$t" >> "$work/$name.t"; echo "$u $s" | awk '{print $1 + $2}' >> "$work/$name.c"; echo "$m" >> "$work/$name.m"
        cmp -s "$work/out" "$work/file.bin" || { echo "$name: the file differs" >&2; exit 1; }
    }
    # One warm-up each, then alternating runs.
    curl -s -o "$work/out" "$url"; "$client" "$url" "$work/out" > /dev/null
    for _ in $(seq "$runs"); do
        run curl curl -s -o "$work/out" "$url"
        run vantor "$client" "$url" "$work/out" --no-hash
        run curl+sha sh -c 'curl -s "$1" | tee "$2" | sha256sum' sh "$url" "$work/out"
        run vantor+sha "$client" "$url" "$work/out"
    done
    printf "%d MB, %d runs each (median wall and CPU time, peak memory):\n" "$mb" "$runs"
    for n in "${names[@]}"; do
        t=$(median < "$work/$n.t"); c=$(median < "$work/$n.c"); m=$(sort -n "$work/$n.m" | tail -1)
        awk -v n="$n" -v mb="$mb" -v t="$t" -v c="$c" -v m="$m" 'BEGIN {
            printf "  %-11s %6.3f s  %7.1f MB/s  cpu %6.3f s  peak %6.1f MB\n", n, t, mb / t, c, m / 1024 }'
    done
    awk -v a="$(median < "$work/curl.t")" -v b="$(median < "$work/vantor.t")" \
        -v c="$(median < "$work/curl+sha.t")" -v d="$(median < "$work/vantor+sha.t")" 'BEGIN {
        printf "  throughput vantor / curl: %.2f; with SHA-256: %.2f\n", a / b, c / d }'
    for pair in "vantor curl" "vantor+sha curl+sha"; do
        read -r ours theirs <<<"$pair"
        to=$(median < "$work/$ours.t"); tt=$(median < "$work/$theirs.t")
        bench_row "HTTP download, $mb MB ($ours, wall)" "$(awk -v t="$to" 'BEGIN { printf "%.3f s", t }')" \
            "$(awk -v t="$tt" -v n="$theirs" 'BEGIN { printf "%s %.3f s", n, t }')" \
            "$(awk -v a="$to" -v b="$tt" 'BEGIN { printf "%.2f", a / b }')" "-"
    done
    kill "$server_pid"; wait "$server_pid" 2>/dev/null || true; server_pid=
done
