#!/usr/bin/env python3
"""Building a package from a large, mixed folder: our zip layer against Info-ZIP's zip.

Makes a corpus of about 350 MB in about 30,000 files once under --work (default /tmp/varnhold-bench/corpus):
source trees, documents, already-compressed files (media and archives), binaries and a few large files, all
from a fixed seed. Then times bench/zipbuild_bench (our compress, as the build uses it) against
`zip -r -q -6` (our Normal) and `zip -r -q -9` (our Maximum): one warm-up run each, then --runs runs
alternating with the peer, median wall time. Prints a Markdown table of times, sizes and their ratios.

Goals: Normal takes at most 1/1.5 of zip -6's time with a package at most 1% larger; Maximum makes a package no
larger than zip -9's.

The small-files case (`--only small`) times what the user runs: `varnhold-cli build` end to end, TZ unset and a
fresh settings and application folder, against `zip -r -q -6` on 100,000 files of about 210 bytes in 2,000
folders. It also prints the cost per file: the wall time less that of the same bytes in one file, over the files.

The other cases run `varnhold-cli build` the same way:
- `--only mixed`: a copy of about 376 MB of this machine's own files (/usr/include, /usr/share/doc, Python's
  standard library, /usr/share/icons and some of the largest shared libraries), made once under
  --work/mixed; Normal against `zip -r -q -y -6` (goals: time ≤ 0.40, size ≤ 0.97) and Maximum against
  `zip -r -q -y -9` (time ≤ 0.60, size ≤ 0.96). `-y` stores symbolic links as links, as we do.
- `--only million`: 1,000,000 empty files in 1,000 folders, built under `/usr/bin/time -v`: wall time and peak
  resident memory (goal < 300 MB); zip -6 once beside it unless --skip-million-zip.
- `--strace`: one build of the small-files tree under `strace -c -f`, as system calls per file (goals: at most
  1.05 opens per file and no readlink per file).
`--only` takes a comma list; `--strace` alone runs only the count. Fixtures stay under --work, never in the repo.
"""
import argparse
import gzip
import os
import random
import re
import shutil
import stat
import statistics
import subprocess
import sys
import sysconfig
import time
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SEED = 20240611
CORPUS_VERSION = "2"  # bump when the generator changes, so an old corpus is made again

KEYWORDS = ("int return static void const auto struct class if else for while switch case break "
            "namespace public private template typename include define unsigned char bool true false "
            "def self import from yield lambda None async await let var function").split()
WORDS = ("the of and to a in is it that for was on are as with be at by this have from or had not but what all "
         "were when we there can an your which their said if will each about how up out them then she many some "
         "so these would other into has more her two like him see time could no make than first been its who "
         "now people my made over did down only way find use may water long little very after words called just "
         "where most know backup package folder entry settings value index window select file zip data report "
         "table volume archive compression update").split()


def identifier(rnd):
    parts = rnd.choice([1, 2, 2, 3])
    return "_".join(rnd.choice(WORDS) for _ in range(parts)) if rnd.random() < 0.5 else \
        "".join(w.capitalize() for w in rnd.sample(WORDS, parts))


def source_lines(rnd, count):
    """A pool of code-like lines; files are drawn from it, so the corpus repeats the way real trees do."""
    lines = []
    for _ in range(count):
        indent = " " * (4 * rnd.choice([0, 1, 1, 2, 2, 3]))
        kind = rnd.random()
        if kind < 0.15:
            line = f"{indent}// {' '.join(rnd.choice(WORDS) for _ in range(rnd.randint(3, 12)))}"
        elif kind < 0.45:
            line = (f"{indent}{rnd.choice(KEYWORDS)} {identifier(rnd)} = {identifier(rnd)}"
                    f"({identifier(rnd)}, {rnd.randint(0, 4096)});")
        elif kind < 0.65:
            line = f"{indent}if ({identifier(rnd)} {rnd.choice(['==', '!=', '<', '>='])} {rnd.randint(0, 255)}) {{"
        elif kind < 0.8:
            line = f"{indent}{identifier(rnd)}.{identifier(rnd)}({', '.join(identifier(rnd) for _ in range(rnd.randint(0, 3)))});"
        elif kind < 0.9:
            line = f"{indent}}}"
        else:
            line = ""
        lines.append(line)
    return lines


