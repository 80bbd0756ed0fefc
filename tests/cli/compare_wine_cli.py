#!/usr/bin/env python3
"""Runs the Linux kestrum-cli and the cross-built kestrum-cli.exe (under Wine) on the same player
and checks that they agree.

The player comes from the independent writer and is mapped to a Wine drive letter (a link in
the prefix's dosdevices); the Linux program sees it through KESTRUM_DRIVES under the same
letter. `list` and `search` must print the same rows (Windows ends its lines with CR LF).
`list` names each copy as the platform's own disks take it: the rows must agree but for the
characters Windows cannot store in a name, which it shows as _. `extract --all` must copy every
song that has a file on both, with the same bytes; Windows names hold none of the characters
it forbids. With --safe-names and with --name library, names are made acceptable everywhere, so
both must copy exactly the same files under the same names. A second player holds 300 songs
whose titles differ only in the case of a letter beyond ASCII: Windows, whose disks fold every
letter, must still give 300 files. Then the same catalogue is compressed into
iTunesCDB beside an empty iTunesDB, as later nanos keep it: both programs must list and search
it exactly as they did the plain one. With a Play Counts file beside the catalogue, the song list
as CSV and as JSON (every field, the plays since the last sync merged) must be byte-identical.
"""

import argparse
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import compress_catalogue  # noqa: E402
import independent_writer  # noqa: E402
from wine_drive import map_player, windows_path  # noqa: E402

WINDOWS_FORBIDDEN = set('?*:"<>|') | {chr(c) for c in range(1, 32)}
# Device names Windows keeps for itself, with or without an extension.
WINDOWS_RESERVED = {"CON", "PRN", "AUX", "NUL"} | {"COM%d" % d for d in range(1, 10)} | {
    "LPT%d" % d for d in range(1, 10)}


def windows_storable(name):
    """True when Windows can store a file of this name as it is."""
    return (not WINDOWS_FORBIDDEN & set(name) and name == name.rstrip(". ") and
            name.split(".")[0].rstrip(" ").upper() not in WINDOWS_RESERVED)


def rows_agree(linux_rows, windows_rows):
    """The same rows, but that the name field (the fifth) may hold _ where Linux keeps what
    Windows forbids."""
    linux_lines, windows_lines = linux_rows.split(b"\n"), windows_rows.split(b"\n")
    if len(linux_lines) != len(windows_lines):
        return False
    for on_linux, on_windows in zip(linux_lines, windows_lines):
        fields_l, fields_w = on_linux.split(b"\t"), on_windows.split(b"\t")
        if len(fields_l) != len(fields_w):
            return False
        if len(fields_l) < 5:
            if fields_l != fields_w:
                return False
            continue
        name_l, name_w = fields_l.pop(4), fields_w.pop(4)
        if fields_l != fields_w or len(name_w) > len(name_l) + 1:
            return False
        if not windows_storable(name_w.decode("utf-8")):
            return False
    return True


LETTER = "M"


