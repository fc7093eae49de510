#!/usr/bin/env python3
"""Side-by-side benchmarks of varnhold-cli against the peer tools, run in one go.

Fixtures are made once under --work (default /tmp/varnhold-bench) and reused. Each command runs
--runs times after one warm-up run, alternating with its peer; the median wall time is reported
with the ratio ours / peer. Prints a Markdown table for docs/PERFORMANCE.md.
"""
import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
import zipfile

from sidebyside import alternate

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def make_list_fixture(work):
    path = os.path.join(work, "entries-100k.zip")
    if not os.path.exists(path):
        tmp = path + ".part"
        with zipfile.ZipFile(tmp, "w", zipfile.ZIP_STORED) as z:
            for i in range(100_000):
                z.writestr(f"dir{i % 100:03d}/file{i:06d}.txt", b"x" * (i % 50))
        os.replace(tmp, path)
    return path


def make_mixed_tree(root, text_mb, random_mb, seed=7):
    """Source-like text files, documents and incompressible binaries in nested folders."""
    rnd = random.Random(seed)
    words = [w.encode() for w in ("int return static void const backup package folder entry the of and to "
                                  "settings value index window select file zip data report table").split()]
    made = 0
    n = 0
    while made < text_mb << 20:
        size = rnd.choice([800, 3000, 12000, 60000, 250000])
        line = b" ".join(rnd.choice(words) for _ in range(12)) + b"\n"
        body = bytearray()
        while len(body) < size:
            body += line if rnd.random() < 0.6 else b" ".join(rnd.choice(words) for _ in range(10)) + b"\n"
        p = os.path.join(root, f"src{n % 40:02d}", f"sub{n % 7}", f"text{n:05d}.txt")
        os.makedirs(os.path.dirname(p), exist_ok=True)
        with open(p, "wb") as f:
            f.write(body[:size])
        made += size
        n += 1
    made = 0
    while made < random_mb << 20:
        size = rnd.choice([64 << 10, 512 << 10, 2 << 20, 8 << 20])
        p = os.path.join(root, f"bin{n % 9}", f"blob{n:05d}.bin")
        os.makedirs(os.path.dirname(p), exist_ok=True)
        with open(p, "wb") as f:
            f.write(os.urandom(size))
        made += size
        n += 1


def make_extract_fixture(work):
    path = os.path.join(work, "mixed-300mb.zip")
    if not os.path.exists(path):
        tree = os.path.join(work, "mixed-tree")
        shutil.rmtree(tree, ignore_errors=True)
        os.makedirs(tree)
        make_mixed_tree(tree, text_mb=400, random_mb=200)
        subprocess.run(["zip", "-q", "-r", "-6", path + ".part.zip", "."], cwd=tree, check=True)
        os.replace(path + ".part.zip", path)
        shutil.rmtree(tree)
    return path


