#!/usr/bin/env bash
# Compares the start of vantor (until its main window has been shown and painted,
# without a Steam installation) with the smallest Qt Widgets program that shows a
# window of the same size (bench/minimal_qt_window.cpp): median wall time over N
# runs (hyperfine) and the median peak memory (maximum resident set, /usr/bin/time),
# with their ratios. Limits: 1.5 x the reference for both; the script exits 1 when
# a ratio is over its limit.
#
#   bench/startup.sh [--runs N] [--xvfb]
#
# Both programs run with --exit-when-shown on Qt's offscreen platform, or inside one
# Xvfb server with --xvfb. vantor gets an empty settings hive in a temporary folder.
# The programs come from $VANTOR_BUILD (default: build/ in the repo); build them with
#   cmake --build <build dir> --target vantor minimal_qt_window
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VANTOR_BUILD:-$repo/build}
vantor=$build/bin/vantor
minimal=$build/bench/minimal_qt_window
runs=20
xvfb=0
while [ $# -gt 0 ]; do
    case $1 in
    --runs) runs=$2; shift ;;
    --xvfb) xvfb=1 ;;
    *) echo "usage: $0 [--runs N] [--xvfb]" >&2; exit 2 ;;
    esac
    shift
done
for p in "$vantor" "$minimal"; do
    [ -x "$p" ] || { echo "missing $p (set VANTOR_BUILD or build targets vantor minimal_qt_window)" >&2; exit 1; }
done
command -v hyperfine >/dev/null || { echo "missing hyperfine" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "missing /usr/bin/time (Debian package: time)" >&2; exit 1; }

if [ "$xvfb" = 1 ] && [ -z "${VANTOR_BENCH_IN_XVFB:-}" ]; then
    command -v xvfb-run >/dev/null || { echo "missing xvfb-run" >&2; exit 1; }
    VANTOR_BENCH_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" --runs "$runs" --xvfb
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/startup-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/runtime" "$work/config"
chmod 700 "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/config
export VANTOR_REGISTRY=$work/registry.reg VANTOR_NO_SHELL_OPEN=1
if [ "$xvfb" = 0 ]; then
    export QT_QPA_PLATFORM=offscreen
    platform=offscreen
else
    platform="xcb (Xvfb $DISPLAY)"
fi

# Both must start and end cleanly before they are timed.
for p in "$vantor" "$minimal"; do
    timeout 30 "$p" --exit-when-shown 2>"$work/stderr" || {
        echo "$p --exit-when-shown failed:" >&2
        cat "$work/stderr" >&2
        exit 1
    }
done

hyperfine -N --style basic --warmup 3 --runs "$runs" \
    --export-json "$work/times.json" \
    -n vantor "$vantor --exit-when-shown" \
    -n minimal "$minimal --exit-when-shown" >"$work/hyperfine.txt"

# Peak resident memory (KB) of each run, alternating the two programs.
: >"$work/mem-vantor"
: >"$work/mem-minimal"
for ((i = 0; i < runs; i++)); do
    /usr/bin/time -f %M -a -o "$work/mem-vantor" "$vantor" --exit-when-shown 2>/dev/null
    /usr/bin/time -f %M -a -o "$work/mem-minimal" "$minimal" --exit-when-shown 2>/dev/null
done

python3 - "$work" "$runs" "$platform" <<'PY'
import json, statistics, sys
work, runs, platform = sys.argv[1], int(sys.argv[2]), sys.argv[3]
times = {r["command"]: r for r in json.load(open(work + "/times.json"))["results"]}
def median_ms(name):
    return statistics.median(times[name]["times"]) * 1000
def median_mem(name):
    return statistics.median(int(l) for l in open(f"{work}/mem-{name}") if l.strip()) / 1024
tv, tm = median_ms("vantor"), median_ms("minimal")
mv, mm = median_mem("vantor"), median_mem("minimal")
rt, rm = tv / tm, mv / mm
print(f"platform: {platform}, {runs} runs each (after 3 warm-up runs)")
print(f"{'':10}{'median start':>14}{'peak memory':>14}")
print(f"{'vantor':10}{tv:11.1f} ms{mv:11.1f} MB")
print(f"{'minimal':10}{tm:11.1f} ms{mm:11.1f} MB")
ok_t, ok_m = rt <= 1.5, rm <= 1.5
print(f"ratio start  {rt:5.2f} (limit 1.50) {'ok' if ok_t else 'OVER'}")
print(f"ratio memory {rm:5.2f} (limit 1.50) {'ok' if ok_m else 'OVER'}")
sys.exit(0 if ok_t and ok_m else 1)
PY
