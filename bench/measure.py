#!/usr/bin/env python3
"""Times Trackfold's whole Start command against find and fdfind on generated trees.

Generates the trees once (fixed seed) under --work, times Trackfold and the
other tools on them in interleaved rounds, prints a Markdown table of the
figures and names below it every goal that is missed (exit status 1).

  (default)  warm cache: the library, library x2, wide and deep trees, with
             the POSIX and the portable folder reader (--reading), against
             find.
  --cold     the library tree on an ext4 image attached with direct I/O and
             mounted afresh for every run, against find and fdfind -j8
             (needs root and loop devices).
  --slow     the library tree behind trackfold_slowfs (bench/slowfs.cpp), a
             FUSE layer that delays every request, against fdfind -j8; then
             the real program under Xvfb, watched by bench/pingwatch.py
             (needs root and /dev/fuse; --slow-only runs one of the two).

Run it through bench/run, which builds the programs first.

The method, the goals and the figures: docs/performance.md.
"""

import argparse
import contextlib
import itertools
import json
import os
import random
import re
import shutil
import statistics
import subprocess
import sys
import time
from collections import Counter
from typing import NamedTuple

GENERATOR_VERSION = 3
SEED = 20240611

# Goals: ratio to find; peak memory in MiB.
RATIO_GOAL = {"library": 0.6, "library x2": None, "wide": 0.8, "deep": 1.2}
MEMORY_GOAL_MIB = {"library": 16, "library x2": None, "wide": 48, "deep": 16}
SYSCALLS_PER_FOLDER_GOAL = 5
DOUBLING_SLACK = 1.10
# The portable reader (what macOS and Windows get) against the POSIX one.
PORTABLE_GOAL = 2.0
# Cold disk, library tree: the Start command against each of these tools.
COLD_TREE = "library"
COLD_GOAL = {"fdfind -j8": 1.0, "find": 0.5}
COLD_IMAGE_VERSION = 1
# ReadAhead::kMaxAhead and kMaxAheadEntries in the service.
COLD_AHEAD = 128
COLD_AHEAD_ENTRIES = 65536

WORDS = (
    "Blue Night Road River Fire Stone Golden Silver Heart Rain Summer Winter "
    "Electric Midnight Ocean Shadow Light Dream Wild Broken Northern Southern "
    "Velvet Iron Paper Glass Echo Dust Crystal Thunder Morning Evening Love "
    "Lost Highway Garden Kings Queens Brothers Sisters Angels Ghosts Machine "
    "Café Über Señor Déjà Fjørd Straße Ærø Noël Coração Мир 東京"
).split()
EXTRAS = ["cover.jpg", "folder.jpg", "back.jpg", "album.nfo", "playlist.m3u", ".DS_Store"]


def words(rng, low, high):
    return " ".join(rng.choice(WORDS) for _ in range(rng.randint(low, high)))


def touch(path):
    with open(path, "wb"):
        pass


def make_library(root, rng, artists):
    os.makedirs(root)
    taken = set()
    for _ in range(artists):
        name = words(rng, 1, 3)
        if rng.random() < 0.08:
            name += " & " + words(rng, 1, 2)
        while name in taken:
            name += " " + str(rng.randint(2, 99))
        taken.add(name)
        artist = os.path.join(root, name)
        os.makedirs(artist)
        if rng.random() < 0.1:  # loose singles beside the albums
            for i in range(rng.randint(1, 3)):
                touch(os.path.join(artist, f"{words(rng, 1, 3)} {i}.mp3"))
        for a in range(rng.randint(5, 15)):
            year = rng.randint(1960, 2024)
            album = os.path.join(artist, f"{year} - {words(rng, 1, 4)} {a}")
            os.makedirs(album)
            kind = rng.random()
            if kind < 0.03:
                continue  # empty
            if kind < 0.06:
                touch(os.path.join(album, "cover.jpg"))
                continue
            style = rng.randint(0, 2)
            for t in range(1, rng.randint(5, 14) + 1):
                title = words(rng, 1, 5)
                if style == 0:
                    track = f"{t:02d} - {title}.mp3"
                elif style == 1:
                    track = f"{t:02d}_{title.replace(' ', '_')}.MP3"
                else:
                    track = f"{t} {title}.mp3"
                touch(os.path.join(album, track))
            if rng.random() < 0.95:
                touch(os.path.join(album, "cover.jpg"))
            if rng.random() < 0.05:
                touch(os.path.join(album, rng.choice(EXTRAS[1:])))


def make_wide(root, rng, count):
    os.makedirs(root)
    numbers = list(range(1, count + 1))
    rng.shuffle(numbers)
    for n in numbers:
        touch(os.path.join(root, f"{words(rng, 1, 3)} {n}.mp3"))


def make_deep(root, depth):
    folder = root
    os.makedirs(folder)
    for level in range(1, depth + 1):
        folder = os.path.join(folder, f"{level:03d}")
        os.mkdir(folder)
        touch(os.path.join(folder, f"Track {level} a.mp3"))
        touch(os.path.join(folder, f"Track {level} b.mp3"))


def count_tree(root):
    folders = files = mp3 = 0
    for _, dirs, names in os.walk(root):
        folders += 1
        files += len(names)
        mp3 += sum(1 for n in names if n.lower().endswith(".mp3"))
    return {"folders": folders, "files": files, "mp3": mp3}


def ensure_trees(work):
    trees = os.path.join(work, "trees")
    manifest_path = os.path.join(trees, "manifest.json")
    try:
        with open(manifest_path) as f:
            manifest = json.load(f)
        if manifest.get("version") == GENERATOR_VERSION:
            return trees, manifest["trees"]
    except (OSError, ValueError):
        pass
    print("generating trees in", trees, "...", file=sys.stderr, flush=True)
    shutil.rmtree(trees, ignore_errors=True)
    os.makedirs(trees)
    make_library(os.path.join(trees, "library"), random.Random(SEED), 640)
    make_library(os.path.join(trees, "library2"), random.Random(SEED + 1), 1280)
    make_wide(os.path.join(trees, "wide"), random.Random(SEED + 2), 100_000)
    make_deep(os.path.join(trees, "deep"), 500)
    info = {
        "library": {"dir": "library", **count_tree(os.path.join(trees, "library"))},
        "library x2": {"dir": "library2", **count_tree(os.path.join(trees, "library2"))},
        "wide": {"dir": "wide", **count_tree(os.path.join(trees, "wide"))},
        "deep": {"dir": "deep", **count_tree(os.path.join(trees, "deep"))},
    }
    with open(manifest_path, "w") as f:
        json.dump({"version": GENERATOR_VERSION, "trees": info}, f, indent=1)
    return trees, info


