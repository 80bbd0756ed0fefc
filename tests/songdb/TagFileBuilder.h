// Small writers of tagged song files for the tag reader's tests, fuzz seeds and benchmark:
// ID3v2 and ID3v1 tags, MP4 atoms, WAV and AIFF chunks, byte by byte.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Text.h"
#include "songdb/tags/Tag.h"

// The fields in one line, for test failures.
void PrintTo(const SFileTags& tags, std::ostream* out);

namespace tagbuild {

using Bytes = std::vector<std::uint8_t>;

Bytes Ascii(std::string_view text);
Bytes Latin1(WStringView text);  // each unit cut to its low byte
Bytes Utf8(WStringView text);
Bytes Utf16(WStringView text, bool bBigEndian);
Bytes Concat(std::initializer_list<Bytes> parts);

// ID3v2 text frame bodies: the encoding byte, then the text. Encoding 1 gets a little-endian
// byte-order mark unless bBom is false.
Bytes TextBody(std::uint8_t encoding, WStringView text, bool bBom = true);

struct SFrame {
    std::string id;
    Bytes body;
    std::uint8_t flags = 0;  // the second flag byte (2.3 and 2.4)
};

// A text frame of encoding 3 (UTF-8) in 2.4, else 0 (ISO-8859-1).
SFrame Text(std::string id, WStringView text, std::uint8_t version = 3);

struct STagOptions {
    bool bUnsynchronise = false;   // the whole tag (2.2, 2.3); per frame in 2.4
    bool bFooter = false;          // 2.4
    bool bExtendedHeader = false;  // 2.3, 2.4
    std::uint32_t dwPadding = 0;
    std::int64_t sizeDelta = 0;  // added to the size the header states
};

Bytes Id3v2(std::uint8_t version, const std::vector<SFrame>& frames, const STagOptions& = {});
// The bytes a frame header (2.2: 6, else 10) gives, for tests that write frames by hand.
Bytes FrameHeader(std::uint8_t version, std::string_view id, std::uint32_t size,
                  std::uint8_t flags = 0);
Bytes Unsynchronise(const Bytes& bytes);

struct SId3v1 {
    std::string title{};
    std::string artist{};
    std::string album{};
    std::string year{};
    std::uint8_t track = 0;  // 0: a v1.0 tag with a full comment
    std::uint8_t genre = 255;
};
Bytes Id3v1(const SId3v1& tag);

// Audio frames for MP3 files (MPEG-1 layer III, 128 kbit/s, 44.1 kHz, silent), count of them.
Bytes MpegFrames(std::size_t count);

// MP4 atoms.
Bytes Atom(std::string_view type, const Bytes& body);
Bytes Atom64(std::string_view type, const Bytes& body);
Bytes FullAtom(std::string_view type, const Bytes& body);  // version and flags 0
Bytes DataAtom(std::uint32_t dwClass, const Bytes& payload);
Bytes TextItem(std::string_view type, WStringView text);  // UTF-8 data
Bytes NumberPairItem(std::string_view type, std::uint16_t number, std::uint16_t total);
// ftyp, then moov (mvhd and udta/meta/ilst holding items) and an mdat of mdatSize bytes, in that
// order or with mdat first.
Bytes Mp4File(const std::vector<Bytes>& items, bool bMoovAfterMdat = false,
              std::size_t mdatSize = 64);

// RIFF and AIFF chunks; an odd-sized chunk is followed by its pad byte.
Bytes Chunk(std::string_view id, const Bytes& body, bool bBigEndian);
Bytes InfoList(const std::vector<std::pair<std::string, Bytes>>& texts);
Bytes WaveFile(const std::vector<Bytes>& chunks);  // fmt and data chunks, then these
Bytes AiffFile(const std::vector<Bytes>& chunks);  // COMM and SSND chunks, then these

}  // namespace tagbuild
