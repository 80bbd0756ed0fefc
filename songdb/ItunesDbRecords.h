// The iTunesDB records and fields the program reads. Every record starts with a four-byte
// tag and its header length; children start right after the header, siblings one total
// length apart.
#pragma once

#include <cstddef>
#include <cstdint>

namespace itunesdb {

// Tags compared as one little-endian word against the ASCII bytes in file order.
inline constexpr std::uint32_t kTagDatabase = 0x6462686D;      // "mhbd"
inline constexpr std::uint32_t kTagDataset = 0x6473686D;       // "mhsd"
inline constexpr std::uint32_t kTagTrackList = 0x746C686D;     // "mhlt"
inline constexpr std::uint32_t kTagTrack = 0x7469686D;         // "mhit"
inline constexpr std::uint32_t kTagDataObject = 0x646F686D;    // "mhod"
inline constexpr std::uint32_t kTagPlaylistList = 0x706C686D;  // "mhlp"
inline constexpr std::uint32_t kTagPlaylist = 0x7079686D;      // "mhyp"
inline constexpr std::uint32_t kTagPlaylistItem = 0x7069686D;  // "mhip"

// Fields shared by every record.
inline constexpr std::size_t kOffTag = 0;
inline constexpr std::size_t kOffHeaderLength = 4;
// Total length for database, dataset, track and data object; number of tracks for the list.
inline constexpr std::size_t kOffTotalLength = 8;
inline constexpr std::size_t kOffTrackCount = 8;

// The smallest file that can hold the database record's tag, header and total length.
inline constexpr std::size_t kMinDatabaseSize = 12;

// Database record of a compressed catalogue: when the byte at 0xA8 of its header is 1,
// everything after the header is one zlib stream, and the total length counts the file (header
// and compressed bytes), not the inflated records. The header must reach past the flag.
inline constexpr std::size_t kOffCompressedFlag = 0xA8;
inline constexpr std::size_t kMinCompressedHeaderLength = kOffCompressedFlag + 1;
inline constexpr std::uint8_t kCompressedFlagZlib = 1;

// Dataset record: 1 tracks, 2 playlists, 3 the same playlists with podcasts grouped.
inline constexpr std::size_t kOffDatasetType = 12;
inline constexpr std::uint32_t kDatasetPlaylists = 2;
inline constexpr std::uint32_t kDatasetPodcastPlaylists = 3;

// Track record.
inline constexpr std::size_t kOffDataObjectCount = 12;
// The id playlist items name the track by.
inline constexpr std::size_t kOffTrackId = 16;
// Four ASCII characters stored last-first: byte 27 is the first character.
inline constexpr std::size_t kOffFileType = 24;
inline constexpr std::size_t kFileTypeLength = 4;
// The numbers of the header (see songdb/TrackRecord.h for how they are read). Times are seconds
// since 1904-01-01 in the player's local time, 0 meaning never.
inline constexpr std::size_t kOffRating = 0x1F;  // one byte: stars x 20
inline constexpr std::size_t kOffModified = 0x20;
inline constexpr std::size_t kOffFileSize = 0x24;  // bytes of the song's file
inline constexpr std::size_t kOffLengthMs = 0x28;
inline constexpr std::size_t kOffTrackNumber = 0x2C;
inline constexpr std::size_t kOffTracksOnAlbum = 0x30;
inline constexpr std::size_t kOffYear = 0x34;
inline constexpr std::size_t kOffBitRate = 0x38;
inline constexpr std::size_t kOffSampleRate = 0x3C;  // the rate in the upper 16 bits
inline constexpr std::size_t kOffPlayCount = 0x50;
inline constexpr std::size_t kOffLastPlayed = 0x58;
inline constexpr std::size_t kOffDiscNumber = 0x5C;
inline constexpr std::size_t kOffDiscsInSet = 0x60;
inline constexpr std::size_t kOffDateAdded = 0x68;
inline constexpr std::size_t kOffSkipCount = 0x9C;
inline constexpr std::size_t kOffLastSkipped = 0xA0;

// Playlist record: the master playlist (the whole library) has 1 in this byte.
inline constexpr std::size_t kOffPlaylistHidden = 0x14;
// Playlist item record: the track id of its song.
inline constexpr std::size_t kOffItemTrackId = 0x18;

// Data object record.
inline constexpr std::size_t kOffObjectType = 12;
inline constexpr std::size_t kOffStringLength = 28;
inline constexpr std::size_t kOffString = 40;  // UTF-16LE, not terminated

enum EObjectType : std::uint32_t {
    kTypeTitle = 1,
    kTypeLocation = 2,
    kTypeAlbum = 3,
    kTypeArtist = 4,
    kTypeGenre = 5,
    kTypeComment = 8,
    kTypeComposer = 12,
    kTypeAlbumArtist = 22,
    // In a playlist, type 1 is its name.
    kTypePlaylistName = 1,
};

}  // namespace itunesdb