class Commands:
    def __init__(self, program, work):
        self.program = program
        self.jukebox = os.path.join(work, "jukebox")
        os.makedirs(self.jukebox, exist_ok=True)
        self.find_out = os.path.join(work, "find.out")
        self.readers = None  # the service's own choice

    def trackfold(self, tree, reading, readers=None):
        readers = readers or self.readers
        return [self.program, tree, self.jukebox, "--reading", reading] + (
            ["--readers", str(readers)] if readers else [])

    def find(self, tree):
        return ["find", tree, "-iname", "*.mp3"]

    def run(self, argv, to_file=False):
        """Runs argv once; returns the process's wall time in seconds and, when
        it printed one, the Start command's own time in seconds (else None)."""
        out = open(self.find_out, "wb") if to_file else subprocess.PIPE
        try:
            start = time.perf_counter()
            result = subprocess.run(argv, stdout=out, stderr=subprocess.PIPE)
            elapsed = time.perf_counter() - start
        finally:
            if to_file:
                out.close()
        if result.returncode != 0:
            sys.exit(f"{' '.join(argv)} failed:\n{result.stderr.decode(errors='replace')}")
        command = None
        if not to_file:
            m = re.search(rb"^start_command_ns (\d+)$", result.stdout, re.M)
            if not m:
                sys.exit(f"{' '.join(argv)} printed no start_command_ns line")
            command = int(m.group(1)) / 1e9
        return elapsed, command


