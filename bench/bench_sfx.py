#!/usr/bin/env python3
"""Extracting a self-extracting program: `MADE --to DIR` against `unzip -q -d DIR` of the same package.

Makes once under --work (default /tmp/varnhold-bench/sfx) a tree of one 500 MB mixed file (random blocks and text,
fixed seed) and 20,000 small files in 200 folders, packs it with `zip -r`, and makes the self-extracting program by
putting the stub (varnhold-sfx) in front of the package. Then one warm-up run each and --runs runs alternating, each
into an emptied folder, median wall time, both in a stock user's environment (TZ unset). Goal: at most 1.2 times
unzip's time.
"""
import argparse
import os
import random
import resource
import shutil
import statistics
import subprocess
import time

from sidebyside import alternate

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BIG = 500_000_000
# Both sides run as a stock user's shell would start them: no TZ. (The stub reads no settings.)
STOCK_ENV = {k: v for k, v in os.environ.items() if k != "TZ"}


def make_tree(tree):
    if os.path.exists(os.path.join(tree, "done")):
        return
    shutil.rmtree(tree, ignore_errors=True)
    rng = random.Random(11)
    words = [bytes(rng.choice(b"abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 9))) for _ in range(5000)]
    os.makedirs(tree)
    with open(os.path.join(tree, "big.bin"), "wb") as out:
        written = 0
        while written < BIG:
            if rng.random() < 0.5:
                chunk = rng.randbytes(1 << 20)
            else:
                chunk = b" ".join(rng.choice(words) for _ in range(200_000))[: 1 << 20]
            out.write(chunk)
            written += len(chunk)
    for d in range(200):
        folder = os.path.join(tree, "small", f"d{d:03}")
        os.makedirs(folder)
        for f in range(100):
            with open(os.path.join(folder, f"f{f:03}.txt"), "wb") as out:
                out.write(b" ".join(rng.choice(words) for _ in range(rng.randint(10, 600))))
    open(os.path.join(tree, "done"), "w").close()


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--stub", default=os.path.join(ROOT, "build/apps/varnhold-sfx/varnhold-sfx"))
    ap.add_argument("--work", default="/tmp/varnhold-bench/sfx")
    ap.add_argument("--runs", type=int, default=5)
    args = ap.parse_args()
    tree = os.path.join(args.work, "tree")
    package = os.path.join(args.work, "package.zip")
    made = os.path.join(args.work, "package.run")
    make_tree(tree)
    if not os.path.exists(package):
        subprocess.run(["zip", "-qr", package + ".part", "big.bin", "small"], cwd=tree, check=True)
        os.replace(package + ".part", package)
    with open(made, "wb") as out:
        for part in (args.stub, package):
            with open(part, "rb") as f:
                shutil.copyfileobj(f, out, 1 << 20)
    os.chmod(made, 0o755)
    ours_dir, peer_dir = os.path.join(args.work, "ours"), os.path.join(args.work, "peer")

    def ours():
        subprocess.run([made, "--to", ours_dir], check=True, stdout=subprocess.DEVNULL, env=STOCK_ENV)

    def peer():
        subprocess.run(["unzip", "-q", "-d", peer_dir, package], check=True, env=STOCK_ENV)

    def timed(fn, folder):
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        subprocess.run(["sync"], check=True)
        cpu = resource.getrusage(resource.RUSAGE_CHILDREN)
        start = time.perf_counter()
        fn()
        wall = time.perf_counter() - start
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        cpus[fn].append(after.ru_utime + after.ru_stime - cpu.ru_utime - cpu.ru_stime)
        return wall

    cpus = {ours: [], peer: []}
    a, b = alternate(lambda: timed(ours, ours_dir), lambda: timed(peer, peer_dir), args.runs)
    ta, tb = statistics.median(a), statistics.median(b)
    size = os.path.getsize(package)
    print(f"| extract a {size / 1e6:.0f} MB package (500 MB file, 20,000 small files), `MADE --to DIR` vs "
          f"`unzip -q -d DIR` | {ta:.2f} s | {tb:.2f} s | {ta / tb:.2f} | ≤ 1.20 | {'ok' if ta / tb <= 1.2 else 'OVER'} |")
    print("runs:", " ".join(f"{x:.2f}" for x in a), "|", " ".join(f"{x:.2f}" for x in b))
    print(f"CPU (user + system), median: {statistics.median(cpus[ours][1:]):.2f} s | "
          f"{statistics.median(cpus[peer][1:]):.2f} s")
    shutil.rmtree(ours_dir, ignore_errors=True)
    shutil.rmtree(peer_dir, ignore_errors=True)


if __name__ == "__main__":
    main()
