// The tags of one song file on the player: title, artist, album, album artist, composer,
// genre, year, track and disc, from whichever container the file is (MP3 with ID3v2 and ID3v1,
// MP4, WAV, AIFF). Only the tag headers and wanted frames are read; an odd file gives what
// could be read and never fails a listing.
#pragma once

#include <cstdint>

#include "platform/Text.h"
#include "songdb/tags/ByteSource.h"
#include "songdb/tags/Tag.h"

// The containers told apart by their first bytes.
enum class ETagContainer {
    kUnknown,  // anything else: only an ID3v1 tag at the end is looked for
    kMpeg,     // an ID3v2 tag at the start (an MP3), an ID3v1 tag at the end
    kMp4,
    kWave,
    kAiff,
};

// What one file cost to read, for benchmarks.
struct STagReadCounts {
    std::uint64_t bytesRead = 0;
    std::uint32_t dwSeeks = 0;
};

ETagContainer SniffTagContainer(tags::CByteSource& source);

// The fields the tags in source hold, without the file-name title. False when no container's
// tag was found.
bool ReadTags(tags::CByteSource& source, SFileTags& fields);

// The tags of the file at path (Windows form, through the platform seam). A file without a
// title in its tags, or that cannot be read, gets its name without the extension as title.
// False when the file could not be opened.
bool ReadFileTags(const WChar* path, SFileTags& fields, STagReadCounts* pCounts = nullptr);

// The last component of a Windows-form path without its extension ("E:\a\Song.mp3" gives
// "Song"; a name that is all extension, ".mp3", stays whole).
WString TitleFromPath(WStringView path);