def strace_summary(argv, out_path):
    """Total system calls of argv and its children, by strace -c."""
    subprocess.run(["strace", "-f", "-c", "-o", out_path, "--"] + argv,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    calls = {}
    with open(out_path) as f:
        for line in f:
            fields = line.split()
            if len(fields) >= 5 and fields[0][0].isdigit() and fields[3].isdigit():
                calls[fields[-1]] = int(fields[3])
    return calls.get("total", 0), calls


def walk_calls(argv, out_path):
    """System calls of argv without its output writes, which follow the size
    of what is written (the document, find's list), not the folders read."""
    total, calls = strace_summary(argv, out_path)
    return total - calls.get("write", 0) - calls.get("writev", 0)


GETDENTS = re.compile(r"^(?:\d+\s+)?getdents64\((\d+)<(.*)>, .*\) = (-?\d+)")


def directory_passes(argv, out_path):
    """Per folder path: how many times it was read to its end (getdents64 = 0)."""
    subprocess.run(["strace", "-f", "-y", "-e", "trace=getdents64", "-o", out_path, "--"] + argv,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    ended = Counter()
    with open(out_path, errors="replace") as f:
        for line in f:
            m = GETDENTS.match(line)
            if m and m.group(3) == "0":
                ended[m.group(2)] += 1
    return ended


def threads_started(argv, out_path):
    """Threads argv starts; strace stops only at these calls (seccomp), so the
    others run at full speed."""
    subprocess.run(["strace", "-f", "--seccomp-bpf", "-e", "trace=clone,clone3", "-o",
                    out_path, "--"] + argv, stdout=subprocess.DEVNULL, check=True)
    with open(out_path, errors="replace") as log:
        return sum(1 for line in log if re.search(r"\bclone3?\(", line))


def peak_kib(argv, out_path):
    subprocess.run(["/usr/bin/time", "-f", "%M", "-o", out_path, "--"] + argv,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    with open(out_path) as f:
        return int(f.read().split()[-1])


def report_goals(missed):
    """Prints every goal missed, or that all were met; the exit status."""
    if missed:
        print("GOALS MISSED:")
        for line in missed:
            print("  - " + line)
    else:
        print("All goals met.")
    return 1 if missed else 0


def fmt_ms(seconds):
    return f"{seconds * 1000:.0f}" if seconds >= 0.1 else f"{seconds * 1000:.1f}"


def spread_ms(values):
    """Median (min–max) of times in seconds, printed in ms."""
    return f"{fmt_ms(statistics.median(values))} ({fmt_ms(min(values))}–{fmt_ms(max(values))})"


def spread_s(values):
    """Median (min–max) of times in seconds."""
    return f"{statistics.median(values):.2f} ({min(values):.2f}–{max(values):.2f})"


def spread_ratio(values):
    """Median (min–max) of per-round ratios."""
    return f"{statistics.median(values):.2f} ({min(values):.2f}–{max(values):.2f})"


def print_table(columns, rows):
    """A Markdown table: columns are (heading, cell) pairs, where cell(row) is
    the row's text in that column. A cell of None is blank with one space
    between its bars (the cold table's lines of Trackfold alone, which have
    no ratio); an empty text keeps its two (the warm table's judged reader
    against itself), so that both tables print as they always have."""
    def line(cells):
        return "|" + "|".join(" " if cell is None else f" {cell} " for cell in cells) + "|"

    print(line(heading for heading, _ in columns))
    print("|" + "---|" * len(columns))
    for row in rows:
        print(line(cell(row) for _, cell in columns))


def judged_ratio(values, goal):
    """Per-round ratios; in bold with their goal beside them when one is set."""
    return f"**{spread_ratio(values)}** (≤ {goal})" if goal else spread_ratio(values)


def ratios(numerators, denominators):
    """One ratio per round: two times taken back to back in the same round."""
    return [n / d for n, d in zip(numerators, denominators)]


def round_orders(contestants, rounds):
    """The order in which each round runs its contestants: each goes first in
    turn (a rotation per round), and the rotated order steps through every
    permutation, so that none always follows the same one."""
    orders = list(itertools.permutations(contestants))
    count = len(contestants)
    result = []
    for r in range(rounds):
        base = orders[(r // count) % len(orders)]
        shift = r % count
        result.append(base[shift:] + base[:shift])
    return result


def cold_missing():
    """What the cold benchmark needs and this machine lacks, in plain words."""
    missing = []
    if os.geteuid() != 0:
        missing.append("root: attaching a loop device and mounting need it (run as root)")
    if not os.path.exists("/dev/loop-control"):
        missing.append("loop devices: /dev/loop-control is missing (modprobe loop, or a "
                       "container given access to loop devices)")
    for tool, package in [("mkfs.ext4", "e2fsprogs"), ("losetup", "util-linux"),
                          ("mount", "mount"), ("umount", "mount"), ("fdfind", "fd-find")]:
        if not shutil.which(tool):
            missing.append(f"{tool} (package {package})")
    return missing


def sh(argv):
    """Runs a set-up command; its output comes back, a failure ends the benchmark."""
    result = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    if result.returncode != 0:
        sys.exit(f"{' '.join(argv)} failed:\n{result.stderr}")
    return result.stdout.strip()


@contextlib.contextmanager
def attached(image, mount_point, read_only=True):
    """The image attached to a loop device that bypasses the host's page cache,
    and mounted; detached again afterwards, whatever happened."""
    argv = ["losetup", "--find", "--show", "--direct-io=on"]
    if read_only:
        argv.append("--read-only")
    device = sh(argv + [image])
    try:
        # losetup quietly attaches without direct I/O where the backing file
        # system cannot do it; then the host's cache would serve the reads.
        dio = sh(["losetup", "--noheadings", "--output", "DIO", device])
        if dio != "1":
            sys.exit(f"{device}: direct I/O is off (the file system holding {image} "
                     "refuses it); cold figures would be warm")
        sh(["mount", "-o", "ro" if read_only else "rw", device, mount_point])
        try:
            yield
        finally:
            sh(["umount", mount_point])
    finally:
        sh(["losetup", "--detach", device])


def ensure_image(work, tree_path, tree):
    """An ext4 image holding the tree at its root, made once per tree version."""
    cold = os.path.join(work, "cold")
    image = os.path.join(cold, "library.ext4")
    stamp = image + ".version"
    mount_point = os.path.join(cold, "mnt")
    os.makedirs(mount_point, exist_ok=True)
    made = f"{GENERATOR_VERSION}.{COLD_IMAGE_VERSION}"
    try:
        with open(stamp) as f:
            if f.read().strip() == made and os.path.exists(image):
                return image, mount_point
    except OSError:
        pass
    print("making", image, "...", file=sys.stderr, flush=True)
    with contextlib.suppress(FileNotFoundError):
        os.remove(stamp)
    with contextlib.suppress(FileNotFoundError):
        os.remove(image)
    # Room for every folder's block and every inode, twice over; the image is
    # sparse, so unused room costs nothing on the host. The inode tables are
    # written now, so that no background initialisation runs during a timing.
    size_mib = max(256, (tree["folders"] * 4096 * 4 + tree["files"] * 512) // (1 << 20))
    inodes = 2 * (tree["folders"] + tree["files"]) + 1024
    with open(image, "wb") as f:
        f.truncate(size_mib << 20)
    sh(["mkfs.ext4", "-q", "-F", "-N", str(inodes), "-E",
        "lazy_itable_init=0,lazy_journal_init=0", image])
    with attached(image, mount_point, read_only=False):
        sh(["cp", "-a", tree_path + "/.", mount_point])
        sh(["sync", "-f", mount_point])
    with open(stamp, "w") as f:
        f.write(made + "\n")
    return image, mount_point


class ColdRow(NamedTuple):
    """A line of the cold table: what ran and its times in seconds, and the
    per-round ratios of Trackfold's times to them (None in Trackfold's own
    lines), the first judged on the goal when there is one."""
    what: str
    times: list
    command_ratio: list | None = None
    process_ratio: list | None = None
    goal: float | None = None


COLD_COLUMNS = [
    ("what", lambda r: r.what),
    ("ms, median (min–max)", lambda r: spread_ms(r.times)),
    ("Trackfold Start command / this, per round: median (min–max) (goal)",
     lambda r: None if r.command_ratio is None else judged_ratio(r.command_ratio, r.goal)),
    ("Trackfold whole process / this, per round: median (min–max)",
     lambda r: None if r.process_ratio is None else spread_ratio(r.process_ratio)),
]


def cold_main(args, commands, work, trees, path_of):
    tree = trees[COLD_TREE]
    image, mount_point = ensure_image(work, path_of[COLD_TREE], tree)

    def find():
        return commands.find(mount_point)

    def fdfind():
        return ["fdfind", "-u", "-j8", "-e", "mp3", ".", mount_point]

    def trackfold():
        return commands.trackfold(mount_point, "posix")

    def sequential():
        return commands.trackfold(mount_point, "posix", readers=1)

    contestants = {"Trackfold": trackfold, "find": find, "fdfind -j8": fdfind,
                   "Trackfold, 1 reader": sequential}

    def run_cold(who):
        with attached(image, mount_point):
            return commands.run(contestants[who](), to_file=not who.startswith("Trackfold"))

    # Once each, untimed: every contestant runs at all, and the programs' own
    # files are in the host's cache as they would be on a second Start.
    for who in contestants:
        run_cold(who)

    times = {who: [] for who in contestants}
    command_times = []
    sequential_times = []
    orders = round_orders(list(contestants), args.runs)
    for run in range(args.runs):
        print(f"\rround {run + 1}/{args.runs}", end="", file=sys.stderr, flush=True)
        for who in orders[run]:
            elapsed, command = run_cold(who)
            times[who].append(elapsed)
            if who == "Trackfold":
                command_times.append(command)
            elif who == "Trackfold, 1 reader":
                sequential_times.append(command)
    print("\r", end="", file=sys.stderr)

    print(f"Cold disk: the {COLD_TREE} tree ({tree['folders']:,} folders, {tree['files']:,} "
          f"files) on an ext4 image attached with\n`losetup --direct-io=on` and mounted "
          f"read-only afresh before every single run; {args.runs} rounds,\neach running "
          "Trackfold (the service's readers, and 1 reader), `find -iname '*.mp3' > file`\nand "
          "`fdfind -u -j8 -e mp3 > file` in an order that changes from round to round.\nRatios "
          "are taken within a round; a goal is judged on their median (min–max\nbeside it). "
          f"At most {COLD_AHEAD} folders, holding at most {COLD_AHEAD_ENTRIES:,} entries (and "
          "those being read), are\nread ahead of the walk, so peak memory grows by at most "
          "that much.")
    print()
    rows = [
        ColdRow("Trackfold, Start command", command_times),
        ColdRow("Trackfold, whole process", times["Trackfold"]),
        ColdRow("Trackfold, Start command, 1 reader", sequential_times,
                ratios(command_times, sequential_times),
                ratios(times["Trackfold"], sequential_times)),
    ]
    missed = []
    for who in ["find", "fdfind -j8"]:
        row = ColdRow(f"`{who}`", times[who], ratios(command_times, times[who]),
                      ratios(times["Trackfold"], times[who]), COLD_GOAL[who])
        rows.append(row)
        if statistics.median(row.command_ratio) > row.goal:
            missed.append(f"cold: the Start command takes "
                          f"{statistics.median(row.command_ratio):.2f} times {who}, goal at "
                          f"most {row.goal}")
    print_table(COLD_COLUMNS, rows)
    print()
    return report_goals(missed)


SLOW_DELAYS_MS = (0.2, 1, 5)
# find makes about ten requests a folder, one at a time: minutes at 1 ms.
SLOW_FIND_MS = (0.2,)
# At 5 ms a round of the whole library takes over three minutes (most of it
# Trackfold with 1 reader); these delays walk the first third of its artists.
SLOW_THIRD_MS = (5,)
# The Start command against fdfind -j8, per delay in ms.
SLOW_GOAL = {1: 0.6, 5: 0.6}
SLOW_GUI_DELAY_MS = 5
SLOW_PING_GOAL_S = 0.1
SLOW_BOX_GOAL_S = 1.2
# A cancel is judged against one folder read, Trackfold's delayed requests per
# folder (the table counts them) at the delay, plus this slack.
SLOW_CANCEL_AFTER_S = 1.0
SLOW_FOLDER_REQUESTS = 5
SLOW_CANCEL_SLACK_S = 0.1
# The kinds of request the layer delays (trackfold_slowfs counts all it serves).
SLOW_DELAYED = ("lookup", "getattr", "opendir", "readdir", "open")
# The window watcher runs under Debian's python3, where python3-xlib installs
# (a python3 of one's own first in PATH would not have it).
SLOW_GUI_PYTHON = "/usr/bin/python3" if os.access("/usr/bin/python3", os.X_OK) else sys.executable


def slow_missing(args, gui):
    """What the slow benchmark needs and this machine lacks, in plain words."""
    missing = []
    if os.geteuid() != 0:
        missing.append("root: mounting the FUSE layer with other users' access needs it (run "
                       "as root)")
    if not os.path.exists("/dev/fuse"):
        missing.append("/dev/fuse (modprobe fuse, or a container given the device)")
    if not os.access(args.slowfs, os.X_OK):
        missing.append(f"{args.slowfs}: not built (libfuse3's headers, package libfuse3-dev, "
                       "and pkg-config were missing when it was configured)")
    tools = [("fdfind", "fd-find"), ("umount", "mount")]
    if gui:
        tools += [("xvfb-run", "xvfb"), ("xauth", "xauth")]
    for tool, package in tools:
        if not shutil.which(tool):
            missing.append(f"{tool} (package {package})")
    if gui:
        if not os.access(args.gui_program, os.X_OK):
            missing.append(f"{args.gui_program}: not built")
        if subprocess.run([SLOW_GUI_PYTHON, "-c", "import Xlib.ext.xtest"],
                          stderr=subprocess.DEVNULL).returncode != 0:
            missing.append("python3's Xlib (package python3-xlib)")
    return missing


class Served:
    """What the FUSE layer served in one mount: requests by kind, the
    processor time the layer itself spent, in seconds, and when the last
    opendir or readdir came (time.monotonic()'s clock; None when none came)."""

    def __init__(self):
        self.requests = {}
        self.cpu_s = 0.0
        self.last_read_s = None

    def total(self, kinds=None):
        """Requests of these kinds, or all answered ones (a forget has no answer)."""
        return sum(n for kind, n in self.requests.items()
                   if (kind in kinds if kinds else kind != "forget"))


@contextlib.contextmanager
def slow_mounted(slowfs, source, mount_point, delay_ms, counts_path):
    """source through the FUSE layer at mount_point, freshly mounted, every
    request delayed by delay_ms; yields a Served, filled in once it is
    unmounted again."""
    if os.path.ismount(mount_point):  # left by a run that was killed
        sh(["umount", "-l", mount_point])
    with contextlib.suppress(FileNotFoundError):
        os.remove(counts_path)
    daemon = subprocess.Popen([slowfs, source, mount_point, "--delay-us",
                               str(round(delay_ms * 1000)), "--counts", counts_path],
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    if daemon.stdout.readline().strip() != "mounted":
        daemon.kill()
        sys.exit(f"{slowfs} did not mount {mount_point}:\n{daemon.communicate()[1]}")
    served = Served()
    try:
        yield served
    finally:
        # A directory's release goes to the layer after its program has ended,
        # and the mount is busy until the layer has answered it.
        for attempt in itertools.count():
            result = subprocess.run(["umount", mount_point], stderr=subprocess.PIPE, text=True)
            if result.returncode == 0:
                break
            if attempt == 100:
                daemon.kill()
                sys.exit(f"umount {mount_point} failed:\n{result.stderr}")
            time.sleep(0.05)
        # Unmounted, the layer writes its counts and ends at once.
        _, status, usage = os.wait4(daemon.pid, 0)
        daemon.returncode = os.waitstatus_to_exitcode(status)
        if daemon.returncode != 0:
            sys.exit(f"{slowfs} failed:\n{daemon.stderr.read()}")
        served.cpu_s = usage.ru_utime + usage.ru_stime
        with open(counts_path) as f:
            for line in f:
                kind, count = line.split()
                if kind == "last-read-ns":
                    served.last_read_s = int(count) / 1e9 if int(count) else None
                else:
                    served.requests[kind] = int(count)


def ensure_third(work, library):
    """The first third of the library's artists (in name order), hard links of
    its files, made once per tree version."""
    third = os.path.join(work, "slow", "third")
    stamp = third + ".version"
    try:
        with open(stamp) as f:
            if f.read().strip() == str(GENERATOR_VERSION):
                return third, count_tree(third)
    except OSError:
        pass
    shutil.rmtree(third, ignore_errors=True)
    os.makedirs(third)
    artists = sorted(os.listdir(library))
    sh(["cp", "-al", "--"] + [os.path.join(library, a) for a in artists[:len(artists) // 3]]
       + [third])
    with open(stamp, "w") as f:
        f.write(f"{GENERATOR_VERSION}\n")
    return third, count_tree(third)


SLOW_NAMES = {"Trackfold": "Trackfold, Start command, the service's readers",
              "Trackfold, 1 reader": "Trackfold, Start command, 1 reader",
              "fdfind -j8": "`fdfind -u -j8 -e mp3`",
              "find": "`find -iname '*.mp3'`"}


class SlowRow(NamedTuple):
    """A line of the slow table: one contestant at one delay (in ms) on a
    tree of so many folders. Times are in seconds; ratio holds the per-round
    ratios to fdfind -j8, judged on the goal when there is one; delayed and
    answered are the layer's requests per folder, medians over the rounds."""
    delay: float
    folders: int
    who: str
    times: list
    ratio: list
    goal: float | None
    delayed: float
    answered: float


SLOW_COLUMNS = [
    ("delay", lambda r: f"{r.delay:g} ms"),
    ("folders", lambda r: f"{r.folders:,}"),
    ("what", lambda r: SLOW_NAMES[r.who]),
    ("s, median (min–max)", lambda r: spread_s(r.times)),
    ("this / fdfind -j8, per round: median (min–max) (goal)",
     lambda r: "1.00" if r.who == "fdfind -j8" else judged_ratio(r.ratio, r.goal)),
    ("FUSE requests per folder: delayed (all)",
     lambda r: f"{r.delayed:.2f} ({r.answered:.2f})"),
]


def slow_table(args, commands, work, library, library_path):
    slow = os.path.join(work, "slow")
    mount_point = os.path.join(slow, "mnt")
    os.makedirs(mount_point, exist_ok=True)
    counts_path = os.path.join(slow, "requests")
    third_path, third = ensure_third(work, library_path)

    def argv(who):
        return {
            "Trackfold": commands.trackfold(mount_point, "posix"),
            "Trackfold, 1 reader": commands.trackfold(mount_point, "posix", readers=1),
            "fdfind -j8": ["fdfind", "-u", "-j8", "-e", "mp3", ".", mount_point],
            "find": commands.find(mount_point),
        }[who]

    def run_slow(source, delay_ms, who):
        """One mount, one run: the time (the Start command's for Trackfold,
        else the process's) and the requests served, by kind."""
        with slow_mounted(args.slowfs, source, mount_point, delay_ms, counts_path) as served:
            elapsed, command = commands.run(argv(who), to_file=not who.startswith("Trackfold"))
        return (command if who.startswith("Trackfold") else elapsed), served

    # The layer's own cost: Trackfold with 1 reader asks for one thing at a
    # time, so each request's cost adds to its time. Undelayed layer against
    # the bare tree, per round; and the layer's processor time.
    own = []
    own_cpu = []
    for run in range(args.runs):
        print(f"\rlayer's own cost {run + 1}/{args.runs}", end="", file=sys.stderr, flush=True)
        _, bare = commands.run(commands.trackfold(library_path, "posix", readers=1))
        through, served = run_slow(library_path, 0, "Trackfold, 1 reader")
        own.append((through - bare) / served.total())
        own_cpu.append(served.cpu_s / served.total())
    print("\r", end="", file=sys.stderr)

    rows = []
    missed = []
    kinds = {}
    trip = {}
    for delay in SLOW_DELAYS_MS:
        source, tree = (third_path, third) if delay in SLOW_THIRD_MS else (library_path, library)
        contestants = ["Trackfold", "Trackfold, 1 reader", "fdfind -j8"]
        if delay in SLOW_FIND_MS:
            contestants.append("find")
        times = {who: [] for who in contestants}
        requests = {who: [] for who in contestants}
        for run, order in enumerate(round_orders(contestants, args.runs)):
            print(f"\r{delay} ms: round {run + 1}/{args.runs}", end="", file=sys.stderr,
                  flush=True)
            for who in order:
                took, served = run_slow(source, delay, who)
                times[who].append(took)
                requests[who].append(served)
        print("\r", end="", file=sys.stderr)
        fd = times["fdfind -j8"]
        per = max(tree["folders"], 1)
        for who in contestants:
            ratio = ratios(times[who], fd)
            goal = SLOW_GOAL.get(delay) if who == "Trackfold" else None
            delayed = statistics.median(c.total(SLOW_DELAYED) for c in requests[who]) / per
            answered = statistics.median(c.total() for c in requests[who]) / per
            kinds[who] = {k: statistics.median(c.requests[k] for c in requests[who]) / per
                          for k in requests[who][0].requests}
            if who == "Trackfold, 1 reader":
                # One request at a time: its time over them is a round trip
                # as a client sees it, the delay plus the machine's wake-ups.
                trip[delay] = statistics.median(
                    t / c.total(SLOW_DELAYED) for t, c in zip(times[who], requests[who]))
            rows.append(SlowRow(delay, tree["folders"], who, times[who], ratio, goal, delayed,
                                answered))
            if goal and statistics.median(ratio) > goal:
                missed.append(f"{delay:g} ms: the Start command takes "
                              f"{statistics.median(ratio):.2f} times fdfind -j8, goal at most "
                              f"{goal}")

    print(f"Slow medium: the library tree behind trackfold_slowfs (bench/slowfs.cpp), a FUSE "
          f"layer that\nsleeps the delay in every lookup, getattr, opendir, readdir and open, "
          f"mounted afresh\nfor every single run with the kernel's entry and attribute caches "
          f"off. {args.runs} rounds;\neach contestant goes first in turn. Ratios are taken within "
          f"a round, goals judged\non their median (min–max beside it). At "
          f"{', '.join(f'{d:g}' for d in SLOW_THIRD_MS)} ms the first third of the artists "
          f"({third['folders']:,} folders).")
    print()
    print_table(SLOW_COLUMNS, rows)
    print()
    print(f"Requests per folder by kind, at {SLOW_DELAYS_MS[-1]:g} ms (find at "
          f"{SLOW_FIND_MS[-1]:g} ms):")
    for who, by_kind in kinds.items():
        print(f"  {who}: " + ", ".join(f"{k} {n:.2f}" for k, n in by_kind.items() if n))
    print()
    print("A round trip as Trackfold with 1 reader sees it (its time over its delayed "
          "requests): " + ", ".join(f"{trip[d] * 1000:.2f} ms at {d:g} ms" for d in trip) + ".")
    print(f"The layer's own cost per request, undelayed, Trackfold with 1 reader: "
          f"{statistics.median(own) * 1e6:.1f} µs ({min(own) * 1e6:.1f}–{max(own) * 1e6:.1f}) "
          "added to its time against\nthe bare tree (the kernel's round trip included), "
          f"{statistics.median(own_cpu) * 1e6:.1f} µs of the layer's processor time.")
    print()
    return missed


def slow_gui(args, work, library_path):
    """Two runs of the real program at SLOW_GUI_DELAY_MS, pinged as a window
    manager pings it: one to its done message (the longest wait for an answer,
    the time to the progress box), one closing the box a while after it came
    (the time the cancel takes)."""
    slow = os.path.join(work, "slow")
    mount_point = os.path.join(slow, "mnt")
    os.makedirs(mount_point, exist_ok=True)
    jukebox = os.path.join(slow, "gui-jukebox")
    watcher = os.path.join(os.path.dirname(os.path.abspath(__file__)), "pingwatch.py")

    def watch(*extra):
        shutil.rmtree(jukebox, ignore_errors=True)
        os.makedirs(jukebox)
        with slow_mounted(args.slowfs, library_path, mount_point, SLOW_GUI_DELAY_MS,
                          os.path.join(slow, "requests")) as served:
            result = subprocess.run(
                ["xvfb-run", "--auto-servernum", "--server-args=-screen 0 800x600x24",
                 SLOW_GUI_PYTHON, watcher, "--program", args.gui_program, "--music",
                 mount_point, "--jukebox", jukebox, *extra], stdout=subprocess.PIPE, text=True)
        if result.returncode != 0:
            sys.exit(f"{watcher} failed (status {result.returncode})")
        gui = json.loads(result.stdout.strip().splitlines()[-1])
        gui["last_read_s"] = served.last_read_s
        return gui

    missed = []

    def judge_pings(gui, run):
        print(f"  longest wait for a ping's answer: {gui['longest_unanswered_s']:.2f} s "
              f"(goal at most {SLOW_PING_GOAL_S}); {gui['pings_answered']} of "
              f"{gui['pings_sent']} answered during the run")
        if gui["longest_unanswered_s"] > SLOW_PING_GOAL_S:
            missed.append(f"{run}: the window left a ping unanswered for "
                          f"{gui['longest_unanswered_s']:.2f} s, goal at most {SLOW_PING_GOAL_S}")

    gui = watch()
    box = gui["press_to_box_s"]
    print(f"The real program ({os.path.basename(args.gui_program)} under Xvfb), the whole "
          f"library at {SLOW_GUI_DELAY_MS} ms, Start\npressed from outside (XTEST), the window "
          "pinged with _NET_WM_PING every 20 ms:")
    print(f"  press to done message: {gui['press_to_done_s']:.2f} s")
    judge_pings(gui, "run")
    print("  press to progress box: " + ("none came" if box is None else f"{box:.2f} s")
          + f" (goal at most {SLOW_BOX_GOAL_S})")
    if box is None or box > SLOW_BOX_GOAL_S:
        missed.append("no progress box came" if box is None else
                      f"the progress box came {box:.2f} s after the press, goal at most "
                      f"{SLOW_BOX_GOAL_S}")

    gui = watch("--cancel-after", str(SLOW_CANCEL_AFTER_S))
    goal = SLOW_FOLDER_REQUESTS * SLOW_GUI_DELAY_MS / 1000 + SLOW_CANCEL_SLACK_S
    gone = gui["cancel_to_gone_s"]
    # The walk has stopped when the layer is asked to read no more folders:
    # its last opendir or readdir, against the moment the box was closed.
    took = None
    if gui["cancelled_at_s"] is not None and gui["last_read_s"] is not None:
        took = max(0.0, gui["last_read_s"] - gui["cancelled_at_s"])
    print(f"The same, the progress box closed {SLOW_CANCEL_AFTER_S} s after it came, as by its "
          "close button:")
    print("  close to the last folder read the layer got: "
          + ("none (no box was closed)" if took is None else f"{took:.3f} s")
          + f" (goal at most one folder read, {SLOW_FOLDER_REQUESTS} requests, and "
          f"{SLOW_CANCEL_SLACK_S} s: {goal:.3f} s)")
    print("  close to the box gone: " + ("it stayed" if gone is None else f"{gone:.3f} s"))
    judge_pings(gui, "cancel")
    print(f"  afterwards: {'a message box' if gui['message_after_cancel'] else 'no message box'}"
          f", {'the document written' if gui['document_written'] else 'no document written'}")
    print()
    if gui["press_to_box_s"] is None:
        missed.append("cancel: no progress box came to cancel")
    elif gone is None:
        missed.append("cancel: the box stayed")
    elif took is None or took > goal:
        missed.append(f"cancel: the walk asked for folders {took:.3f} s after the close, goal "
                      f"at most {goal:.3f}")
    if gui["message_after_cancel"] or gui["document_written"]:
        missed.append("cancel: a message box came or the document was written")
    return missed


def slow_check(args, work, path_of):
    """Fails unless the layer shows each tree exactly as the disk does: every
    entry with its type, listed by find through the layer without delay and
    on the bare tree. The wide folder needs many readdir requests, each going
    on where the last stopped; the deep chain, long paths looked up anew."""
    mount_point = os.path.join(work, "slow", "mnt")
    os.makedirs(mount_point, exist_ok=True)
    listed = 0
    for name in ("library", "wide", "deep"):
        def listing(root):
            return sorted(sh(["find", root, "-printf", "%P %y\n"]).splitlines())
        bare = listing(path_of[name])
        with slow_mounted(args.slowfs, path_of[name], mount_point, 0,
                          os.path.join(work, "slow", "requests")):
            through = listing(mount_point)
        if through != bare:
            only_bare = sorted(set(bare) - set(through))[:5]
            only_through = sorted(set(through) - set(bare))[:5]
            sys.exit(f"the FUSE layer shows {name} otherwise than the disk: {len(through)} "
                     f"entries against {len(bare)}; on the disk only: {only_bare}; through "
                     f"the layer only: {only_through}")
        listed += len(bare)
    print(f"The layer shows the trees as the disk does: {listed:,} entries of library, wide "
          "and deep, each with its type, listed alike.")
    print()


def slow_main(args, commands, work, trees, path_of):
    slow_check(args, work, path_of)
    missed = []
    if args.slow_only in ("table", None):
        missed += slow_table(args, commands, work, trees["library"], path_of["library"])
    if args.slow_only in ("gui", None):
        missed += slow_gui(args, work, path_of["library"])
    return report_goals(missed)


class WarmRow(NamedTuple):
    """A line of the warm table: one folder reader on one tree. Times are in
    seconds; ratios are per round, of the Start command (judged on the goal
    when there is one) and of the whole process to find, and portable of the
    Start command to the judged reader's (None for that reader itself).
    System calls per folder are counted beyond a run on an empty music
    folder; most_passes is the most times a folder was read to its end, of
    the folders_read that were read at all."""
    tree: str
    reading: str
    folders: int
    files: int
    command: list
    ratio: list
    goal: float | None
    portable: list | None
    process: list
    process_ratio: list
    find: list
    calls_per_folder: float
    find_calls_per_folder: float
    most_passes: int
    folders_read: int
    peak_mib: float
    find_peak_mib: float


def warm_columns(readings, judged):
    """The warm table; the column of the portable reader against the judged
    one only when both ran."""
    columns = [
        ("tree", lambda r: r.tree),
        ("reading", lambda r: r.reading),
        ("folders", lambda r: f"{r.folders:,}"),
        ("files", lambda r: f"{r.files:,}"),
        ("Start command ms, median (min–max)", lambda r: spread_ms(r.command)),
        ("Start command / find, per round: median (min–max) (goal)",
         lambda r: f"**{spread_ratio(r.ratio)}**" + (f" (≤ {r.goal})" if r.goal else "")),
    ]
    if len(readings) > 1:
        columns.append((f"{readings[-1]} / {judged}, per round: median (min–max) (goal)",
                        lambda r: "" if r.portable is None else
                        judged_ratio(r.portable, PORTABLE_GOAL)))
    return columns + [
        ("whole process ms, median (min–max)", lambda r: spread_ms(r.process)),
        ("whole process / find, per round: median (min–max)",
         lambda r: spread_ratio(r.process_ratio)),
        ("find ms, median (min–max)", lambda r: spread_ms(r.find)),
        ("system calls per folder (find)",
         lambda r: f"{r.calls_per_folder:.2f} ({r.find_calls_per_folder:.2f})"),
        ("passes per folder",
         lambda r: f"{r.most_passes}" + ("" if r.folders_read == r.folders else
                                         f" ({r.folders_read} of {r.folders} read)")),
        ("peak MiB (find)", lambda r: f"{r.peak_mib:.1f} ({r.find_peak_mib:.1f})"),
    ]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--program", required=True, help="the benchmark program, trackfold_bench")
    parser.add_argument("--work", required=True,
                        help="where the trees are generated and the runs write their files")
    parser.add_argument("--runs", type=int,
                        help="rounds (default 11, at least 9; --cold: 5, at least 5; --slow: 5, "
                        "at least 3)")
    parser.add_argument("--reading", choices=["both", "posix", "qt"], default="both",
                        help="warm: the folder reader to time, or both (the default); --cold "
                        "and --slow time the POSIX one")
    parser.add_argument("--readers", type=int,
                        help="Trackfold's reader threads (default: the service's choice)")
    parser.add_argument("--cold", action="store_true",
                        help="the library tree on a freshly mounted disk image (root)")
    parser.add_argument("--slow", action="store_true",
                        help="the library tree behind a FUSE layer that delays every request "
                        "(root)")
    parser.add_argument("--slow-only", choices=["table", "gui"],
                        help="--slow: only the table, or only the run of the real program")
    parser.add_argument("--slowfs", help="--slow: the FUSE layer, trackfold_slowfs")
    parser.add_argument("--gui-program", help="--slow: the real program, songrig_en")
    args = parser.parse_args()
    if args.cold and args.slow:
        parser.error("--cold or --slow, not both")
    if args.cold:
        args.runs = args.runs or 5
        if args.runs < 5:
            parser.error("at least 5 rounds: the cold goals are medians of at least 5")
    elif args.slow:
        args.runs = args.runs or 5
        if args.runs < 3:
            parser.error("at least 3 rounds: the slow goals are medians of at least 3")
    else:
        args.runs = args.runs or 11
        if args.runs < 9:
            parser.error("at least 9 runs: the goals are medians of at least 9")
    readings = ["posix", "qt"] if args.reading == "both" else [args.reading]
    # The find goals are the product's on this system, so they are judged on
    # the POSIX reader; the portable one is judged against it. A run of the
    # portable reader alone judges it on the find goals.
    judged = readings[0]

    if args.cold:
        missing = cold_missing()
        if missing:
            print("bench/run --cold cannot run on this machine; it lacks:", file=sys.stderr)
            for line in missing:
                print("  - " + line, file=sys.stderr)
            return 2
    if args.slow:
        missing = slow_missing(args, gui=args.slow_only != "table")
        if missing:
            print("bench/run --slow cannot run on this machine; it lacks:", file=sys.stderr)
            for line in missing:
                print("  - " + line, file=sys.stderr)
            return 2
    work = os.path.abspath(args.work)
    trees_dir, trees = ensure_trees(work)
    commands = Commands(os.path.abspath(args.program), work)
    commands.readers = args.readers
    path_of = {name: os.path.join(trees_dir, t["dir"]) for name, t in trees.items()}
    if args.cold:
        return cold_main(args, commands, work, trees, path_of)
    if args.slow:
        return slow_main(args, commands, work, trees, path_of)

    # Warm the cache and check that every contestant runs at all.
    for name in trees:
        commands.run(commands.find(path_of[name]), to_file=True)
        for reading in readings:
            commands.run(commands.trackfold(path_of[name], reading))

    # times[tree]["find"] and, per reader, times[tree][reading]["command"|"process"]:
    # entry i of each list was taken in round i.
    times = {name: {"find": [], **{r: {"command": [], "process": []} for r in readings}}
             for name in trees}
    orders = round_orders(["find"] + readings, args.runs)
    for run in range(args.runs):
        print(f"\rrun {run + 1}/{args.runs}", end="", file=sys.stderr, flush=True)
        for name in trees:
            for who in orders[run]:
                if who == "find":
                    elapsed, _ = commands.run(commands.find(path_of[name]), to_file=True)
                    times[name]["find"].append(elapsed)
                else:
                    elapsed, command = commands.run(commands.trackfold(path_of[name], who))
                    times[name][who]["process"].append(elapsed)
                    times[name][who]["command"].append(command)
    print("\r", end="", file=sys.stderr)

    scratch = os.path.join(work, "scratch")
    # System calls are counted per folder beyond what a run on an empty music
    # folder makes: start-up, the document, the index and output are the same
    # for every tree and are not the walk's.
    empty = os.path.join(work, "empty-music")
    os.makedirs(empty, exist_ok=True)
    find_base = walk_calls(commands.find(empty), scratch)
    base = {reading: walk_calls(commands.trackfold(empty, reading, readers=1), scratch)
            for reading in readings}
    rows = []
    missed = []
    process_over = []
    for name, tree in trees.items():
        fd = times[name]["find"]
        find_total = walk_calls(commands.find(path_of[name]), scratch) - find_base
        find_peak = peak_kib(commands.find(path_of[name]), scratch) / 1024
        for reading in readings:
            tf = times[name][reading]["command"]
            tp = times[name][reading]["process"]
            ratio = ratios(tf, fd)
            process_ratio = ratios(tp, fd)
            tf_argv = commands.trackfold(path_of[name], reading)
            # strace stops at every call, which makes reads slow enough to start
            # the reading ahead: calls and passes are counted with one reader,
            # and the service's own choice is checked to start no thread here.
            traced_argv = commands.trackfold(path_of[name], reading, readers=1)
            total = walk_calls(traced_argv, scratch)
            ended = directory_passes(traced_argv, scratch)
            threads = threads_started(tf_argv, scratch)
            if threads:
                missed.append(f"{name}, {reading}: a warm run started {threads} threads")
            walked = {p: n for p, n in ended.items() if p == path_of[name] or
                      p.startswith(path_of[name] + "/")}
            most_passes = max(walked.values(), default=0)
            peak = peak_kib(tf_argv, scratch) / 1024
            per_folder = (total - base[reading]) / max(tree["folders"] - 1, 1)
            goal = RATIO_GOAL[name] if reading == judged else None
            portable = None
            if reading != judged:
                portable = ratios(tf, times[name][judged]["command"])
                if statistics.median(portable) > PORTABLE_GOAL:
                    missed.append(f"{name}: the portable reader takes "
                                  f"{statistics.median(portable):.2f} times the POSIX reader, "
                                  f"goal at most {PORTABLE_GOAL}")
            rows.append(WarmRow(
                tree=name, reading=reading, folders=tree["folders"], files=tree["files"],
                command=tf, ratio=ratio, goal=goal, portable=portable, process=tp,
                process_ratio=process_ratio, find=fd, calls_per_folder=per_folder,
                find_calls_per_folder=find_total / max(tree["folders"] - 1, 1),
                most_passes=most_passes, folders_read=len(walked), peak_mib=peak,
                find_peak_mib=find_peak))
            if reading != judged:
                continue
            if goal and statistics.median(ratio) > goal:
                missed.append(f"{name}: the Start command takes {statistics.median(ratio):.2f} "
                              f"times find, goal at most {goal}")
            if goal and statistics.median(process_ratio) > goal:
                process_over.append(f"{name}: the whole process takes "
                                    f"{statistics.median(process_ratio):.2f} times find (the "
                                    f"goal of {goal} is judged on the Start command)")
            if name == "library" and per_folder > SYSCALLS_PER_FOLDER_GOAL:
                missed.append(f"{name}: {per_folder:.3f} system calls per folder, goal at most "
                              f"{SYSCALLS_PER_FOLDER_GOAL}")
            if most_passes != 1 or len(walked) != tree["folders"]:
                missed.append(f"{name}: not exactly one directory pass per folder "
                              f"(at most {most_passes}, {len(walked)} of {tree['folders']} read)")
            limit = MEMORY_GOAL_MIB[name]
            if limit and peak > limit:
                missed.append(f"{name}: peak memory {peak:.1f} MiB, goal at most {limit} MiB")

    print(f"Whole Start command vs `find TREE -iname '*.mp3' > file`; {args.runs} interleaved "
          f"rounds, warm cache, reading: {', '.join(readings)}")
    print("Start command: timed in-process around StartCommand::run(), document and index "
          "written,\nQCoreApplication already up (a press of Start). Whole process: wall time "
          "of the\nbenchmark program from exec to exit, start-up included. find: wall time of "
          "its process.\nEach round runs find and every reader on a tree back to back; a ratio "
          "is taken\nwithin each round, and a goal is judged on the median of those ratios "
          "(min–max\nbeside it). The find goals are judged on the Start command"
          + (f" of the {judged} reader." if len(readings) > 1 else ".")
          + "\nSystem calls per folder: those each folder beyond the first adds to a run on an"
          "\nempty music folder, output writes left out (they follow the document's size);"
          "\nthey and the directory passes are counted with one reader, as tracing makes reads"
          "\nslow enough to start the reading ahead. Every timed run above, with the service's"
          "\nreaders, is checked to start no thread: warm reads are quick.")
    print()
    print_table(warm_columns(readings, judged), rows)

    size = trees["library x2"]["files"] / trees["library"]["files"]
    print()
    for reading in readings:
        # Within a round the two libraries are timed moments apart, so a slow
        # minute of the machine weighs on both alike.
        growth = ratios(times["library x2"][reading]["command"],
                        times["library"][reading]["command"])
        doubling = [g / size for g in growth]
        judged_here = reading == judged
        print(f"Doubling, {reading}: library x2 holds {size:.2f} times the files; its Start "
              f"command takes {spread_ratio(growth)} times as long, per round "
              f"({spread_ratio(doubling)} per doubling"
              + (f", goal at most {DOUBLING_SLACK:.2f})." if judged_here else ")."))
        if judged_here and statistics.median(doubling) > DOUBLING_SLACK:
            missed.append(f"doubling: the time grows {statistics.median(doubling):.2f} times "
                          f"as fast as the tree")
    print()
    if process_over:
        print("Whole process above the goal ratio (start-up included; not how the goals "
              "are judged):")
        for line in process_over:
            print("  - " + line)
        print()
    return report_goals(missed)


if __name__ == "__main__":
    sys.exit(main())
