// Writes whole iTunesDB images in memory: the tests' fixture builder and the demo player
// maker's catalogue writer. Pure: bytes out, no files touched.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Text.h"

namespace dbwriter {

// One data object ("mhod") with a string body: header length 0x18, at 12 the type, at 24 the
// position (1), at 28 the string length in bytes, 32..39 zero, the string at 40 (UTF-16LE).
struct SDataObjectEntry {
    std::uint32_t dwType = 1;
    WString strText;
    // When set, these bytes are written as the string instead of strText (for example an odd
    // number of bytes); the string length field then counts them.
    std::optional<std::vector<std::uint8_t>> rawString;
};

// Data object types the reader uses.
inline constexpr std::uint32_t kObjectTitle = 1;
inline constexpr std::uint32_t kObjectLocation = 2;
inline constexpr std::uint32_t kObjectAlbum = 3;
inline constexpr std::uint32_t kObjectArtist = 4;

// One track ("mhit"). Without `objects`, its data objects are, in this order: title, artist,
// album, location (each only when present), then extraObjects.
struct STrackEntry {
    std::optional<WString> title;
    std::optional<WString> artist;
    std::optional<WString> album;
    // A player path with ':' as the folder separator, e.g. u":iPod_Control:Music:F01:ABCD.mp3".
    std::optional<WString> location;
    // Four characters in reading order, e.g. "MP3 " or "M4A "; written last-first at bytes
    // 24..27 (byte 27 holds the first character). Any bytes, so std::string(4, '\0') writes
    // the zero type of old databases. Shorter texts are padded with spaces.
    std::string strFileType = "MP3 ";
    std::vector<SDataObjectEntry> extraObjects;
    // When set: exactly these data objects in this order; title..location and extraObjects
    // are then ignored.
    std::optional<std::vector<SDataObjectEntry>> objects;
    // Header length of the track record (real files use 0x9c to 0x270); at least 0x28.
    std::uint32_t dwHeaderLength = 0x184;
    // Written at 16 (unique id); 0 gives the track's index + 1.
    std::uint32_t dwTrackId = 0;
    // Written at 36 (file size in bytes), informative only.
    std::uint32_t dwFileSize = 0;
    // Written at 0x28 (length in ms), 0x2C (track number), 0x34 (year) and 0x5C (disc number)
    // when the header reaches them.
    std::uint32_t dwLengthMs = 0;
    std::uint32_t dwTrackNumber = 0;
    std::uint32_t dwYear = 0;
    std::uint32_t dwDiscNumber = 0;
    // Overrides the data-object count at 12 (default: the objects written).
    std::optional<std::uint32_t> dataObjectCount;
    // Further numbers of the header (rating, plays, times...), each written where the header
    // reaches it: offset, value and width in bytes (1 or 4).
    struct SHeaderField {
        std::size_t offset = 0;
        std::uint32_t dwValue = 0;
        std::size_t width = 4;
    };
    std::vector<SHeaderField> headerFields;
};

// One playlist ("mhyp"): header 0x6C with the hidden flag at 0x14, the name as a type 1 data
// object, then one item ("mhip", header 0x4C) per track id, the id at 0x18.
struct SPlaylistEntry {
    WString strName;
    bool bMaster = false;
    std::vector<std::uint32_t> trackIds;
};

struct SDatabaseContent {
    std::vector<STrackEntry> tracks;
    // An albums dataset (type 4, empty album list "mhla") before the track dataset, as real
    // files have it.
    bool bAlbumsDataset = true;
    // A playlist dataset ("mhlp" with playlists) after the track dataset.
    bool bPlaylistDataset = false;
    std::uint32_t dwPlaylistDatasetType = 2;
    std::vector<SPlaylistEntry> playlists;
    // Overrides the track count of the track list (default: tracks.size()).
    std::optional<std::uint32_t> trackCount;
    std::uint32_t dwVersion = 0x19;  // database version at 16, informative only
};

// Where the records landed, so that tests can patch single fields afterwards.
struct SDatabaseLayout {
    std::vector<std::size_t> datasets;              // offsets of the "mhsd" records in file order
    std::size_t trackDataset = 0;                   // offset of the track dataset's "mhsd"
    std::size_t trackList = 0;                      // offset of "mhlt"
    std::vector<std::size_t> tracks;                // offset of each "mhit"
    std::vector<std::vector<std::size_t>> objects;  // per track, offset of each "mhod"
    std::vector<std::size_t> playlists;             // offset of each "mhyp"
};

// Record header lengths as real files have them.
inline constexpr std::uint32_t kDatabaseHeaderLength = 0x68;
inline constexpr std::uint32_t kDatasetHeaderLength = 0x60;
inline constexpr std::uint32_t kListHeaderLength = 0x5c;
inline constexpr std::uint32_t kTrackHeaderLength = 0x184;
inline constexpr std::uint32_t kObjectHeaderLength = 0x18;
inline constexpr std::uint32_t kObjectStringOffset = 40;

// The whole database image: "mhbd" whose total length is the image size, then the datasets.
std::vector<std::uint8_t> WriteItunesDb(const SDatabaseContent& content,
                                        SDatabaseLayout* pLayout = nullptr);

// The compressed form of a whole database image, as players that keep their catalogue in
// iTunesCDB write it: the database header (made at least kCompressedHeaderLength long, padded
// with zeros), its byte 0xA8 set to 1 and its field at 12 to 2, followed by everything after the
// header as one zlib stream; the total length at 8 is the size of the result.
inline constexpr std::uint32_t kCompressedHeaderLength = 0xF4;
std::vector<std::uint8_t> CompressItunesDb(const std::vector<std::uint8_t>& image);

// One entry of a Play Counts file, all seven words; an entry length below 28 keeps the first.
struct SPlayCountEntry {
    std::uint32_t dwPlays = 0;
    std::uint32_t dwLastPlayed = 0;
    std::uint32_t dwBookmark = 0;
    std::uint32_t dwRating = 0;
    std::uint32_t dwUnused = 0;
    std::uint32_t dwSkips = 0;
    std::uint32_t dwLastSkipped = 0;
};

// A Play Counts file: "mhdp" with header length 0x60, the entry length at 8 and the count at 12,
// then the entries, each cut (or padded with zeros) to entryLength bytes.
std::vector<std::uint8_t> WritePlayCounts(const std::vector<SPlayCountEntry>& entries,
                                          std::uint32_t entryLength = 0x1C);

// The data objects a track entry stands for, in the order they are written.
std::vector<SDataObjectEntry> DataObjectsOf(const STrackEntry& track);

// Little-endian field access on an image, for patching in tests.
void PutU32(std::vector<std::uint8_t>& image, std::size_t offset, std::uint32_t value);
std::uint32_t GetU32(const std::vector<std::uint8_t>& image, std::size_t offset);

}  // namespace dbwriter