def prose_lines(rnd, count):
    out = []
    for _ in range(count):
        n = rnd.randint(4, 20)
        out.append(" ".join(rnd.choice(WORDS) for _ in range(n)).capitalize() + ".")
    return out


def draw_text(rnd, pool, size):
    lines = rnd.choices(pool, k=max(1, size // 40))
    data = "\n".join(lines).encode()
    while len(data) < size:
        data += b"\n" + "\n".join(rnd.choices(pool, k=64)).encode()
    return data[:size]


def binary_blob(rnd, size):
    """Executable-like: code-ish bytes with repeats, tables of small numbers, zero padding, strings."""
    out = bytearray()
    chunk_pool = [rnd.randbytes(rnd.randint(16, 96)) for _ in range(64)]
    while len(out) < size:
        kind = rnd.random()
        if kind < 0.35:
            out += rnd.choice(chunk_pool)
        elif kind < 0.55:
            out += b"".join(rnd.randint(0, 300).to_bytes(4, "little") for _ in range(rnd.randint(8, 64)))
        elif kind < 0.7:
            out += bytes(rnd.randint(16, 512))
        elif kind < 0.85:
            out += (identifier(rnd) + "\0").encode()
        else:
            out += rnd.randbytes(rnd.randint(32, 256))
    return bytes(out[:size])


def size_near(rnd, mean, low, high):
    return int(min(high, max(low, rnd.lognormvariate(0, 1.0) * mean / 1.65)))


def make_corpus(root):
    stamp = os.path.join(root, ".complete")
    if os.path.exists(stamp) and open(stamp).read().strip() == CORPUS_VERSION:
        return
    subprocess.run(["rm", "-rf", root], check=True)
    os.makedirs(root)
    rnd = random.Random(SEED)
    code = source_lines(rnd, 60000)
    prose = prose_lines(rnd, 30000)
    made = [0, 0]

    def write(rel, data):
        path = os.path.join(root, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        made[0] += 1
        made[1] += len(data)

    # Source trees: 24,000 files of about 4.5 KB in nested projects.
    for i in range(24000):
        project, module = i // 2400, (i // 60) % 40
        ext = rnd.choice([".cpp", ".h", ".py", ".js", ".c", ".java", ".rs", ".go"])
        write(f"src/project{project:02d}/module{module:02d}/file{i:05d}{ext}",
              draw_text(rnd, code, size_near(rnd, 4500, 120, 120000)))
    # Documents: 3,000 text, markup and data files of about 20 KB.
    for i in range(3000):
        ext = rnd.choice([".txt", ".md", ".html", ".xml", ".csv", ".json"])
        if ext == ".csv":
            rows = [",".join(str(rnd.randint(0, 99999)) for _ in range(8)) for _ in range(size_near(rnd, 400, 10, 8000))]
            data = "\n".join(rows).encode()
        else:
            data = draw_text(rnd, prose, size_near(rnd, 20000, 500, 400000))
        write(f"docs/section{i % 30:02d}/doc{i:05d}{ext}", data)
    # Already compressed: 1,500 media-like and archive files of about 40 KB.
    for i in range(1500):
        if i % 3 == 2:
            data = gzip.compress(draw_text(rnd, prose, size_near(rnd, 120000, 2000, 2000000)), 6, mtime=0)
            name = f"archives/pack{i:05d}.gz"
        else:
            data = rnd.randbytes(size_near(rnd, 40000, 2000, 2000000))
            name = f"media/album{i % 25:02d}/photo{i:05d}." + rnd.choice(["jpg", "png", "mp3"])
        write(name, data)
    # Binaries: 1,500 executables and libraries of about 40 KB.
    for i in range(1500):
        write(f"bin/tool{i % 20:02d}/part{i:05d}" + rnd.choice(["", ".so", ".o", ".dll"]),
              binary_blob(rnd, size_near(rnd, 40000, 1000, 1000000)))
    # A few large files: a log, a database dump, a disk image with mixed content.
    write("large/server.log", draw_text(rnd, prose, 20 << 20))
    write("large/database.dump", binary_blob(rnd, 24 << 20))
    write("large/image.iso", binary_blob(rnd, 6 << 20) + rnd.randbytes(6 << 20) + draw_text(rnd, code, 6 << 20))
    with open(stamp, "w") as f:
        f.write(CORPUS_VERSION + "\n")
    print(f"corpus: {made[0]} files, {made[1] / 1e6:.0f} MB under {root}", file=sys.stderr)


def make_small(root, files=100000, folders=2000):
    """Many small text files, as a home folder holds them; and the same bytes again as one file beside them."""
    stamp = os.path.join(root, ".complete")
    if os.path.exists(stamp):
        return
    rnd = random.Random(SEED + 1)
    whole = bytearray()
    for i in range(files):
        data = " ".join(rnd.choice(WORDS) for _ in range(rnd.randint(20, 55))).encode() + b"\n"
        path = os.path.join(root, "tree", f"folder{i % folders:04d}", f"note{i:06d}.txt")
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        whole += data
    os.makedirs(os.path.join(root, "one"), exist_ok=True)
    with open(os.path.join(root, "one", "all.txt"), "wb") as f:
        f.write(whole)
    with open(stamp, "w") as f:
        f.write(CORPUS_VERSION + "\n")


def make_mixed(root, target=376_000_000):
    """A copy of this machine's own headers, documents, Python library and icons, topped up with some of the
    largest shared libraries until it holds about `target` bytes. Symbolic links are copied as links."""
    stamp = os.path.join(root, ".complete")
    if os.path.exists(stamp):
        return
    subprocess.run(["rm", "-rf", root], check=True)
    tree = os.path.join(root, "tree")
    os.makedirs(tree)
    stdlib = os.path.realpath(sysconfig.get_paths()["stdlib"])

    def python_ignore(folder, names):
        # The library's sources and binaries; not the installed packages, byte-code caches or its own tests.
        skip = {"__pycache__"} | ({"site-packages", "dist-packages", "test"} if os.path.realpath(folder) == stdlib
                                 else set())
        return [n for n in names if n in skip]

    for name, source, ignore in (("include", "/usr/include", None), ("doc", "/usr/share/doc", None),
                                 ("python", stdlib, python_ignore), ("icons", "/usr/share/icons", None)):
        shutil.copytree(source, os.path.join(tree, name), symlinks=True, ignore=ignore)
    files, total, links = tree_facts(tree)
    # The largest libraries that still fit, each inode once (Mesa's drivers are one file under many names).
    libraries, seen = [], set()
    for folder, _, names in os.walk("/usr/lib"):
        for n in names:
            if re.search(r"\.so(\.\d+)*$", n):
                st = os.lstat(os.path.join(folder, n))
                if stat.S_ISREG(st.st_mode) and st.st_size >= 1 << 20 and (st.st_dev, st.st_ino) not in seen:
                    seen.add((st.st_dev, st.st_ino))
                    libraries.append((st.st_size, os.path.join(folder, n)))
    chosen = []
    for size, path in sorted(libraries, reverse=True):
        if total + size <= target and os.path.basename(path) not in {os.path.basename(p) for p in chosen}:
            chosen.append(path)
            total += size
            files += 1
    os.makedirs(os.path.join(tree, "lib"))
    for path in chosen:
        shutil.copy2(path, os.path.join(tree, "lib", os.path.basename(path)))
    with open(os.path.join(root, "libraries.txt"), "w") as f:
        f.write("".join(p + "\n" for p in chosen))
    with open(os.path.join(root, "facts.txt"), "w") as f:
        f.write(f"files {files}\nbytes {total}\nsymbolic links {links}\n")
    with open(stamp, "w") as f:
        f.write(f"{CORPUS_VERSION}\n")
    print(f"mixed: {files} files, {total / 1e6:.0f} MB, {links} symbolic links under {tree}; "
          f"{len(chosen)} libraries listed in {root}/libraries.txt", file=sys.stderr)


def make_million(root, files=1_000_000, folders=1000):
    """Empty files, a thousand to a folder."""
    stamp = os.path.join(root, ".complete")
    if os.path.exists(stamp):
        return
    subprocess.run(["rm", "-rf", root], check=True)
    per_folder = files // folders
    for d in range(folders):
        folder = os.path.join(root, "tree", f"d{d:04d}")
        os.makedirs(folder)
        for i in range(per_folder):
            os.close(os.open(os.path.join(folder, f"f{d * per_folder + i:07d}"), os.O_WRONLY | os.O_CREAT, 0o644))
    with open(stamp, "w") as f:
        f.write(CORPUS_VERSION + "\n")


def tree_facts(root):
    """Regular files, their bytes and symbolic links below root."""
    files = total = links = 0
    for folder, dirs, names in os.walk(root):
        for n in names + [d for d in dirs if os.path.islink(os.path.join(folder, d))]:
            st = os.lstat(os.path.join(folder, n))
            if stat.S_ISLNK(st.st_mode):
                links += 1
            elif stat.S_ISREG(st.st_mode):
                files += 1
                total += st.st_size
    return files, total, links


class FreshCli:
    """varnhold-cli as a first run meets it: TZ unset, settings and application folders made anew each time."""

    def __init__(self, cli, work, name):
        self.cli = cli
        self.fresh = os.path.join(work, "fresh-" + name)
        self.env = {k: v for k, v in os.environ.items() if k != "TZ"}
        self.env["XDG_CONFIG_HOME"] = os.path.join(self.fresh, "config")

    def prepare(self, args, prefix=()):
        """Empties the fresh folders and returns the command line; call it outside the timed part."""
        shutil.rmtree(self.fresh, ignore_errors=True)
        os.makedirs(self.env["XDG_CONFIG_HOME"])
        return [*prefix, self.cli, *args, "--app-folder", os.path.join(self.fresh, "app")]


def run_timed(cmd, out, env=None, cwd=None):
    """Wall time of cmd and the size of the package it makes. Exit status 4 (files left out) is reported, as the
    package is then not comparable, but the figures are still taken."""
    if os.path.exists(out):
        os.remove(out)
    start = time.perf_counter()
    code = subprocess.run(cmd, cwd=cwd, env=env, stdout=subprocess.DEVNULL).returncode
    elapsed = time.perf_counter() - start
    if code == 4:
        print(f"warning: {' '.join(cmd)} left files out (exit status 4)", file=sys.stderr)
    elif code != 0:
        raise subprocess.CalledProcessError(code, cmd)
    return elapsed, os.path.getsize(out)


def alternate(pairs, runs):
    """pairs: (ours, peer) callables returning (seconds, bytes); a warm-up of each, then runs alternating.
    Returns median times and the last sizes."""
    ours, peer = pairs
    ours()
    peer()
    a, b = [], []
    for _ in range(runs):
        t, size_a = ours()
        a.append(t)
        t, size_b = peer()
        b.append(t)
    return statistics.median(a), statistics.median(b), size_a, size_b


def small_files(cli, work, runs):
    """Our build end to end against zip -6 on the small-files tree; returns the table row and whether it meets
    the goal (at most 0.8 of zip's time at no more than its size)."""
    root = os.path.join(work, "small")
    make_small(root)
    fresh = FreshCli(cli, work, "small")
    ours_zip, one_zip, peer_zip = (os.path.join(work, "build-out", n) for n in ("small.zip", "one.zip", "small-zip.zip"))
    tree = os.path.join(root, "tree") + "/"
    build_tree = lambda: run_timed(fresh.prepare(["build", ours_zip, tree]), ours_zip, fresh.env)
    build_one = lambda: run_timed(fresh.prepare(["build", one_zip, os.path.join(root, "one", "all.txt")]), one_zip,
                                  fresh.env)
    # Both store the names as we do by default: the whole path without its leading "/".
    zip_tree = lambda: run_timed(["zip", "-r", "-q", "-6", peer_zip, tree], peer_zip, cwd="/")
    for fn in (build_tree, zip_tree, build_one):
        fn()
    a, b, one = [], [], []
    for _ in range(runs):
        t, size_a = build_tree()
        a.append(t)
        t, size_b = zip_tree()
        b.append(t)
        one.append(build_one()[0])
    ta, tb, t1 = statistics.median(a), statistics.median(b), statistics.median(one)
    files = sum(len(n) for _, _, n in os.walk(tree))
    ok = ta / tb <= 0.8 and size_a <= size_b
    row = (f"| {files:,} small files, `varnhold-cli build` vs `zip -r -q -6` | {ta:.2f} s | {tb:.2f} s | "
           f"{ta / tb:.2f} | ≤ 0.80 | {size_a / 1e6:.1f} MB | {size_b / 1e6:.1f} MB | {size_a / size_b:.4f} | ≤ 1.00 | "
           f"{'ok' if ok else 'OVER'} |\n\nCost per file: ({ta:.2f} s − {t1:.2f} s for the same bytes in one file) ÷ "
           f"{files:,} = {(ta - t1) / files * 1e6:.0f} µs.")
    return row, ok


def mixed(cli, work, runs):
    """Normal and Maximum end to end against zip -6 and zip -9 on the mixed copy; returns the rows and whether
    both meet their goals."""
    root = os.path.join(work, "mixed")
    make_mixed(root)
    tree = os.path.join(root, "tree") + "/"
    files, total, links = tree_facts(tree)
    fresh = FreshCli(cli, work, "mixed")
    ours_zip, peer_zip = (os.path.join(work, "build-out", n) for n in ("mixed.zip", "mixed-zip.zip"))
    rows, good = [], True
    for level, flag, time_goal, size_goal in (("normal", "-6", 0.40, 0.97), ("maximum", "-9", 0.60, 0.96)):
        # Every file, as zip takes them: the stored patterns (*.*) would leave out names without a dot.
        ours = lambda: run_timed(fresh.prepare(["build", ours_zip, tree, "--level", level, "--include", "*"]),
                                 ours_zip, fresh.env)
        # -y: symbolic links stored as links, as we store them, not followed.
        peer = lambda: run_timed(["zip", "-r", "-q", "-y", flag, peer_zip, tree], peer_zip, cwd="/")
        ta, tb, sa, sb = alternate((ours, peer), runs)
        ok = ta / tb <= time_goal and sa / sb <= size_goal
        good &= ok
        same_entries(ours_zip, peer_zip)
        rows.append(f"| {total / 1e6:.0f} MB mixed, {files:,} files, `--level {level}` vs `zip -r -q -y {flag}` | "
                     f"{ta:.2f} s | {tb:.2f} s | {ta / tb:.2f} | ≤ {time_goal:.2f} | {sa / 1e6:.1f} MB | "
                     f"{sb / 1e6:.1f} MB | {sa / sb:.4f} | ≤ {size_goal:.2f} | {'ok' if ok else 'OVER'} |")
        print(rows[-1], file=sys.stderr, flush=True)
    note = (f"\nMixed copy: {files:,} files, {total:,} bytes, {links} symbolic links (/usr/include, /usr/share/doc, "
            f"Python's library, /usr/share/icons, shared libraries listed in {root}/libraries.txt).")
    return "\n".join(rows) + "\n" + note, good


def same_entries(ours, peer):
    """Warns when the two packages hold different numbers of files and links (zip adds folder entries too)."""
    counts = []
    for path in (ours, peer):
        with zipfile.ZipFile(path) as z:
            counts.append(sum(1 for n in z.namelist() if not n.endswith("/")))
    if counts[0] != counts[1]:
        print(f"warning: {ours} holds {counts[0]:,} files, {peer} {counts[1]:,}", file=sys.stderr)


def time_v(cmd, out, env=None, cwd=None):
    """Wall time, peak resident set in bytes and package size of cmd under /usr/bin/time -v."""
    report = out + ".time"
    t, size = run_timed(["/usr/bin/time", "-v", "-o", report, *cmd], out, env, cwd)
    with open(report) as f:
        rss = int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", f.read()).group(1)) * 1024
    return t, rss, size


def million(cli, work, runs, with_zip):
    """Peak memory and time of a build of a million empty files; returns the text and whether memory stays
    under 300 MB."""
    root = os.path.join(work, "million")
    make_million(root)
    tree = os.path.join(root, "tree") + "/"
    # The inodes into the cache, as the other cases have them after their warm-up.
    subprocess.run(["find", tree, "-printf", "%s"], check=True, stdout=subprocess.DEVNULL)
    fresh = FreshCli(cli, work, "million")
    ours_zip, peer_zip = (os.path.join(work, "build-out", n) for n in ("million.zip", "million-zip.zip"))
    # The names have no dot, so every file is asked for: the stored patterns (*.*) would take none.
    results = [time_v(fresh.prepare(["build", ours_zip, tree, "--include", "*"]), ours_zip, fresh.env)
               for _ in range(runs)]
    t = statistics.median(r[0] for r in results)
    rss = max(r[1] for r in results)
    size = results[-1][2]
    files = sum(len(n) for _, _, n in os.walk(tree))
    ok = rss < 300e6
    lines = ["| case | wall | peak resident | goal | package | |", "|---|---|---|---|---|---|",
             f"| {files:,} empty files in 1,000 folders, `varnhold-cli build` | {t:.2f} s | {rss / 1e6:.0f} MB | "
             f"< 300 MB | {size / 1e6:.1f} MB | {'ok' if ok else 'OVER'} |"]
    if with_zip:
        zt, zrss, zsize = time_v(["zip", "-r", "-q", "-6", peer_zip, tree], peer_zip, cwd="/")
        same_entries(ours_zip, peer_zip)
        lines.append(f"| the same, `zip -r -q -6` (once) | {zt:.2f} s | {zrss / 1e6:.0f} MB | – | "
                     f"{zsize / 1e6:.1f} MB | |")
    return "\n".join(lines), ok


STRACE_GROUPS = (
    ("openat", ("openat", "open", "openat2")),
    ("read", ("read", "pread64", "readv", "preadv", "preadv2")),
    ("write", ("write", "pwrite64", "writev", "pwritev", "pwritev2")),
    ("lseek", ("lseek",)),
    ("stat", ("newfstatat", "statx", "fstat", "stat", "lstat")),
    ("flock", ("flock",)),
    ("fcntl", ("fcntl",)),
    ("close", ("close",)),
    ("readlink", ("readlink", "readlinkat")),
    ("futex", ("futex",)),
)


def strace_count(cli, work):
    """System calls of one build of the small-files tree, per file; returns the text and whether opens stay at
    1.05 per file or fewer and readlink is not called per file."""
    root = os.path.join(work, "small")
    make_small(root)
    tree = os.path.join(root, "tree") + "/"
    files = sum(len(n) for _, _, n in os.walk(tree))
    fresh = FreshCli(cli, work, "strace")
    out = os.path.join(work, "build-out", "strace.zip")
    report = os.path.join(work, "build-out", "strace-small.txt")
    t, _ = run_timed(fresh.prepare(["build", out, tree], ["strace", "-c", "-f", "-o", report]), out, fresh.env)
    calls = {}
    with open(report) as f:
        for line in f:
            parts = line.split()
            # "% time  seconds  usecs/call  calls  [errors]  syscall"; the errors column may be empty.
            if len(parts) in (5, 6) and parts[3].isdigit():
                calls[parts[-1]] = int(parts[3])
    total = calls.pop("total")
    grouped = {name: sum(calls.get(c, 0) for c in members) for name, members in STRACE_GROUPS}
    opens, readlinks = grouped["openat"] / files, grouped["readlink"]
    ok = opens <= 1.05 and readlinks < files / 100
    lines = [f"`strace -c -f` of one `varnhold-cli build` of {files:,} small files ({t:.1f} s under strace); "
             f"report in {report}.\n", "| system calls | calls | per file | goal | |", "|---|---|---|---|---|"]
    for name, members in STRACE_GROUPS:
        label = " + ".join(c for c in members if c in calls) or members[0]
        goal, mark = "", ""
        if name == "openat":
            goal, mark = "≤ 1.05", "ok" if opens <= 1.05 else "OVER"
        elif name == "readlink":
            goal, mark = "none per file", "ok" if readlinks < files / 100 else "OVER"
        lines.append(f"| {label} | {grouped[name]:,} | {grouped[name] / files:.3f} | {goal} | {mark} |")
    lines.append(f"| all | {total:,} | {total / files:.3f} | | |")
    others = sorted((n for n in calls if not any(n in m for _, m in STRACE_GROUPS) and calls[n] >= files / 100),
                    key=lambda n: -calls[n])
    if others:
        lines.append("\nOthers at 0.01 per file or more: " +
                     ", ".join(f"{n} {calls[n]:,} ({calls[n] / files:.3f})" for n in others) + ".")
    lines.append(f"\nOpens per file: {grouped['openat']:,} ÷ {files:,} = {opens:.3f}; readlink calls: {readlinks:,}.")
    return "\n".join(lines), ok


def timed(cmd, cwd, out):
    if os.path.exists(out):
        os.remove(out)
    start = time.perf_counter()
    subprocess.run(cmd, cwd=cwd, check=True, stdout=subprocess.DEVNULL)
    return time.perf_counter() - start, os.path.getsize(out)


def compare(name, ours, peer, runs):
    """ours and peer are (cmd, cwd, package) triples; returns medians and sizes."""
    timed(*ours)
    timed(*peer)
    a, b = [], []
    for _ in range(runs):
        t, size_a = timed(*ours)
        a.append(t)
        t, size_b = timed(*peer)
        b.append(t)
    return statistics.median(a), statistics.median(b), size_a, size_b


def corpus_facts(root):
    files = total = 0
    for folder, _, names in os.walk(root):
        for n in names:
            if n != ".complete":
                files += 1
                total += os.path.getsize(os.path.join(folder, n))
    return files, total


TABLE_HEAD = ("| case | ours | zip | time ratio | goal | ours size | zip size | size ratio | goal | |\n"
              "|---|---|---|---|---|---|---|---|---|---|")
DRIVER_CASES = ("normal", "maximum", "fast")
CLI_CASES = ("small", "mixed", "million")


def driver_cases(args, only):
    """The zip layer's compress (bench/zipbuild_bench) against zip on the generated corpus."""
    driver = os.path.abspath(args.driver)
    corpus = os.path.join(args.work, "corpus")
    out = os.path.join(args.work, "build-out")
    make_corpus(corpus)
    files, total = corpus_facts(corpus)
    ours_zip = os.path.join(out, "ours.zip")
    peer_zip = os.path.join(out, "infozip.zip")
    # Info-ZIP also stores folder entries and extra fields; the comparison is of what each makes of the same folder.
    cases = [
        ("normal", "Normal vs `zip -r -q -6`", "normal", "-6", 1 / 1.5, 1.01),
        ("maximum", "Maximum vs `zip -r -q -9`", "maximum", "-9", None, 1.0),
        ("fast", "Fast vs `zip -r -q -1`", "fast", "-1", None, None),
    ]
    print(f"Corpus: {files} files, {total / 1e6:.0f} MB; median of {args.runs} runs after a warm-up; 2 cores.\n")
    print(TABLE_HEAD)
    good = True
    for key, title, level, flag, time_goal, size_goal in cases:
        if key not in only:
            continue
        ta, tb, sa, sb = compare(title, ([driver, corpus, ours_zip, level], corpus, ours_zip),
                                 (["zip", "-r", "-q", flag, peer_zip, "."], corpus, peer_zip), args.runs)
        ok = (time_goal is None or ta / tb <= time_goal) and (size_goal is None or sa / sb <= size_goal)
        good &= ok
        print(f"| {title} | {ta:.2f} s | {tb:.2f} s | {ta / tb:.2f} | "
              f"{'≤ %.2f' % time_goal if time_goal else '–'} | {sa / 1e6:.1f} MB | {sb / 1e6:.1f} MB | "
              f"{sa / sb:.4f} | {'≤ %.2f' % size_goal if size_goal else '–'} | {'ok' if ok else 'OVER'} |",
              flush=True)
    return good


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--driver", default=os.path.join(ROOT, "build/bench/zipbuild_bench"))
    ap.add_argument("--work", default="/tmp/varnhold-bench")
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--cli", default=os.path.join(ROOT, "build/apps/varnhold-cli/varnhold-cli"))
    ap.add_argument("--only", default="", help="comma-separated subset: " + ",".join(DRIVER_CASES + CLI_CASES) +
                    " (default normal,maximum)")
    ap.add_argument("--strace", action="store_true", help="count the system calls of one small-files build")
    ap.add_argument("--skip-million-zip", action="store_true", help="leave zip out of the million-files case")
    args = ap.parse_args()
    only = set(filter(None, args.only.split(",")))
    unknown = only - set(DRIVER_CASES + CLI_CASES)
    if unknown:
        ap.error("unknown case: " + ", ".join(sorted(unknown)))
    if not only and not args.strace:
        only = {"normal", "maximum"}
    cli = os.path.abspath(args.cli)
    os.makedirs(os.path.join(args.work, "build-out"), exist_ok=True)
    good = True
    if only & set(DRIVER_CASES):
        good &= driver_cases(args, only)
        print()
    for key in CLI_CASES:
        if key not in only:
            continue
        start, load = time.perf_counter(), f"{os.getloadavg()[0]:.2f}"
        if key == "million":
            text, ok = million(cli, args.work, args.runs, not args.skip_million_zip)
            print(f"{'Median' if args.runs > 1 else 'One run'} of {args.runs}, no warm-up; 2 cores.\n")
            print(text)
        else:
            text, ok = small_files(cli, args.work, args.runs) if key == "small" else mixed(cli, args.work, args.runs)
            print(f"Median of {args.runs} runs after a warm-up; 2 cores.\n")
            print(TABLE_HEAD)
            print(text)
        print(f"\n({key}: {time.perf_counter() - start:.0f} s in all; load average {load} before, "
              f"{os.getloadavg()[0]:.2f} after)\n", flush=True)
        good &= ok
    if args.strace:
        start, load = time.perf_counter(), f"{os.getloadavg()[0]:.2f}"
        text, ok = strace_count(cli, args.work)
        print(text)
        print(f"\n(strace: {time.perf_counter() - start:.0f} s in all; load average {load} before, "
              f"{os.getloadavg()[0]:.2f} after)", flush=True)
        good &= ok
    return 0 if good else 1


if __name__ == "__main__":
    sys.exit(main())
