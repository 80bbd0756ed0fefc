// Song file writers for tests: sizes and headers as the formats lay them out.
#include "TagFileBuilder.h"

#include <ostream>

void PrintTo(const SFileTags& tags, std::ostream* out) {
    *out << "{" << Utf8FromWide(tags.strTitle) << " | " << Utf8FromWide(tags.strArtist) << " | "
         << Utf8FromWide(tags.strAlbum) << " | " << Utf8FromWide(tags.strAlbumArtist) << " | "
         << Utf8FromWide(tags.strComposer) << " | " << Utf8FromWide(tags.strGenre) << " | "
         << tags.dwYear << " | " << tags.dwTrack << " | " << tags.dwDisc << "}";
}

namespace tagbuild {
namespace {

void PutBe(Bytes& out, std::uint64_t value, int count) {
    for (int i = count - 1; i >= 0; --i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

void PutLe(Bytes& out, std::uint64_t value, int count) {
    for (int i = 0; i < count; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

void PutSyncsafe(Bytes& out, std::uint32_t value) {
    for (int i = 3; i >= 0; --i) {
        out.push_back(static_cast<std::uint8_t>((value >> (7 * i)) & 0x7F));
    }
}

void Append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }

}  // namespace

Bytes Ascii(std::string_view text) { return Bytes(text.begin(), text.end()); }

Bytes Latin1(WStringView text) {
    Bytes out;
    for (const WChar unit : text) {
        out.push_back(static_cast<std::uint8_t>(unit));
    }
    return out;
}

Bytes Utf8(WStringView text) { return Ascii(Utf8FromWide(text)); }

Bytes Utf16(WStringView text, bool bBigEndian) {
    Bytes out;
    for (const WChar unit : text) {
        bBigEndian ? PutBe(out, unit, 2) : PutLe(out, unit, 2);
    }
    return out;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) {
        Append(out, part);
    }
    return out;
}

Bytes TextBody(std::uint8_t encoding, WStringView text, bool bBom) {
    Bytes out{encoding};
    switch (encoding) {
        case 0:
            Append(out, Latin1(text));
            break;
        case 1:
            if (bBom) {
                Append(out, {0xFF, 0xFE});
            }
            Append(out, Utf16(text, false));
            break;
        case 2:
            Append(out, Utf16(text, true));
            break;
        default:
            Append(out, Utf8(text));
            break;
    }
    return out;
}

SFrame Text(std::string id, WStringView text, std::uint8_t version) {
    return SFrame{std::move(id), TextBody(version == 4 ? 3 : 0, text)};
}

Bytes FrameHeader(std::uint8_t version, std::string_view id, std::uint32_t size,
                  std::uint8_t flags) {
    Bytes out = Ascii(id);
    if (version == 2) {
        PutBe(out, size, 3);
        return out;
    }
    version == 4 ? PutSyncsafe(out, size) : PutBe(out, size, 4);
    out.push_back(0);
    out.push_back(flags);
    return out;
}

Bytes Unsynchronise(const Bytes& bytes) {
    Bytes out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        out.push_back(bytes[i]);
        if (bytes[i] == 0xFF &&
            (i + 1 == bytes.size() || bytes[i + 1] == 0 || bytes[i + 1] >= 0xE0)) {
            out.push_back(0);
        }
    }
    return out;
}

Bytes Id3v2(std::uint8_t version, const std::vector<SFrame>& frames, const STagOptions& options) {
    Bytes body;
    if (options.bExtendedHeader) {
        // 2.3: size without itself, flags, padding size; 2.4: syncsafe size with itself, one
        // flag byte, no flags.
        if (version == 3) {
            Append(body, {0, 0, 0, 6, 0, 0, 0, 0, 0, 0});
        } else {
            Append(body, {0, 0, 0, 6, 1, 0});
        }
    }
    for (const SFrame& frame : frames) {
        Bytes data = frame.body;
        std::uint8_t flags = frame.flags;
        if (version == 4 && options.bUnsynchronise) {
            data = Unsynchronise(data);
            flags |= 0x02;
        }
        Append(body,
               FrameHeader(version, frame.id, static_cast<std::uint32_t>(data.size()), flags));
        Append(body, data);
    }
    body.resize(body.size() + options.dwPadding);
    if (version < 4 && options.bUnsynchronise) {
        body = Unsynchronise(body);
    }
    std::uint8_t flags = 0;
    flags |= options.bUnsynchronise ? 0x80 : 0;
    flags |= options.bExtendedHeader ? 0x40 : 0;
    flags |= options.bFooter ? 0x10 : 0;
    Bytes header = {'I', 'D', '3', version, 0, flags};
    PutSyncsafe(header, static_cast<std::uint32_t>(static_cast<std::int64_t>(body.size()) +
                                                   options.sizeDelta));
    Bytes out = Concat({header, body});
    if (options.bFooter) {
        header[0] = '3', header[1] = 'D', header[2] = 'I';
        Append(out, header);
    }
    return out;
}

Bytes Id3v1(const SId3v1& tag) {
    Bytes out = Ascii("TAG");
    auto field = [&out](const std::string& text, std::size_t size) {
        Bytes bytes = Ascii(text.substr(0, size));
        bytes.resize(size);
        Append(out, bytes);
    };
    field(tag.title, 30);
    field(tag.artist, 30);
    field(tag.album, 30);
    field(tag.year, 4);
    field("comment", 28);
    out.push_back(0);
    out.push_back(tag.track);
    if (tag.track == 0) {
        out[out.size() - 2] = ' ';  // a v1.0 comment running to its end
    }
    out.push_back(tag.genre);
    return out;
}

Bytes MpegFrames(std::size_t count) {
    Bytes out;
    for (std::size_t i = 0; i < count; ++i) {
        Bytes frame(417, 0);
        frame[0] = 0xFF, frame[1] = 0xFB, frame[2] = 0x90, frame[3] = 0x64;
        Append(out, frame);
    }
    return out;
}

Bytes Atom(std::string_view type, const Bytes& body) {
    Bytes out;
    PutBe(out, body.size() + 8, 4);
    Append(out, Ascii(type));
    Append(out, body);
    return out;
}

Bytes Atom64(std::string_view type, const Bytes& body) {
    Bytes out;
    PutBe(out, 1, 4);
    Append(out, Ascii(type));
    PutBe(out, body.size() + 16, 8);
    Append(out, body);
    return out;
}

Bytes FullAtom(std::string_view type, const Bytes& body) {
    return Atom(type, Concat({Bytes(4, 0), body}));
}

Bytes DataAtom(std::uint32_t dwClass, const Bytes& payload) {
    Bytes body;
    PutBe(body, dwClass, 4);
    PutBe(body, 0, 4);  // locale
    Append(body, payload);
    return Atom("data", body);
}

Bytes TextItem(std::string_view type, WStringView text) {
    return Atom(type, DataAtom(1, Utf8(text)));
}

Bytes NumberPairItem(std::string_view type, std::uint16_t number, std::uint16_t total) {
    Bytes payload;
    PutBe(payload, 0, 2);
    PutBe(payload, number, 2);
    PutBe(payload, total, 2);
    PutBe(payload, 0, 2);
    return Atom(type, DataAtom(0, payload));
}

Bytes Mp4File(const std::vector<Bytes>& items, bool bMoovAfterMdat, std::size_t mdatSize) {
    Bytes ilst;
    for (const Bytes& item : items) {
        Append(ilst, item);
    }
    const Bytes hdlr = FullAtom("hdlr", Concat({Bytes(4, 0), Ascii("mdirappl"), Bytes(9, 0)}));
    const Bytes moov =
        Atom("moov", Concat({FullAtom("mvhd", Bytes(96, 0)),
                             Atom("udta", FullAtom("meta", Concat({hdlr, Atom("ilst", ilst)})))}));
    const Bytes ftyp = Atom("ftyp", Concat({Ascii("M4A "), Bytes(4, 0), Ascii("M4A isom")}));
    const Bytes mdat = Atom("mdat", Bytes(mdatSize, 0x55));
    return bMoovAfterMdat ? Concat({ftyp, mdat, moov}) : Concat({ftyp, moov, mdat});
}

Bytes Chunk(std::string_view id, const Bytes& body, bool bBigEndian) {
    Bytes out = Ascii(id);
    bBigEndian ? PutBe(out, body.size(), 4) : PutLe(out, body.size(), 4);
    Append(out, body);
    if (body.size() % 2 != 0) {
        out.push_back(0);
    }
    return out;
}

Bytes InfoList(const std::vector<std::pair<std::string, Bytes>>& texts) {
    Bytes body = Ascii("INFO");
    for (const auto& [id, text] : texts) {
        Append(body, Chunk(id, text, false));
    }
    return Chunk("LIST", body, false);
}

Bytes WaveFile(const std::vector<Bytes>& chunks) {
    Bytes body = Ascii("WAVE");
    Bytes fmt;
    PutLe(fmt, 1, 2);       // PCM
    PutLe(fmt, 2, 2);       // channels
    PutLe(fmt, 44100, 4);   // sample rate
    PutLe(fmt, 176400, 4);  // bytes per second
    PutLe(fmt, 4, 2);       // block align
    PutLe(fmt, 16, 2);      // bits per sample
    Append(body, Chunk("fmt ", fmt, false));
    Append(body, Chunk("data", Bytes(400, 0), false));
    for (const Bytes& chunk : chunks) {
        Append(body, chunk);
    }
    Bytes out = Ascii("RIFF");
    PutLe(out, body.size(), 4);
    return Concat({out, body});
}

Bytes AiffFile(const std::vector<Bytes>& chunks) {
    Bytes body = Ascii("AIFF");
    Bytes comm;
    PutBe(comm, 2, 2);                                         // channels
    PutBe(comm, 100, 4);                                       // sample frames
    PutBe(comm, 16, 2);                                        // bits per sample
    Append(comm, {0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0});  // 44100 as an 80-bit float
    Append(body, Chunk("COMM", comm, true));
    Append(body, Chunk("SSND", Concat({Bytes(8, 0), Bytes(400, 0)}), true));
    for (const Bytes& chunk : chunks) {
        Append(body, chunk);
    }
    Bytes out = Ascii("FORM");
    PutBe(out, body.size(), 4);
    return Concat({out, body});
}

}  // namespace tagbuild
