#!/usr/bin/env python3
"""Splitting a 2 GB file: `varnhold-cli split` end to end against coreutils' `split -b` on the same file.

Makes a 2,000,000,000-byte file of random bytes once under --work (default /tmp/varnhold-bench/split), then times
`varnhold-cli split FILE --size 100000000 --to DIR` (20 pieces and the merge files) against
`split -b 100000000 FILE DIR/x.`: one warm-up run each, then --runs runs alternating, median wall time, TZ unset and a
fresh settings and application folder for our runs. Goal: at most 1.2 times split's time.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import time

from sidebyside import alternate

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SIZE = 2_000_000_000
PIECE = 100_000_000


def make_source(path):
    if os.path.exists(path) and os.path.getsize(path) == SIZE:
        return
    with open(path + ".part", "wb") as out:
        left = SIZE
        while left:
            chunk = os.urandom(min(left, 64 << 20))
            out.write(chunk)
            left -= len(chunk)
    os.replace(path + ".part", path)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--cli", default=os.path.join(ROOT, "build/apps/varnhold-cli/varnhold-cli"))
    ap.add_argument("--work", default="/tmp/varnhold-bench/split")
    ap.add_argument("--runs", type=int, default=3)
    args = ap.parse_args()
    os.makedirs(args.work, exist_ok=True)
    source = os.path.join(args.work, "big.bin")
    make_source(source)
    env = {k: v for k, v in os.environ.items() if k != "TZ"}
    fresh = os.path.join(args.work, "fresh")
    env["XDG_CONFIG_HOME"] = os.path.join(fresh, "config")
    ours_dir, peer_dir = os.path.join(args.work, "ours"), os.path.join(args.work, "peer")

    def clean(folder):
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)

    def ours():
        subprocess.run([args.cli, "split", source, "--size", str(PIECE), "--to", ours_dir, "--app-folder",
                        os.path.join(fresh, "app")], check=True, stdout=subprocess.DEVNULL, env=env)

    def peer():
        subprocess.run(["split", "-b", str(PIECE), source, os.path.join(peer_dir, "x.")], check=True)

    def timed(fn, folder):
        clean(folder)
        if fn is ours:
            shutil.rmtree(fresh, ignore_errors=True)
            os.makedirs(env["XDG_CONFIG_HOME"])
        start = time.perf_counter()
        fn()
        return time.perf_counter() - start

    a, b = alternate(lambda: timed(ours, ours_dir), lambda: timed(peer, peer_dir), args.runs)
    ta, tb = statistics.median(a), statistics.median(b)
    print(f"| split a 2,000,000,000-byte file into 20 pieces, `varnhold-cli split` vs `split -b` | {ta:.2f} s | "
          f"{tb:.2f} s | {ta / tb:.2f} | ≤ 1.20 | {'ok' if ta / tb <= 1.2 else 'OVER'} |")
    shutil.rmtree(ours_dir, ignore_errors=True)
    shutil.rmtree(peer_dir, ignore_errors=True)


if __name__ == "__main__":
    main()
