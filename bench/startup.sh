#!/usr/bin/env bash
# Compares the start of vantor (until its main window has been shown and painted,
# without a Steam installation) with the smallest Qt Widgets program that shows a
# window of the same size (bench/minimal_qt_window.cpp):
#   - start: median wall time from the program's launch to its end with
#     --exit-when-shown (it ends right after the first paint);
#   - idle memory: median peak resident set of a run with --exit-when-idle (it
#     ends once the window is complete: vantor has built all its pages by then).
# The two programs run alternately (one of each per round), so a change in the
# machine's load touches both alike; hyperfine times the same commands as a
# cross-check. Goals: 1.3 x the reference for both; the script exits 1 when a
# ratio is over its goal.
#
#   bench/startup.sh [--runs N] [--xvfb]
#
# Qt's offscreen platform by default, or one Xvfb server with --xvfb. vantor gets
# an empty settings hive in a temporary folder.
# The programs come from $VANTOR_BUILD (default: build/ in the repo); build them with
#   cmake --build <build dir> --target vantor minimal_qt_window
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VANTOR_BUILD:-$repo/build}
vantor=$build/bin/vantor
minimal=$build/bench/minimal_qt_window
runs=40
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

# Both must start and end cleanly before they are measured.
for p in "$vantor" "$minimal"; do
    for mode in --exit-when-shown --exit-when-idle; do
        timeout 30 "$p" $mode 2>"$work/stderr" || {
            echo "$p $mode failed:" >&2
            cat "$work/stderr" >&2
            exit 1
        }
    done
done

status=0
python3 - "$vantor" "$minimal" "$runs" "$platform" <<'PY' || status=$?
import os, statistics, subprocess, sys, time
vantor, minimal, runs, platform = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]

def run(program, mode):
    """Wall seconds and peak resident KB of one run."""
    start = time.perf_counter()
    child = subprocess.Popen([program, mode], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    elapsed = time.perf_counter() - start
    if status != 0:
        sys.exit(f"{program} {mode} ended with status {status}")
    return elapsed, usage.ru_maxrss

for _ in range(3):  # warm-up
    run(vantor, "--exit-when-shown"); run(minimal, "--exit-when-shown")
times = {"vantor": [], "minimal": []}
memory = {"vantor": [], "minimal": []}
for _ in range(runs):
    for name, program in (("vantor", vantor), ("minimal", minimal)):
        times[name].append(run(program, "--exit-when-shown")[0])
for _ in range(max(5, runs // 4)):
    for name, program in (("vantor", vantor), ("minimal", minimal)):
        memory[name].append(run(program, "--exit-when-idle")[1])

tv, tm = (statistics.median(times[n]) * 1000 for n in ("vantor", "minimal"))
mv, mm = (statistics.median(memory[n]) / 1024 for n in ("vantor", "minimal"))
rt, rm = tv / tm, mv / mm
print(f"platform: {platform}, {runs} alternating runs each (after 3 warm-up rounds)")
print(f"{'':10}{'median start':>14}{'idle memory':>14}")
print(f"{'vantor':10}{tv:11.1f} ms{mv:11.1f} MB")
print(f"{'minimal':10}{tm:11.1f} ms{mm:11.1f} MB")
ok_t, ok_m = rt <= 1.3, rm <= 1.3
print(f"ratio start  {rt:5.2f} (goal 1.30) {'ok' if ok_t else 'OVER'}")
print(f"ratio memory {rm:5.2f} (goal 1.30) {'ok' if ok_m else 'OVER'}")
table = os.environ.get("VANTOR_BENCH_TABLE")
if table:
    with open(table, "a") as f:
        verdict = lambda ok: "met" if ok else "NOT met"
        f.write(f"window start to first paint ({platform.split()[0]})\t{tv:.1f} ms\tminimal Qt window {tm:.1f} ms\t"
                f"{rt:.2f}\t<= 1.3\t{verdict(ok_t)}\n")
        f.write(f"window idle memory ({platform.split()[0]})\t{mv:.1f} MB\tminimal Qt window {mm:.1f} MB\t"
                f"{rm:.2f}\t<= 1.3\t{verdict(ok_m)}\n")
sys.exit(0 if ok_t and ok_m else 1)
PY

if command -v hyperfine >/dev/null; then
    echo "cross-check (hyperfine, one program after the other):"
    hyperfine -N --style basic --warmup 3 --runs "$runs" \
        -n vantor "$vantor --exit-when-shown" -n minimal "$minimal --exit-when-shown" 2>/dev/null |
        grep -E "^Benchmark|Time \(mean|times faster" || true
fi
exit $status
