#!/usr/bin/env python3
"""kestrum-cli.exe under Wine copies into a folder whose path is 300 characters long, with
library names (artist and album folders, then the title) that make paths of 400 characters and
more: every song must arrive with its bytes, under a path of that length.
"""

import argparse
import os
import random
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import independent_writer  # noqa: E402
from wine_drive import map_player, windows_path  # noqa: E402

LETTER = "N"
FOLDER_LENGTH = 300
SHORTEST_COPY_PATH = 400


def long_folder(work, length):
    """A folder below work whose Windows path has exactly length characters."""
    path = os.path.join(work, "out")
    index = 0
    while len(windows_path(path)) < length:
        room = length - len(windows_path(path)) - 1
        path = os.path.join(path, ("%d-" % index + "d" * 60)[:min(room, 60)])
        index += 1
    return path


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--windows-cli", required=True)
    parser.add_argument("--wine-run", required=True, help="scripts/wine-run.sh")
    parser.add_argument("--prefix", required=True, help="the Wine prefix to use")
    options = parser.parse_args()
    if not os.path.exists(options.windows_cli):
        print("skipped: %s is not built" % options.windows_cli)
        return 77

    rng = random.Random(19)
    tracks = []
    for i in range(6):
        content = bytes(rng.getrandbits(8) for _ in range(rng.randint(2000, 9000)))
        track = independent_writer.Track(
            "Title %d of a song whose name goes on " % i + "and on " * 14,
            "The Quiet Orchards Playing Their Longest Evening Set %d" % (i % 2),
            "Recordings from the Hall by the River, Second Night, Remastered Edition",
            ":iPod_Control:Music:F%02d:S%03d.mp3" % (i, i), b"MP3 ", content)
        track.track_number = i + 1
        tracks.append(track)

    failures = []
    work = tempfile.mkdtemp(prefix="kestrum-wine-long-paths-")
    prefix = os.path.abspath(options.prefix)
    try:
        player = os.path.join(work, "player")
        independent_writer.write_player(player, tracks)
        map_player(options.wine_run, prefix, LETTER, player)

        out = long_folder(work, FOLDER_LENGTH)
        if len(windows_path(out)) != FOLDER_LENGTH:
            failures.append("the folder has %d characters" % len(windows_path(out)))
        run = subprocess.run([options.wine_run, "--prefix", prefix, options.windows_cli,
                              "extract", "--all", "--to", windows_path(out), "--drive", LETTER,
                              "--name", "library"], capture_output=True, check=False)
        if run.returncode != 0:
            failures.append("extract exited %d: %r" % (run.returncode, run.stderr[-600:]))

        copies = {}
        for folder, _, names in os.walk(out):
            for name in names:
                path = os.path.join(folder, name)
                with open(path, "rb") as f:
                    copies[windows_path(path)] = f.read()
        if sorted(copies.values()) != sorted(t.content for t in tracks):
            failures.append("%d copies, not the %d songs' bytes" % (len(copies), len(tracks)))
        lengths = sorted(len(path) for path in copies)
        if lengths and lengths[0] < SHORTEST_COPY_PATH:
            failures.append("a copy's path has only %d characters" % lengths[0])
        print("%d songs copied into a folder of %d characters; paths of %s characters"
              % (len(copies), len(windows_path(out)), lengths and "%d to %d" % (
                  lengths[0], lengths[-1])))
    finally:
        shutil.rmtree(work, ignore_errors=True)

    for failure in failures:
        print("FAIL: " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
