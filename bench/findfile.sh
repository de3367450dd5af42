#!/usr/bin/env bash
# Compares the file search (findfile_bench) with find(1) on a generated Steam-like
# tree: median wall and CPU time of alternating runs, their ratios, the peak
# memory of both, and whether both count the same matches. On a shared machine
# the CPU times are the steadier figure.
#
#   bench/findfile.sh [--large] [--runs N]
#
# Default tree: 200,000 files. --large adds a run on 1,000,000 files so the
# peak memory of both sizes can be compared. Caches are not dropped: every
# command runs once to warm up, then N times (default 7), alternating.
# The program is taken from $VANTOR_BUILD/bench (default: build/ in the repo);
# build it with: cmake --build <build dir> --target findfile_bench
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VANTOR_BUILD:-$repo/build}
bench=$build/bench/findfile_bench
runs=7
sizes=(200000)
while [ $# -gt 0 ]; do
    case $1 in
    --large) sizes=(200000 1000000) ;;
    --runs) runs=$2; shift ;;
    *) echo "usage: $0 [--large] [--runs N]" >&2; exit 2 ;;
    esac
    shift
done
[ -x "$bench" ] || { echo "missing $bench (set VANTOR_BUILD or build target findfile_bench)" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "missing /usr/bin/time (Debian package: time)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/findfile-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Writes a Steam-like tree of $2 files under $1: accounts, games, and nested
# content folders with mixed names. Files are hard links to a few empty files
# (new inodes are slow to make on some disks; the walk sees plain files).
generate() {
    python3 - "$1" "$2" <<'PY'
import os, random, sys
root, total = sys.argv[1], int(sys.argv[2])
rnd = random.Random(220)
src_dir = os.path.join(root, "src")
os.makedirs(src_dir)
sources, links = [], 0
def new_file(path):
    global links
    if not sources or links >= 60000:
        s = os.path.join(src_dir, "s%d" % len(sources))
        open(s, "w").close()
        sources.append(s)
        links = 0
    os.link(sources[-1], path)
    links += 1

steam = os.path.join(root, "Steam")
made = 0
def files(folder, count):
    global made
    exts = ["vtf", "vmt", "mdl", "vvd", "phy", "wav", "mp3", "dll", "txt", "cfg", "res", "vpk", "bsp", "nav", "exe"]
    for i in range(count):
        r = rnd.random()
        if r < 0.01:
            name = ".cache_%d" % i
        elif r < 0.02:
            name = rnd.choice(["hl2.exe.bak", "xhl2.exe", "hl2.ex", "hl2_exe", "hl3.exe"])
        else:
            name = "%s_%d.%s" % (rnd.choice(["Model", "texture", "sound", "map", "GameInfo", "client", "server"]),
                                 i, rnd.choice(exts))
        p = os.path.join(folder, name)
        if not os.path.exists(p):
            new_file(p)
            made += 1

def tree(folder, budget, depth):
    """Fills folder with about budget files, nested up to depth 12."""
    here = min(budget, rnd.randint(4, 24))
    files(folder, here)
    budget -= here
    if budget <= 0 or depth >= 12:
        return
    n = max(1, min(rnd.randint(2, 6), budget // 40))
    for k in range(n):
        sub = os.path.join(folder, rnd.choice(["materials", "models", "sound", "maps", "bin", "cfg", "scripts",
                                               "resource", "particles", "media", "Props", "Weapons"]) + "_%d" % k)
        os.mkdir(sub)
        tree(sub, budget // n, depth + 1)

os.makedirs(os.path.join(steam, "SteamApps"))
for n in ("steam.exe", "Steam.dll", "ClientRegistry.blob"):
    new_file(os.path.join(steam, n))
    made += 1
accounts = ["account%02d" % a for a in range(5)] + ["common"]
games = ["half-life 2", "half-life 2 deathmatch", "counter-strike source", "day of defeat source",
         "garrysmod", "team fortress 2", "portal", "source sdk"]
per_game = (total - made) // (len(accounts) * len(games))
hl2 = 0
for acc in accounts:
    for g in games:
        folder = os.path.join(steam, "SteamApps", acc, g)
        os.makedirs(folder)
        if acc != "common" and g in ("half-life 2", "half-life 2 deathmatch"):
            new_file(os.path.join(folder, "hl2.exe"))
            made += 1
            hl2 += 1
        if g == "garrysmod":
            os.mkdir(os.path.join(folder, "hl2.exe"))  # a folder, not a match
        tree(folder, per_game, 1)
# Top up to the exact count in log folders of 200 files each.
logs = os.path.join(steam, "logs")
os.mkdir(logs)
i = 0
while made < total:
    if i % 200 == 0:
        part = os.path.join(logs, "part%d" % (i // 200))
        os.mkdir(part)
    new_file(os.path.join(part, "log_%d.txt" % i))
    made += 1
    i += 1
folders = sum(len(d) for _, d, _ in os.walk(steam))
print("tree: %d files, %d folders, %d named hl2.exe" % (made, folders + 1, hl2))
PY
}

# Runs the two commands alternately (after one warm-up each) and prints the
# median wall time and the median CPU time (user + system, from wait4), then
# the peak RSS of one more run of each under /usr/bin/time (a child of python
# would inherit the interpreter's peak).
compare() {
    python3 - "$runs" "$@" <<'PY'
import os, statistics, subprocess, sys, time
runs = int(sys.argv[1])
cmds = [sys.argv[2:5], ["find", sys.argv[3], "-type", "f", "-name", sys.argv[4]]]
def run(cmd):
    t0 = time.perf_counter()
    p = subprocess.Popen(cmd, stdout=subprocess.DEVNULL)
    _, status, ru = os.wait4(p.pid, 0)
    wall = time.perf_counter() - t0
    p.returncode = os.waitstatus_to_exitcode(status)
    if p.returncode != 0:
        sys.exit("%s failed (%d)" % (cmd[0], p.returncode))
    return wall, ru.ru_utime + ru.ru_stime
def peak_rss(cmd):
    p = subprocess.run(["/usr/bin/time", "-f", "%M"] + cmd, stdout=subprocess.DEVNULL,
                       stderr=subprocess.PIPE, text=True, check=True)
    return int(p.stderr.strip().splitlines()[-1])
for c in cmds:
    run(c)  # warm-up
res = [[], []]
for _ in range(runs):
    for k, c in enumerate(cmds):
        res[k].append(run(c))
med = [[statistics.median(r[i] for r in res[k]) for i in range(2)] for k in range(2)]
rss = [peak_rss(c) for c in cmds]
print("median of %d alternating runs, wall: search %.1f ms, find %.1f ms, ratio search/find %.2f"
      % (runs, med[0][0] * 1e3, med[1][0] * 1e3, med[0][0] / med[1][0]))
print("median of %d alternating runs, CPU (user+sys): search %.1f ms, find %.1f ms, ratio %.2f"
      % (runs, med[0][1] * 1e3, med[1][1] * 1e3, med[0][1] / med[1][1]))
print("peak RSS: search %d KiB, find %d KiB" % (rss[0], rss[1]))
table = os.environ.get("VANTOR_BENCH_TABLE")
if table:
    with open(table, "a") as f:
        f.write("file search, %s files (CPU)\t%.1f ms\tfind %.1f ms\t%.2f\t-\t\n"
                % (os.environ["FINDFILE_SIZE"], med[0][1] * 1e3, med[1][1] * 1e3, med[0][1] / med[1][1]))
PY
}

for size in "${sizes[@]}"; do
    dir=$work/tree$size
    mkdir "$dir"
    echo "== $size files"
    generate "$dir" "$size"
    target=$dir/Steam

    ours=$("$bench" "$target" hl2.exe)
    theirs=$(find "$target" -type f -name hl2.exe | wc -l)
    if [ "$ours" != "$theirs" ]; then
        echo "MISMATCH: search found $ours, find found $theirs" >&2
        exit 1
    fi
    echo "matches: search $ours, find $theirs (agree)"
    FINDFILE_SIZE=$size compare "$bench" "$target" hl2.exe
    rm -rf "$dir"
done
