#!/usr/bin/env python3
"""Whole-process speed of kestrum-cli against what it is measured by, one row per goal.

| row | kestrum-cli                         | against                           | goal          |
|-----|-------------------------------------|-----------------------------------|---------------|
| 1   | list, 40,000 tracks                 | cat of the catalogue              | at most 1.5x  |
| 2   | list, the same compressed           | inflate_only (read + zlib inflate) | at most 1.5x  |
| 3   | --version (start-up)                | /bin/true                         | at most 5x    |
| 4   | extract --all, 150 songs of <= 8 MB | cp -r + sync                      | at most 1.0x  |
| 5   | extract --all, 2,000 songs <= 60 KB | cp -r + sync                      | at most 1.0x  |
| 6   | peak memory of row 1                | catalogue size + 16 MB            | at most that  |
| 7   | map_only of row 1's catalogue       | cat of the catalogue              | none: a floor |

Row 7 is no goal: map_only maps the catalogue and reads one byte per cache line, which every
lister that maps it pays before it does anything with what it reads.

The 40,000-track catalogue comes from tests/cli/independent_writer.py (no project code), its
compressed twin from tools/compress_catalogue.py, the extraction players from
make-demo-player. They are made once under --work and kept. Warm cache: one untimed round
first; the commands of a row then run side by side, interleaved round by round, so that a
noisy machine weighs on both alike; ratios are of medians. Before each extract and cp the
output folder is removed and the disk flushed.

Usage: bench/speed_goals.py [--build DIR] [--work DIR] [--rounds N] [--rows 1,2,...]
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
MB = 1 << 20


def run(command):
    """Seconds and peak resident kilobytes of one run of command, its output discarded."""
    start = time.perf_counter()
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    elapsed = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit("speed_goals: failed: %s" % " ".join(command))
    return elapsed, usage.ru_maxrss


def fresh(folder):
    shutil.rmtree(folder, ignore_errors=True)
    subprocess.run(["sync"], check=True)


def compare(commands, rounds, before=None):
    """Median seconds and the largest peak kilobytes of each named command."""
    times = {key: [] for key in commands}
    peaks = {key: 0 for key in commands}
    for round_number in range(rounds + 1):
        order = list(commands) if round_number % 2 == 0 else list(reversed(commands))
        for key in order:
            if before:
                before()
            elapsed, peak = run(commands[key])
            if round_number > 0:
                times[key].append(elapsed)
                peaks[key] = max(peaks[key], peak)
    return {key: statistics.median(value) for key, value in times.items()}, peaks


def make_players(work, maker):
    big = os.path.join(work, "catalogue-40000")
    if not os.path.isfile(os.path.join(big, "iPod_Control", "iTunes", "iTunesDB")):
        sys.path.insert(0, os.path.join(ROOT, "tests", "cli"))
        import independent_writer
        independent_writer.write_player(big, independent_writer.generate_tracks(40000))
    compressed = os.path.join(work, "catalogue-40000-compressed")
    itunes = os.path.join(compressed, "iPod_Control", "iTunes")
    if not os.path.isfile(os.path.join(itunes, "iTunesCDB")):
        os.makedirs(itunes, exist_ok=True)
        os.makedirs(os.path.join(compressed, "iPod_Control", "Device"), exist_ok=True)
        shutil.copy(os.path.join(big, "iPod_Control", "Device", "SysInfo"),
                    os.path.join(compressed, "iPod_Control", "Device", "SysInfo"))
        subprocess.run([sys.executable, os.path.join(ROOT, "tools", "compress_catalogue.py"),
                        itunes, os.path.join(big, "iPod_Control", "iTunes", "iTunesDB")],
                       check=True, stdout=subprocess.DEVNULL)
        os.rename(os.path.join(itunes, "iTunesDB.iTunesCDB"), os.path.join(itunes, "iTunesCDB"))
        open(os.path.join(itunes, "iTunesDB"), "wb").close()
    songs = {}
    for name, args in (("songs-150", ["--tracks", "150", "--seconds", "60"]),
                       ("songs-2000", ["--tracks", "2000"])):
        songs[name] = os.path.join(work, name)
        if not os.path.isdir(os.path.join(songs[name], "iPod_Control")):
            subprocess.run([maker, songs[name]] + args, check=True, stdout=subprocess.DEVNULL)
    return big, compressed, songs


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "linux"))
    parser.add_argument("--work", default=os.path.join(ROOT, "build", "bench-speed"))
    parser.add_argument("--rounds", type=int, default=9)
    parser.add_argument("--rows", default="1,2,3,4,5,6,7")
    args = parser.parse_args()
    rows = {int(row) for row in args.rows.split(",")}
    cli = os.path.join(args.build, "cli", "kestrum-cli")
    os.makedirs(args.work, exist_ok=True)
    big, compressed, songs = make_players(args.work, os.path.join(args.build, "tools",
                                                                    "make-demo-player"))
    catalogue = os.path.join(big, "iPod_Control", "iTunes", "iTunesDB")
    results = []

    def row(number, what, mine, theirs, goal):
        ratio = mine / theirs
        results.append((number, what, "%.1f ms" % (mine * 1000), "%.1f ms" % (theirs * 1000),
                        "%.2fx" % ratio, "at most %.1fx" % goal, "met" if ratio <= goal else
                        "not met"))

    if rows & {1, 6}:
        medians, peaks = compare({"list": [cli, "list", "--root", big],
                                  "cat": ["cat", catalogue]}, args.rounds)
        if 1 in rows:
            row(1, "list, 40,000 tracks, vs cat", medians["list"], medians["cat"], 1.5)
        if 6 in rows:
            size = os.path.getsize(catalogue)
            limit = size + 16 * MB
            peak = peaks["list"] * 1024
            results.append((6, "peak memory of the list", "%.1f MB" % (peak / MB),
                            "%.1f MB" % (limit / MB), "", "at most catalogue + 16 MB",
                            "met" if peak <= limit else "not met"))
    if 7 in rows:
        medians, _ = compare({"map": [os.path.join(args.build, "bench", "map_only"), catalogue],
                              "cat": ["cat", catalogue]}, args.rounds)
        ratio = medians["map"] / medians["cat"]
        results.append((7, "map_only (the floor under row 1), vs cat",
                        "%.1f ms" % (medians["map"] * 1000), "%.1f ms" % (medians["cat"] * 1000),
                        "%.2fx" % ratio, "none", ""))
    if 2 in rows:
        medians, _ = compare({"list": [cli, "list", "--root", compressed],
                              "inflate": [os.path.join(args.build, "bench", "inflate_only"),
                                          os.path.join(compressed, "iPod_Control", "iTunes",
                                                       "iTunesCDB")]}, args.rounds)
        row(2, "list, compressed, vs inflate_only", medians["list"], medians["inflate"], 1.5)
    if 3 in rows:
        medians, _ = compare({"version": [cli, "--version"], "true": ["/bin/true"]},
                             args.rounds * 3)
        row(3, "--version vs /bin/true", medians["version"], medians["true"], 5.0)
    out = os.path.join(args.work, "out")
    for number, name, label in ((4, "songs-150", "extract, 150 songs of 2.6 MB, vs cp+sync"),
                                (5, "songs-2000", "extract, 2,000 small songs, vs cp+sync")):
        if number not in rows:
            continue
        player = songs[name]
        medians, _ = compare({
            "extract": [cli, "extract", "--all", "--root", player, "--to", out],
            "cp+sync": ["sh", "-c", 'cp -r "$0" "$1" && sync',
                        os.path.join(player, "iPod_Control", "Music"), out],
        }, args.rounds, before=lambda: fresh(out))
        fresh(out)
        row(number, label, medians["extract"], medians["cp+sync"], 1.0)

    print("| row | measure | Kestrum | against | ratio | goal | |")
    print("|---|---|---|---|---|---|---|")
    for result in sorted(results):
        print("| %d | %s | %s | %s | %s | %s | %s |" % result)


if __name__ == "__main__":
    main()
