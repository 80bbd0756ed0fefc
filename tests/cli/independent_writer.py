#!/usr/bin/env python3
"""Writes a player folder (SysInfo, iTunesDB, song files) from the record layout alone.

This writer shares no code with the project's own database writer, so that a fault the two
might have in common cannot hide. Every integer is little-endian; every record starts with
its four-character tag and its header length; children follow the header, siblings follow
one total length apart.
"""

import os
import random
import struct
import sys

# Data object types the reader uses; others are written to be skipped.
TITLE, LOCATION, ALBUM, ARTIST, GENRE, COMPOSER, ALBUM_ARTIST = 1, 2, 3, 4, 5, 12, 22
PLAYLIST_NAME = 1


class Track:
    """One song: its texts, the order of its data objects, its file type and its file."""

    def __init__(self, title, artist, album, location, file_type, content,
                 order=("title", "artist", "album", "location"), header_length=0x184,
                 padding=0):
        self.title = title
        self.artist = artist
        self.album = album
        self.location = location  # ":iPod_Control:Music:F01:ABCD.mp3", or None
        self.file_type = file_type  # 4 bytes in reading order, e.g. b"MP3 "
        self.content = content  # bytes of the song file, or None for a missing file
        self.order = order
        self.header_length = header_length
        self.padding = padding  # extra bytes inside each data object after its string
        # Fields a name template uses; 0 and "" mean none stored.
        self.track_number = 0
        self.disc = 0
        self.year = 0
        self.length_ms = 0
        self.genre = ""
        self.composer = ""
        self.album_artist = ""
        self.track_id = 0  # the id playlists name it by; 0 gives index + 1


def data_object(kind, text, padding=0):
    body = text.encode("utf-16-le")
    total = 40 + len(body) + padding
    header = struct.pack("<4sIIIIIIIII", b"mhod", 0x18, total, kind, 0, 0, 1, len(body), 1, 0)
    return header + body + bytes(padding)


def opaque_object(kind, size):
    # A data object whose body is not a string at all; the reader must step over it.
    body = bytes((j * 7 + kind) % 256 for j in range(size))
    return struct.pack("<4sIII", b"mhod", 0x18, 16 + size, kind) + body


def track_record(index, track):
    objects = []
    for name in track.order:
        if name == "title" and track.title is not None:
            objects.append(data_object(TITLE, track.title, track.padding))
        elif name == "artist" and track.artist is not None:
            objects.append(data_object(ARTIST, track.artist, track.padding))
        elif name == "album" and track.album is not None:
            objects.append(data_object(ALBUM, track.album, track.padding))
        elif name == "location" and track.location is not None:
            objects.append(data_object(LOCATION, track.location, track.padding))
        elif name == "genre" and track.genre:
            objects.append(data_object(GENRE, track.genre))
        elif name == "composer" and track.composer:
            objects.append(data_object(COMPOSER, track.composer))
        elif name == "album artist" and track.album_artist:
            objects.append(data_object(ALBUM_ARTIST, track.album_artist))
        elif name == "opaque":
            objects.append(opaque_object(100 + index % 5, 24 + index % 40))
    body = b"".join(objects)
    header = bytearray(track.header_length)
    struct.pack_into("<4sIII", header, 0, b"mhit", track.header_length,
                     track.header_length + len(body), len(objects))
    struct.pack_into("<II", header, 16, track.track_id or index + 1, 1)
    for offset, value in ((0x28, track.length_ms), (0x2C, track.track_number),
                          (0x34, track.year), (0x5C, track.disc)):
        if offset + 4 <= track.header_length:
            struct.pack_into("<I", header, offset, value)
    # The file type is stored last character first.
    header[24:28] = bytes(reversed(track.file_type))
    struct.pack_into("<I", header, 36, len(track.content or b""))
    return bytes(header) + body


def dataset(kind, child):
    return struct.pack("<4sIII", b"mhsd", 0x60, 0x60 + len(child), kind) + bytes(0x60 - 16) + child


def list_record(tag, count, children=b""):
    return struct.pack("<4sII", tag, 0x5C, count) + bytes(0x5C - 12) + children