def make_scan_fixture(work):
    """100,000 small files in 1,100 folders."""
    root = os.path.join(work, "tree-100k")
    done = os.path.join(root, ".complete")
    if not os.path.exists(done):
        shutil.rmtree(root, ignore_errors=True)
        for d in range(1100):
            folder = os.path.join(root, f"a{d % 10}", f"b{d:04d}")
            os.makedirs(folder, exist_ok=True)
            for i in range(100_000 // 1100 + (1 if d < 100_000 % 1100 else 0)):
                with open(os.path.join(folder, f"f{i:03d}.txt"), "wb") as f:
                    f.write(b"x" * (i % 13))
        open(done, "w").close()
    return root


SEARCH_TEXT = "Quarterly Reconciliation"


def make_search_fixture(work):
    """300 MB of text in 30,000 files in 300 folders; one file in a hundred holds SEARCH_TEXT in capitals near its
    end, so both searches find the same 300 files and read the others to their end (as grep -l must)."""
    root = os.path.join(work, "search-30k")
    done = os.path.join(root, ".complete")
    if not os.path.exists(done):
        shutil.rmtree(root, ignore_errors=True)
        rnd = random.Random(11)
        words = [w.encode() for w in ("report quarterly account ledger balance entry value total the of and to "
                                      "reconcile invoice period closing statement").split()]
        lines = [b" ".join(rnd.choice(words) for _ in range(11)) + b"\n" for _ in range(4000)]
        for i in range(30_000):
            folder = os.path.join(root, f"d{i % 30:02d}", f"e{i % 300:03d}")
            os.makedirs(folder, exist_ok=True)
            size = 10_485 + rnd.randint(-4000, 4000)
            body = bytearray()
            while len(body) < size:
                body += lines[rnd.randrange(len(lines))]
            body = body[:size]
            if i % 100 == 0:
                body[-200:-200 + len(SEARCH_TEXT)] = SEARCH_TEXT.upper().encode()
            with open(os.path.join(folder, f"doc{i:05d}.txt"), "wb") as f:
                f.write(body)
        open(done, "w").close()
    return root


def make_find_fixture(work):
    """200,000 files in 2,000 folders, among them 2,000 packages of 100 entries each; every 20th package holds a
    docs/ReadMe.txt. Returns the tree and a file listing the packages, NUL-separated."""
    root = os.path.join(work, "find-200k")
    listing = os.path.join(work, "find-200k.packages")
    done = os.path.join(root, ".complete")
    if not os.path.exists(done):
        shutil.rmtree(root, ignore_errors=True)
        packages = []
        for d in range(2000):
            folder = os.path.join(root, f"p{d % 20:02d}", f"q{d:04d}")
            os.makedirs(folder, exist_ok=True)
            for i in range(99):
                with open(os.path.join(folder, f"f{i:03d}.txt"), "wb") as f:
                    f.write(b"x" * (i % 13))
            zpath = os.path.join(folder, f"Backup{d:04d}.{'ZIP' if d % 3 == 0 else 'zip'}")
            with zipfile.ZipFile(zpath, "w", zipfile.ZIP_STORED) as z:
                for e in range(100):
                    name = "docs/ReadMe.txt" if e == 50 and d % 20 == 0 else f"dir{e % 7}/entry{e:03d}.dat"
                    z.writestr(name, b"y" * (e % 9))
            packages.append(zpath)
        with open(listing, "wb") as f:
            f.write(b"\0".join(p.encode() for p in sorted(packages)) + b"\0")
        open(done, "w").close()
    return root, listing


def timed(cmd, cwd=None, before=None, stdin=None):
    """Wall time of the whole command, from starting the process to its exit, output to /dev/null."""
    if before:
        before()
    start = time.perf_counter()
    if stdin:
        with open(stdin, "rb") as f:
            subprocess.run(cmd, cwd=cwd, check=True, stdin=f, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    else:
        subprocess.run(cmd, cwd=cwd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.perf_counter() - start


def compare(name, ours, peer, runs, limit):
    """ours and peer are (cmd, cwd, before) triples, or (cmd, cwd, before, stdin file)."""
    a, b = alternate(lambda: timed(*ours), lambda: timed(*peer), runs)
    ma, mb = statistics.median(a), statistics.median(b)
    ratio = ma / mb
    verdict = "ok" if ratio <= limit else "OVER"
    print(f"| {name} | {ma:.3f} s | {mb:.3f} s | {ratio:.2f} | ≤ {limit} | {verdict} |", flush=True)
    return ratio <= limit


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cli", default=os.path.join(ROOT, "build/apps/varnhold-cli/varnhold-cli"))
    ap.add_argument("--scan", default=os.path.join(ROOT, "build/bench/scan_bench"))
    ap.add_argument("--grid", default=os.path.join(ROOT, "build/bench/grid_bench"))
    ap.add_argument("--work", default="/tmp/varnhold-bench")
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--only", default="", help="comma-separated subset: list,extract,scan,search,grid,find")
    args = ap.parse_args()
    os.makedirs(args.work, exist_ok=True)
    cli = os.path.abspath(args.cli)
    only = set(filter(None, args.only.split(",")))
    # As on a stock machine: no TZ, and a settings folder and application folder of this run's own, made fresh
    # (the first, untimed warm-up run of each command creates the working folders and the settings file).
    os.environ.pop("TZ", None)
    fresh = tempfile.mkdtemp(prefix="run-", dir=args.work)
    app = os.path.join(fresh, "app")  # the application folder of varnhold-cli
    os.makedirs(app)
    os.environ["XDG_CONFIG_HOME"] = os.path.join(fresh, "config")
    os.environ["VARNHOLD_HOME"] = app
    print(f"Load average at start: {' '.join('%.2f' % x for x in os.getloadavg())}")
    print()

    print("| benchmark | varnhold | peer | ratio | goal | |")
    print("|---|---|---|---|---|---|")
    good = True
    if not only or "list" in only:
        z = make_list_fixture(args.work)
        good &= compare("list 100,000 entries vs `unzip -l`", ([cli, "list", z], app, None),
                        (["unzip", "-l", z], app, None), args.runs, 1.0)
    if not only or "extract" in only:
        z = make_extract_fixture(args.work)
        out = os.path.join(args.work, "out")

        def clean():
            shutil.rmtree(out, ignore_errors=True)
            os.makedirs(out)
        good &= compare(f"extract all, {os.path.getsize(z) >> 20} MB mixed package vs `unzip -o -q`",
                        ([cli, "extract", z, "--to", out, "--overwrite"], app, clean),
                        (["unzip", "-o", "-q", z, "-d", out], app, clean), args.runs, 1.1)
    if not only or "scan" in only:
        tree = make_scan_fixture(args.work)
        # What ticking the folder in the wizard's tree runs: the scan and the count with the stored patterns.
        good &= compare("tick a folder of 100,000 files (`varnhold-cli count`) vs `find -type f -printf '%s\\n'`",
                        ([cli, "count", tree], app, None),
                        (["find", tree, "-type", "f", "-printf", "%s\n"], None, None), args.runs, 1.5)
    if not only or "search" in only:
        tree = make_search_fixture(args.work)
        good &= compare("search text, 300 MB in 30,000 files vs `grep -r -l -F`",
                        ([cli, "search", "--defaults", "--text", SEARCH_TEXT.upper(), "--match-case", "--drives",
                          tree], app, None),
                        (["grep", "-r", "-l", "-F", SEARCH_TEXT.upper(), tree], app, None), args.runs, 1.5)
        good &= compare("search text ignoring case, same tree vs `grep -r -l -i -F`",
                        ([cli, "search", "--defaults", "--text", SEARCH_TEXT, "--drives", tree], app, None),
                        (["grep", "-r", "-l", "-i", "-F", SEARCH_TEXT, tree], app, None), args.runs, 1.5)
    if not only or "find" in only:
        tree, listing = make_find_fixture(args.work)
        good &= compare("find 2,000 packages among 200,000 files vs `find -type f -iname '*.zip'`",
                        ([cli, "find", "--drives", tree], app, None),
                        (["find", tree, "-type", "f", "-iname", "*.zip"], None, None), args.runs, 1.5)
        # The peer reads each package's directory in a process of its own, one after another, as a script would.
        good &= compare("find inside 2,000 packages × 100 entries vs `unzip -Z1` on each",
                        ([cli, "find", "--drives", tree, "--entry", "readme*.txt"], app, None),
                        (["xargs", "-0", "-n1", "unzip", "-Z1"], None, None, listing), args.runs, 2.0)
    if not only or "grid" in only:
        # The window has no peer: its goals are absolute (fill and sort under 2 s, re-sort under 0.5 s,
        # peak memory under 100 MB). The median run of five is reported.
        z = make_list_fixture(args.work)
        runs = []
        for _ in range(max(args.runs, 3)):
            out = subprocess.run([os.path.abspath(args.grid), z], capture_output=True, text=True, check=True)
            runs.append(out.stdout.strip())
        print()
        print("Main window, 100,000 entries (median of %d): %s" % (len(runs), sorted(runs)[len(runs) // 2]))
    print()
    print(f"Load average at end: {' '.join('%.2f' % x for x in os.getloadavg())}")
    shutil.rmtree(fresh, ignore_errors=True)
    return 0 if good else 1


if __name__ == "__main__":
    sys.exit(main())
