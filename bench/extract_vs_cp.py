#!/usr/bin/env python3
"""Whole-run throughput of `kestrum-cli extract --all` against `cp -r` of the same song files.

Makes two demo players (150 songs of a few MB, 2000 small ones) unless they exist, then times
both commands into fresh folders on the same disk, interleaved round by round so that a noisy
machine weighs on both alike. Before each timed run the output folder is removed and the disk
is flushed (`sync`), so that neither command pays for the other's writing. The source files
stay in the page cache (warm runs; one untimed round first).

Prints per set the median times and extract's throughput as a share of cp's (cp time / extract
time; 1.0 is as fast as cp). cp leaves its copies in the page cache, while extract waits until
its copies are on disk (it promises that a crash never leaves a partial file under a song's
name), so the share is also given against `cp -r` followed by `sync`, which waits as well.

With --baseline PATH another kestrum-cli (an older build) is timed in the same rounds.

Usage: bench/extract_vs_cp.py [--cli PATH] [--baseline PATH] [--maker PATH] [--work DIR]
                              [--rounds N]
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time

SETS = [
    # name, make-demo-player arguments
    ("150 songs of 2.6 MB", ["--tracks", "150", "--seconds", "60"]),
    ("2000 small songs", ["--tracks", "2000"]),
]


def timed(command):
    start = time.perf_counter()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.perf_counter() - start


def fresh(folder):
    shutil.rmtree(folder, ignore_errors=True)
    subprocess.run(["sync"], check=True)


def main():
    build = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "build", "linux")
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cli", default=os.path.join(build, "cli", "kestrum-cli"))
    parser.add_argument("--baseline")
    parser.add_argument("--maker", default=os.path.join(build, "tools", "make-demo-player"))
    parser.add_argument("--work", default=os.path.join(build, "bench-extract"))
    parser.add_argument("--rounds", type=int, default=7)
    args = parser.parse_args()

    os.makedirs(args.work, exist_ok=True)
    for index, (name, maker_args) in enumerate(SETS):
        player = os.path.join(args.work, f"player{index}")
        if not os.path.isdir(os.path.join(player, "iPod_Control")):
            subprocess.run([args.maker, player] + maker_args, check=True,
                           stdout=subprocess.DEVNULL)
        out = os.path.join(args.work, "out")
        commands = {
            "cp": ["cp", "-r", os.path.join(player, "iPod_Control", "Music"), out],
            "cp+sync": ["sh", "-c", 'cp -r "$0" "$1" && sync',
                        os.path.join(player, "iPod_Control", "Music"), out],
            "extract": [args.cli, "extract", "--all", "--root", player, "--to", out],
        }
        if args.baseline:
            commands["baseline"] = [args.baseline] + commands["extract"][1:]
        times = {key: [] for key in commands}
        for round_number in range(args.rounds + 1):
            # Alternate which goes first; round 0 only warms the cache.
            order = list(commands) if round_number % 2 == 0 else list(reversed(commands))
            for key in order:
                fresh(out)
                elapsed = timed(commands[key])
                if round_number > 0:
                    times[key].append(elapsed)
        fresh(out)
        cp = statistics.median(times["cp"])
        cp_sync = statistics.median(times["cp+sync"])
        extract = statistics.median(times["extract"])
        print(f"{name}: cp {cp:.3f} s, cp+sync {cp_sync:.3f} s, extract {extract:.3f} s "
              f"(medians of {args.rounds}); extract throughput = {cp / extract:.2f} of cp, "
              f"{cp_sync / extract:.2f} of cp+sync")
        if args.baseline:
            baseline = statistics.median(times["baseline"])
            print(f"  baseline extract {baseline:.3f} s: {cp / baseline:.2f} of cp, "
                  f"{cp_sync / baseline:.2f} of cp+sync")
        sys.stdout.flush()


if __name__ == "__main__":
    main()