def playlist_record(name, track_ids, master=False):
    """A playlist: its name, an object that is no string, then one item per track id, each
    item carrying an object of its own as real files do."""
    objects = data_object(PLAYLIST_NAME, name) + opaque_object(100, 0x2C)
    items = b""
    for position, track_id in enumerate(track_ids):
        child = opaque_object(100, 0x18)
        item = bytearray(0x4C)
        struct.pack_into("<4sIIIII", item, 0, b"mhip", 0x4C, 0x4C + len(child), 1, 0, position)
        struct.pack_into("<I", item, 0x18, track_id)
        items += bytes(item) + child
    header = bytearray(0x6C)
    struct.pack_into("<4sIIII", header, 0, b"mhyp", 0x6C, 0x6C + len(objects) + len(items), 2,
                     len(track_ids))
    header[0x14] = 1 if master else 0
    return bytes(header) + objects + items


def playlist_list(tracks, playlists, extra=()):
    master = playlist_record("Library", [t.track_id or i + 1 for i, t in enumerate(tracks)],
                             master=True)
    records = [master] + [playlist_record(name, ids) for name, ids in list(playlists) + list(extra)]
    return list_record(b"mhlp", len(records), b"".join(records))


def database(tracks, playlists=()):
    """playlists: (name, [track ids]) besides the master, which holds every track. The type 3
    dataset comes first and also holds a podcast group, which a reader of type 2 never shows."""
    track_list = list_record(b"mhlt", len(tracks),
                             b"".join(track_record(i, t) for i, t in enumerate(tracks)))
    datasets = (dataset(4, list_record(b"mhla", 0)) + dataset(1, track_list) +
                dataset(3, playlist_list(tracks, playlists, [("Podcasts", [1])])) +
                dataset(2, playlist_list(tracks, playlists)))
    header = bytearray(0x68)
    struct.pack_into("<4sIIIII", header, 0, b"mhbd", 0x68, 0x68 + len(datasets), 1, 0x19, 4)
    return bytes(header) + datasets


def write_player(root, tracks, playlists=()):
    """Writes root/iPod_Control with SysInfo, iTunesDB and every track's file."""
    control = os.path.join(root, "iPod_Control")
    os.makedirs(os.path.join(control, "Device"), exist_ok=True)
    os.makedirs(os.path.join(control, "iTunes"), exist_ok=True)
    with open(os.path.join(control, "Device", "SysInfo"), "w", encoding="ascii") as f:
        f.write("ModelNumStr: xIND1\n")
    with open(os.path.join(control, "iTunes", "iTunesDB"), "wb") as f:
        f.write(database(tracks, playlists))
    for track in tracks:
        if track.location is None or track.content is None:
            continue
        path = os.path.join(root, *track.location.split(":")[1:])
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(track.content)


# Title pieces that read as real titles in many scripts; the emoji are outside the BMP.
WORDS = ["Night", "Rain", "Blue", "Home", "River", "Song", "Light", "Café", "Über", "Ñandú",
         "東京", "夜明け", "사랑", "שלום", "מוזיקה", "Привет", "Ωμέγα", "🎵", "🌧️", "naïve",
         "Straße", "Ærø", "l'été", "Ça va"]
# Titles that must be handled with care: characters Windows forbids, separators, climbing,
# drive prefixes, escapes of the output format.
AWKWARD = ["What?", "Star*", "Time: 10:30", "AC/DC", "Back\\slash", "../up", "..\\up",
           "a/../../b", "/root", "\\root", "C:drive", "...", "..", ". .", ".hidden", "",
           "Tab\there", "Line\nbreak", "Carriage\rreturn", "Trailing dot.", "  spaced  ",
           "100% <pure> \"quoted\" |piped|"]
GENRES = ["Rock", "Jazz", "Música Popular", "R&B/Soul", "Hip-Hop", "Klassik", "民謡"]
# Names Windows keeps for devices, in the forms a file name can take.
RESERVED = ["CON", "aux", "Nul.txt", "COM1", "lpt9", "PRN .x"]
TYPES = [b"MP3 ", b"M4A ", b"WAV ", b"AAC ", b"\0\0\0\0", b"    "]
EXTENSIONS = [".mp3", ".m4a", ".wav", "", ".ogg"]