def read_tree(root):
    """Relative path (with '/') to bytes, for every file below root."""
    files = {}
    for folder, _, names in os.walk(root):
        for name in names:
            path = os.path.join(folder, name)
            with open(path, "rb") as f:
                files[os.path.relpath(path, root).replace(os.sep, "/")] = f.read()
    return files


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--linux-cli", required=True)
    parser.add_argument("--windows-cli", required=True)
    parser.add_argument("--wine-run", required=True, help="scripts/wine-run.sh")
    parser.add_argument("--prefix", required=True, help="the Wine prefix to use")
    parser.add_argument("--tracks", type=int, default=400)
    options = parser.parse_args()

    for program in (options.linux_cli, options.windows_cli):
        if not os.path.exists(program):
            print("skipped: %s is not built" % program)
            return 77

    failures = []
    work = tempfile.mkdtemp(prefix="kestrum-wine-parity-")
    prefix = os.path.abspath(options.prefix)
    try:
        player = os.path.join(work, "player")
        tracks = independent_writer.generate_tracks(options.tracks, seed=99)
        independent_writer.write_player(player, tracks)
        map_player(options.wine_run, prefix, LETTER, player)

        linux_env = dict(os.environ, KESTRUM_DRIVES="%s=%s" % (LETTER, player),
                         GSETTINGS_BACKEND="memory")

        def linux(args):
            return subprocess.run([options.linux_cli] + args, capture_output=True,
                                  env=linux_env, check=False)

        def windows(args):
            return subprocess.run([options.wine_run, "--prefix", prefix, options.windows_cli]
                                  + args, capture_output=True, check=False)

        listings = (["list", "--drive", LETTER], ["search", "repeated", "--drive", LETTER],
                    ["search", "ALBUM caf", "--field", "album", "--drive", LETTER],
                    ["list", "--from-files", "--drive", LETTER])
        plain_rows = {}
        for args in listings:
            on_linux, on_windows = linux(args), windows(args)
            windows_rows = on_windows.stdout.replace(b"\r\n", b"\n")
            plain_rows[" ".join(args)] = (on_linux.stdout, windows_rows)
            if (on_linux.returncode != on_windows.returncode or
                    not rows_agree(on_linux.stdout, windows_rows)):
                failures.append("%s differs: linux %d, %d bytes; windows %d, %d bytes %r"
                                % (" ".join(args), on_linux.returncode, len(on_linux.stdout),
                                   on_windows.returncode, len(on_windows.stdout),
                                   on_windows.stderr[-300:]))

        # Plays since the last sync, one entry per track: the song lists must merge them alike
        # and write the same bytes, CR LF and byte order mark included.
        entries = b"".join(struct.pack("<7I", i % 5, 3600000000 + i * 3600 if i % 3 else 0, 0,
                                       20 * (i % 6), 0, i % 2, 3500000000 + i if i % 4 else 0)
                           for i in range(len(tracks)))
        play_counts = os.path.join(player, "iPod_Control", "iTunes", "Play Counts")
        with open(play_counts, "wb") as f:
            f.write(struct.pack("<4sIII", b"mhdp", 0x60, 28, len(tracks)) + bytes(0x50) + entries)
        for args in (["list", "--format", "csv", "--fields", "all", "--drive", LETTER],
                     ["list", "--format", "json", "--drive", LETTER]):
            on_linux, on_windows = linux(args), windows(args)
            if (on_linux.returncode, on_linux.stdout) != (on_windows.returncode,
                                                          on_windows.stdout):
                failures.append("%s differs: linux %d, %d bytes; windows %d, %d bytes %r"
                                % (" ".join(args), on_linux.returncode, len(on_linux.stdout),
                                   on_windows.returncode, len(on_windows.stdout),
                                   on_windows.stderr[-300:]))
            elif on_linux.stdout.count(b"\n") < len(tracks):
                failures.append("%s lists %d lines for %d tracks"
                                % (" ".join(args), on_linux.stdout.count(b"\n"), len(tracks)))
        os.remove(play_counts)

        linux_out = os.path.join(work, "linux-out")
        windows_out = os.path.join(work, "windows-out")
        runs = {"Linux": linux(["extract", "--all", "--to", linux_out, "--drive", LETTER]),
                "Windows": windows(["extract", "--all", "--to", windows_path(windows_out),
                                    "--drive", LETTER])}
        linux_files = read_tree(linux_out)
        windows_files = read_tree(windows_out)
        having_file = sum(1 for t in tracks if t.location and t.content is not None)
        for label, files in (("Linux", linux_files), ("Windows", windows_files)):
            # Only a title too long for a path the platform takes may keep its song back.
            err = runs[label].stderr.decode("utf-8", "replace")
            too_long = re.findall(r"^Not extracted: .*the path would be too long", err, re.M)
            if len(files) != having_file - len(too_long):
                failures.append("%d songs have a file, %d too long a name, %d copied on %s"
                                % (having_file, len(too_long), len(files), label))
        if sorted(linux_files.values()) != sorted(windows_files.values()):
            failures.append("the copies' bytes differ between Linux and Windows")
        for name in windows_files:
            if not windows_storable(name):
                failures.append("%r: a name Windows should not have made" % name)
        print("%d tracks, %d with a file: %d files on Linux, %d on Windows"
              % (len(tracks), having_file, len(linux_files), len(windows_files)))

        for naming in (["--safe-names"], ["--name", "library"]):
            label = naming[-1]
            # Paths of the same length ("Z:" comes in front on Windows), so that a title
            # shortened to fit the path is shortened alike.
            linux_out = os.path.join(work, "on-linux-" + label)
            windows_out = os.path.join(work, "on-win-" + label)
            on_linux = linux(["extract", "--all", "--to", linux_out, "--drive", LETTER] + naming)
            on_windows = windows(["extract", "--all", "--to", windows_path(windows_out),
                                  "--drive", LETTER] + naming)
            linux_files, windows_files = read_tree(linux_out), read_tree(windows_out)
            if on_linux.returncode != on_windows.returncode:
                failures.append("%s: exit %d on Linux, %d on Windows"
                                % (label, on_linux.returncode, on_windows.returncode))
            if linux_files != windows_files:
                failures.append("%s: the copies differ: Linux only %r, Windows only %r" % (
                    label, sorted(set(linux_files) - set(windows_files))[:5],
                    sorted(set(windows_files) - set(linux_files))[:5]))
            if len(windows_files) != having_file:
                failures.append("%s: %d songs have a file, %d copied on Windows"
                                % (label, having_file, len(windows_files)))
            print("%s: %d files on Linux, %d on Windows"
                  % (label, len(linux_files), len(windows_files)))
        itunes = os.path.join(player, "iPod_Control", "iTunes")
        with open(os.path.join(itunes, "iTunesDB"), "rb") as f:
            compressed = compress_catalogue.compress_catalogue(f.read())
        with open(os.path.join(itunes, "iTunesCDB"), "wb") as f:
            f.write(compressed)
        open(os.path.join(itunes, "iTunesDB"), "wb").close()
        for args in listings:
            on_linux, on_windows = linux(args), windows(args)
            windows_rows = on_windows.stdout.replace(b"\r\n", b"\n")
            expected, expected_on_windows = plain_rows[" ".join(args)]
            if (on_linux.returncode, on_linux.stdout) != (0, expected):
                failures.append("compressed: %s on Linux differs from the plain catalogue: %d, "
                                "%d bytes %r" % (" ".join(args), on_linux.returncode,
                                                 len(on_linux.stdout), on_linux.stderr[-300:]))
            if (on_windows.returncode, windows_rows) != (0, expected_on_windows):
                failures.append("compressed: %s on Windows differs from the plain catalogue: "
                                "%d, %d bytes %r" % (" ".join(args), on_windows.returncode,
                                                     len(on_windows.stdout),
                                                     on_windows.stderr[-300:]))
        print("compressed catalogue of %d bytes listed and searched" % len(compressed))

        # Titles that differ only in the case of é: one name to Windows, so " (2)" for each.
        cased = [independent_writer.Track(
            "%d %s" % (i // 2, "é" if i % 2 == 0 else "É"), "", "",
            ":iPod_Control:Music:F%02d:C%04d.mp3" % (i % 20, i), b"MP3 ",
            b"song %d" % i) for i in range(300)]
        shutil.rmtree(player)
        independent_writer.write_player(player, cased)
        cased_out = os.path.join(work, "cased")
        on_windows = windows(["extract", "--all", "--to", windows_path(cased_out),
                              "--drive", LETTER])
        copies = read_tree(cased_out)
        if on_windows.returncode != 0 or len(copies) != len(cased):
            failures.append("titles differing in the case of é: exit %d, %d files for %d songs"
                            % (on_windows.returncode, len(copies), len(cased)))
        print("%d titles differing in the case of é: %d files on Windows"
              % (len(cased), len(copies)))
    finally:
        link = os.path.join(prefix, "dosdevices", LETTER.lower() + ":")
        if os.path.islink(link):
            os.remove(link)
        shutil.rmtree(work, ignore_errors=True)

    for failure in failures[:30]:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
