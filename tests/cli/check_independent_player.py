#!/usr/bin/env python3
"""Runs kestrum-cli on a player from the independent writer and checks what it says and does.

list must show every song as written; extract --all must copy every song it can name byte for
byte, refuse the titles that would leave the destination, fail the ones whose file cannot be
reached, and say so truthfully in its exit status and summary. With --name library and with
--safe-names every song that has a file is copied, under the name the safe-name rules give.
playlists must list every playlist but the master, and extract --playlist must write an M3U8
whose entries are the copies, in playlist order.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import independent_writer  # noqa: E402

MAX_PATH = 260
# The longest destination path Linux takes in UTF-16 units: every one fits PATH_MAX (4096 bytes
# with the terminator) in UTF-8.
PATH_LIMIT = 4095 // 3


def utf16_length(text):
    return len(text.encode("utf-16-le")) // 2


def escape(text):
    return (text.replace("\\", "\\\\").replace("\t", "\\t").replace("\r", "\\r")
            .replace("\n", "\\n"))


def type_suffix(track):
    # Characters up to the first space or zero; without any, the location's extension.
    chars = ""
    for byte in track.file_type:
        if byte in (0x20, 0):
            break
        chars += chr(byte)
    if chars:
        return "." + chars
    if track.location is None:
        return ""
    name = re.split(r"[:\\/]", track.location)[-1]
    dot = name.rfind(".")
    return "" if dot < 0 or dot + 1 == len(name) else name[dot:]


def storable(title, suffix):
    """Title and suffix as a POSIX disk stores them: separators and NUL become '_', and a name
    of dots and spaces alone is '_'."""
    title, suffix = (re.sub(r"[\\/\x00]", "_", part) for part in (title, suffix))
    if not (title + suffix).strip(". "):
        return "_", ""
    return title, suffix


def file_name(track):
    """The name an export gives the track, or None when no path could hold it."""
    title = track.title
    if utf16_length(title) >= MAX_PATH:
        return None
    suffix = type_suffix(track)
    if utf16_length(title) + utf16_length(suffix) >= MAX_PATH:
        return None
    return "".join(storable(title, suffix))


def leaves_folder(name):
    if not name:
        return False
    if name[0] in "\\/":
        return True
    for component in re.split(r"[\\/]", name):
        if component.count(".") >= 2 and set(component) <= {".", " "}:
            return True
    return False


def run_key(name):
    # Windows ignores the case of every letter (one letter for one), takes both separators and
    # drops trailing dots and spaces.
    folded = "".join(c.upper() if len(c.upper()) == 1 else ("\\" if c == "/" else c)
                     for c in name)
    return "\\".join(part.rstrip(". ") for part in folded.split("\\"))


def numbered(title, suffix, number):
    return "%s (%d)%s" % (title, number, suffix)


# The safe-name rules, written from their description.
SAFE_FORBIDDEN = set('\\/:*?"<>|\x7f') | {chr(c) for c in range(32)}
RESERVED = {"CON", "PRN", "AUX", "NUL"} | {"COM%d" % d for d in range(1, 10)} | {
    "LPT%d" % d for d in range(1, 10)}


def safe(text):
    return "".join("_" if c in SAFE_FORBIDDEN else c for c in text)


def reserved_at(name):
    """Where a '_' goes when name is a device name Windows reserves, else None."""
    stem = name.split(".")[0].rstrip(" ")
    return len(stem) if stem.upper() in RESERVED else None


def finish(component):
    component = component.rstrip(". ") or "_"
    at = reserved_at(component)
    return component if at is None else component[:at] + "_" + component[at:]


def utf8_length(text):
    return len(text.encode("utf-8", "surrogatepass"))


def cut_title(title, units, max_bytes):
    while title and (utf16_length(title) > units or utf8_length(title) > max_bytes):
        title = title[:-1]
    return title


def safe_name(folders, title, suffix, number, room):
    """The relative name ('\\' between folders) of a safe export, or None when none fits."""
    suffix = safe(suffix).rstrip(". ")
    if not suffix:
        title = title.rstrip(". ")
    title = title or "_"
    at = reserved_at(title + suffix)
    if at is not None:
        title = title[:at] + "_" + title[at:]
    numbering = " (%d)" % number if number > 1 else ""
    prefix = "".join(f + "\\" for f in folders)
    fixed = utf16_length(numbering + suffix)
    units = min(255 - fixed, room - utf16_length(prefix) - fixed)
    if (utf16_length(title) > units or
            utf8_length(title) > 255 - utf8_length(numbering + suffix)):
        title = cut_title(title, units, 255 - utf8_length(numbering + suffix))
        if not title:
            return None
    return prefix + title + numbering + suffix


def shown_artist(track):
    # An artist set before its row existed is lost to the song table.
    if track.order.index("artist") < track.order.index("title"):
        return ""
    return track.artist


def library_parts(track):
    artist = track.album_artist or shown_artist(track) or "Unknown Artist"
    album = track.album or "Unknown Album"
    head = ("%d-" % track.disc if track.disc else "") + (
        "%02d " % track.track_number if track.track_number else "")
    return [finish(safe(artist)), finish(safe(album))], head + safe(track.title or "Unknown Title")


def flat_parts(track):
    return [], safe(track.title or "Unknown Title")


def expected_safe_run(tracks, folder, parts_of):
    """Row -> relative path with '/' of every song a safe run copies, in row order."""
    room = PATH_LIMIT - utf16_length(folder)
    claimed = set()
    names = {}
    for index, track in enumerate(tracks):
        if track.location is None or track.content is None:
            continue
        folders, title = parts_of(track)
        number = 1
        while True:
            name = safe_name(folders, title, type_suffix(track), number, room)
            if name is None or run_key(folder + name) not in claimed:
                break
            number += 1
        if name is not None:
            claimed.add(run_key(folder + name))
            names[index] = name.replace("\\", "/")
    return names


def check_safe_run(cli, player, tracks, out, extra_args, parts_of, env, check):
    """extract --all with extra_args: every song that has a file, at its expected name."""
    result = run(cli, ["extract", "--all", "--to", out, "--root", player] + extra_args, env)
    names = expected_safe_run(tracks, out + "\\", parts_of)
    having_file = [i for i, t in enumerate(tracks) if t.location and t.content is not None]
    check(sorted(names) == having_file, "%s: %d songs have a file, %d get a name"
          % (extra_args, len(having_file), len(names)))
    on_disk = {}
    for folder, _, files in os.walk(out):
        for name in files:
            path = os.path.join(folder, name)
            with open(path, "rb") as f:
                on_disk[os.path.relpath(path, out)] = f.read()
    wanted = {name: tracks[i].content for i, name in names.items()}
    check(set(on_disk) == set(wanted), "%s: extra %r missing %r" % (
        extra_args, sorted(set(on_disk) - set(wanted))[:5], sorted(set(wanted) - set(on_disk))[:5]))
    for name, content in wanted.items():
        if on_disk.get(name, content) != content:
            check(False, "%s: %r is not a byte-identical copy" % (extra_args, name))
    check(result.returncode == (0 if len(having_file) == len(tracks) else 1),
          "%s exited %d" % (extra_args, result.returncode))
    failures = len(re.findall(r"^Not extracted: row ", result.stderr.decode("utf-8"), re.M))
    check(failures == len(tracks) - len(having_file), "%s: %d failures for %d songs without file"
          % (extra_args, failures, len(tracks) - len(having_file)))
    return names


def check_playlists(cli, player, tracks, playlists, work, env, check):
    ids = {(t.track_id or i + 1): i for i, t in enumerate(tracks)}
    listed = run(cli, ["playlists", "--root", player], env)
    want = "".join("%d\t%s\t%d\n" % (n + 1, escape(name), len([i for i in items if i in ids]))
                   for n, (name, items) in enumerate(playlists))
    check(listed.stdout.decode("utf-8") == want, "playlists gave %r, want %r"
          % (listed.stdout[:300], want[:300]))
    for number, (name, items) in enumerate(playlists, 1):
        out = os.path.join(work, "playlist-%d" % number)
        run(cli, ["extract", "--playlist", str(number), "--name", "library", "--to", out,
                  "--root", player], env)
        m3u8 = os.path.join(out, safe_name([], safe(name), ".m3u8", 1, 255))
        if not os.path.exists(m3u8):
            check(False, "playlist %d: %r was not written (%r)" % (number, m3u8, os.listdir(out)))
            continue
        with open(m3u8, "rb") as f:
            lines = f.read().decode("utf-8").split("\n")
        check(lines[0] == "#EXTM3U" and lines[-1] == "", "playlist %d: bad frame" % number)
        entries = list(zip(lines[1:-1:2], lines[2:-1:2]))
        wanted = [ids[i] for i in items if i in ids and tracks[ids[i]].location and
                  tracks[ids[i]].content is not None]
        check(len(entries) == len(wanted), "playlist %d: %d entries, want %d"
              % (number, len(entries), len(wanted)))
        for (info, path), index in zip(entries, wanted):
            track = tracks[index]
            seconds = round(track.length_ms / 1000 + 1e-9) if track.length_ms else -1
            artist = shown_artist(track)
            shown = (artist + " - " if artist else "") + track.title
            shown = shown.replace("\r", " ").replace("\n", " ")
            check(info == "#EXTINF:%d,%s" % (seconds, shown), "playlist %d: %r" % (number, info))
            copy = os.path.join(out, *path.split("/"))
            check(os.path.isfile(copy) and open(copy, "rb").read() == track.content,
                  "playlist %d: %r is not the copy of row %d" % (number, path, index))


def mb(size):
    tenths = (size * 10 + (1 << 19)) >> 20
    return "%d.%d MB" % (tenths // 10, tenths % 10)


def run(cli, args, env):
    return subprocess.run([cli] + args, capture_output=True, env=env, check=False)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--tracks", type=int, default=2000)
    parser.add_argument("--keep", action="store_true")
    options = parser.parse_args()

    failures = []

    def check(condition, message):
        if not condition:
            failures.append(message)

    work = tempfile.mkdtemp(prefix="kestrum-independent-")
    env = dict(os.environ, KESTRUM_DRIVES="", GSETTINGS_BACKEND="memory")
    try:
        player = os.path.join(work, "player")
        tracks = independent_writer.generate_tracks(options.tracks)
        playlists = independent_writer.generate_playlists(tracks)
        independent_writer.write_player(player, tracks, playlists)

        # list
        listed = run(options.cli, ["list", "--root", player], env)
        check(listed.returncode == 0, "list exited %d: %r" % (listed.returncode, listed.stderr))
        check(listed.stderr == b"", "list wrote to stderr: %r" % listed.stderr[:200])
        lines = listed.stdout.decode("utf-8").split("\n")
        check(lines[-1] == "", "list output does not end with a line feed")
        lines = lines[:-1]
        check(len(lines) == len(tracks), "list gave %d rows for %d tracks"
              % (len(lines), len(tracks)))
        for index, (line, track) in enumerate(zip(lines, tracks)):
            artist = track.artist
            if track.order.index("artist") < track.order.index("title"):
                artist = ""  # set before its row existed
            name = file_name(track)
            want = "\t".join([str(index), escape(track.title), escape(artist),
                              escape(track.album), escape(name or "")])
            if line != want:
                failures.append("row %d\n got: %r\nwant: %r" % (index, line, want))
                break

        # search, as the dialog's: a to z in either case, the first 259 characters of a cell
        for pattern in ["REPEATED title", "夜明け", "song", "/..", "🎵 "]:
            found = run(options.cli, ["search", pattern], dict(env, KESTRUM_DRIVES="E=" + player))
            # Only a-z fold; other letters must match exactly.
            wanted = [str(i) for i, t in enumerate(tracks)
                      if ascii_upper(pattern) in ascii_upper(utf16_prefix(t.title, 259))]
            rows = [ln.split("\t")[0] for ln in found.stdout.decode("utf-8").split("\n") if ln]
            check(found.returncode == 0, "search %r exited %d" % (pattern, found.returncode))
            check(rows == wanted, "search %r found %s, want %s" % (pattern, rows[:10],
                                                                   wanted[:10]))

        # extract --all
        out = os.path.join(work, "parent", "out")
        extracted = run(options.cli, ["extract", "--all", "--to", out, "--root", player], env)
        err = extracted.stderr.decode("utf-8")
        folder = out + "\\"
        claimed = set()
        copied = {}
        failed_rows = []
        for index, track in enumerate(tracks):
            name = file_name(track)
            ok = (name is not None and track.location is not None and
                  track.content is not None)
            # No title, however it is written, puts its song outside the folder or loses it.
            check(name is None or not leaves_folder(name),
                  "row %d: %r leaves the folder" % (index, name))
            if ok:
                title, suffix = storable(track.title, type_suffix(track))
                number = 2
                target = name
                while run_key(folder + target) in claimed:
                    target = numbered(title, suffix, number)
                    number += 1
                if (utf16_length(folder + target) > PATH_LIMIT or
                        len(target.encode("utf-8")) > 255):
                    ok = False
                else:
                    claimed.add(run_key(folder + target))
                    copied[target] = track.content
            if not ok:
                failed_rows.append(index)
        check(extracted.returncode == (1 if failed_rows else 0),
              "extract exited %d with %d failures" % (extracted.returncode, len(failed_rows)))
        check(extracted.stdout == b"", "extract wrote to stdout")
        for index in failed_rows:
            check("Not extracted: row %d " % index in err, "row %d failure not reported" % index)
        reported = len(re.findall(r"^Not extracted: row ", err, re.M))
        check(reported == len(failed_rows), "%d failures reported, %d expected"
              % (reported, len(failed_rows)))
        on_disk = {}
        for entry in os.listdir(out):
            with open(os.path.join(out, entry), "rb") as f:
                on_disk[entry] = f.read()
        check(set(on_disk) == set(copied), "files differ: extra %r missing %r"
              % (sorted(set(on_disk) - set(copied))[:5], sorted(set(copied) - set(on_disk))[:5]))
        for name, content in copied.items():
            if name in on_disk and on_disk[name] != content:
                failures.append("%r is not a byte-identical copy" % name)
        check(os.listdir(os.path.join(work, "parent")) == ["out"],
              "something was written beside the destination: %r"
              % os.listdir(os.path.join(work, "parent")))
        check(sorted(os.listdir(work)) == ["parent", "player"],
              "something was written outside the destination: %r" % os.listdir(work))
        total = sum(len(c) for c in copied.values())
        summary = err.rstrip("\n").split("\n")[-1]
        want = r"^Extracted %d of %d songs \(%s\) to %s in \d+\.\d s%s$" % (
            len(copied), len(tracks), re.escape(mb(total)), re.escape(out),
            "; %d failed" % len(failed_rows) if failed_rows else "")
        check(re.match(want, summary) is not None, "summary %r does not match %r"
              % (summary, want))
        print("%d tracks, %d copied, %d failed" % (len(tracks), len(copied), len(failed_rows)))

        library = check_safe_run(options.cli, player, tracks, os.path.join(work, "library"),
                                 ["--name", "library"], library_parts, env, check)
        flat = check_safe_run(options.cli, player, tracks, os.path.join(work, "safe"),
                              ["--safe-names"], flat_parts, env, check)
        check_playlists(options.cli, player, tracks, playlists, work, env, check)
        print("library: %d copied; --safe-names: %d copied; %d playlists"
              % (len(library), len(flat), len(playlists)))
    finally:
        if options.keep:
            print("kept", work)
        else:
            shutil.rmtree(work, ignore_errors=True)

    for failure in failures[:30]:
        print("FAIL:", failure)
    return 1 if failures else 0


def ascii_upper(text):
    return "".join(chr(ord(c) - 32) if "a" <= c <= "z" else c for c in text)


def utf16_prefix(text, units):
    return text.encode("utf-16-le")[:units * 2].decode("utf-16-le", errors="ignore")


if __name__ == "__main__":
    sys.exit(main())