def generate_tracks(count, seed=1234):
    rng = random.Random(seed)
    tracks = []
    used_locations = set()
    for i in range(count):
        if i % 17 == 3:
            title = AWKWARD[(i // 17) % len(AWKWARD)]
        elif i % 11 == 5:
            title = "Repeated Title"  # many songs share this name
        elif i % 13 == 7:
            title = "repeated title"  # and this one differs only in case
        else:
            title = " ".join(rng.choice(WORDS) for _ in range(rng.randint(1, 4)))
        artist = "" if i % 5 == 0 else rng.choice(WORDS) + " " + rng.choice(WORDS)
        album = "" if i % 7 == 0 else "Album " + rng.choice(WORDS)
        while True:
            name = "".join(rng.choice("ABCDEFGHIJKLMNOPQRSTUVWXYZ") for _ in range(4))
            folder = "F%02d" % rng.randint(0, 49)
            if (folder, name) not in used_locations:
                used_locations.add((folder, name))
                break
        location = ":iPod_Control:Music:%s:%s%s" % (folder, name, rng.choice(EXTENSIONS))
        content = bytes(rng.getrandbits(8) for _ in range(rng.randint(100, 4000)))
        order = ("title", "artist", "album", "location")
        if i % 23 == 9:
            order = ("artist", "title", "album", "location")  # the artist comes too early
        elif i % 19 == 4:
            order = ("genre", "location", "title", "opaque", "album artist", "album", "artist")
        track = Track(title, artist, album, location, rng.choice(TYPES), content, order,
                      header_length=rng.choice([0x9C, 0xF4, 0x148, 0x184, 0x270]),
                      padding=rng.choice([0, 0, 0, 2, 6]))
        if i % 101 == 50:
            track.content = None  # its file is missing from the player
        if i % 97 == 60:
            track.location = None  # the database names no file at all
        if i == 7:
            track.title = "Long " * 60  # 300 characters: no path holds it
        track.track_number = 0 if i % 9 == 0 else 1 + i % 23
        track.disc = 0 if i % 4 else 1 + i % 3
        track.year = 0 if i % 6 == 0 else 1960 + i % 60
        track.length_ms = 0 if i % 31 == 0 else rng.randint(1000, 600000)
        track.genre = "" if i % 3 == 0 else rng.choice(GENRES)
        track.composer = "" if i % 2 else rng.choice(WORDS) + " " + rng.choice(WORDS)
        track.album_artist = ("" if i % 4 else rng.choice(WORDS + AWKWARD))
        if i % 29 == 0:
            track.album = rng.choice(AWKWARD)
        if i % 37 == 1:
            track.artist = rng.choice(AWKWARD + RESERVED)
        if i % 41 == 2:
            track.title = rng.choice(RESERVED)
        order = list(track.order)
        for extra in ("genre", "composer", "album artist"):
            if extra not in order:
                order.insert(rng.randint(0, len(order)), extra)
        track.order = tuple(order)
        tracks.append(track)
    return tracks


def generate_playlists(tracks, seed=4321):
    """Playlists with Unicode and file-system-hostile names, repeats, songs without a file
    and an id no track has."""
    rng = random.Random(seed)
    ids = [t.track_id or i + 1 for i, t in enumerate(tracks)]
    playlists = []
    for name in ["Road Trip", "夜明け 🎵 Mix", "AC/DC: Best?*", "CON", "..", "", "Tab\there",
                 "Empty"]:
        if name == "Empty":
            chosen = []
        else:
            chosen = [rng.choice(ids) for _ in range(rng.randint(1, 60))]
            chosen += chosen[:3]  # some songs twice
        if name == "Road Trip":
            chosen.append(999999)  # no track has this id
        playlists.append((name, chosen))
    return playlists


def main():
    if len(sys.argv) < 2:
        sys.exit("usage: independent_writer.py DIR [TRACKS]")
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 3000
    tracks = generate_tracks(count)
    write_player(sys.argv[1], tracks, generate_playlists(tracks))


if __name__ == "__main__":
    main()
