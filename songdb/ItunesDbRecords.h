// The iTunesDB records and fields the program reads. Every record starts with a four-byte
// tag and its header length; children start right after the header, siblings one total
// length apart.
#pragma once

#include <cstddef>
#include <cstdint>

namespace itunesdb {

// Tags compared as one little-endian word against the ASCII bytes in file order.
inline constexpr std::uint32_t kTagDatabase = 0x6462686D;    // "mhbd"
inline constexpr std::uint32_t kTagDataset = 0x6473686D;     // "mhsd"
inline constexpr std::uint32_t kTagTrackList = 0x746C686D;   // "mhlt"
inline constexpr std::uint32_t kTagTrack = 0x7469686D;       // "mhit"
inline constexpr std::uint32_t kTagDataObject = 0x646F686D;  // "mhod"

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

// Track record.
inline constexpr std::size_t kOffDataObjectCount = 12;
// Four ASCII characters stored last-first: byte 27 is the first character.
inline constexpr std::size_t kOffFileType = 24;
inline constexpr std::size_t kFileTypeLength = 4;

// Data object record.
inline constexpr std::size_t kOffObjectType = 12;
inline constexpr std::size_t kOffStringLength = 28;
inline constexpr std::size_t kOffString = 40;  // UTF-16LE, not terminated

enum EObjectType : std::uint32_t {
    kTypeTitle = 1,
    kTypeLocation = 2,
    kTypeAlbum = 3,
    kTypeArtist = 4,
};

}  // namespace itunesdb
