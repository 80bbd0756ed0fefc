// Tag text decoding; UTF-8 goes through the platform's text helpers.
#include "songdb/tags/TagText.h"

#include <array>
#include <string_view>

namespace tags {

WString WideFromLatin1(ByteSpan bytes) { return WString(bytes.begin(), bytes.end()); }

WString WideFromUtf16(ByteSpan bytes, bool bBigEndian) {
    WString out;
    out.reserve(bytes.size() / 2);
    for (std::size_t i = 0; bytes.size() - i >= 2; i += 2) {
        const std::uint8_t high = bBigEndian ? bytes[i] : bytes[i + 1];
        const std::uint8_t low = bBigEndian ? bytes[i + 1] : bytes[i];
        out.push_back(static_cast<WChar>(high << 8 | low));
    }
    return out;
}

// Valid UTF-8 is the text that comes back unchanged through the platform's conversion both
// ways: anything invalid becomes U+FFFD on the way in.
WString WideFrom8Bit(ByteSpan bytes) {
    const std::string_view text(static_cast<const char*>(static_cast<const void*>(bytes.data())),
                                bytes.size());
    WString wide = WideFromUtf8(text);
    if (Utf8FromWide(wide) == text) {
        return wide;
    }
    return WideFromLatin1(bytes);
}

ByteSpan UpToNul(ByteSpan bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == 0) {
            return bytes.first(i);
        }
    }
    return bytes;
}

ByteSpan UpToNul16(ByteSpan bytes) {
    for (std::size_t i = 0; bytes.size() - i >= 2; i += 2) {
        if (bytes[i] == 0 && bytes[i + 1] == 0) {
            return bytes.first(i);
        }
    }
    return bytes;
}

std::uint32_t LeadingNumber(WStringView text, std::size_t maxDigits) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < text.size() && i < maxDigits; ++i) {
        if (text[i] < u'0' || text[i] > u'9') {
            break;
        }
        value = value * 10 + static_cast<std::uint32_t>(text[i] - u'0');
    }
    return value;
}

WString TrimSpaces(WStringView text) {
    const std::size_t first = text.find_first_not_of(u' ');
    if (first == WStringView::npos) {
        return {};
    }
    return WString(text.substr(first, text.find_last_not_of(u' ') - first + 1));
}

namespace {

// The genres of the original ID3v1 list, by number.
constexpr std::array<std::u16string_view, 80> kGenres = {
    u"Blues",
    u"Classic Rock",
    u"Country",
    u"Dance",
    u"Disco",
    u"Funk",
    u"Grunge",
    u"Hip-Hop",
    u"Jazz",
    u"Metal",
    u"New Age",
    u"Oldies",
    u"Other",
    u"Pop",
    u"R&B",
    u"Rap",
    u"Reggae",
    u"Rock",
    u"Techno",
    u"Industrial",
    u"Alternative",
    u"Ska",
    u"Death Metal",
    u"Pranks",
    u"Soundtrack",
    u"Euro-Techno",
    u"Ambient",
    u"Trip-Hop",
    u"Vocal",
    u"Jazz+Funk",
    u"Fusion",
    u"Trance",
    u"Classical",
    u"Instrumental",
    u"Acid",
    u"House",
    u"Game",
    u"Sound Clip",
    u"Gospel",
    u"Noise",
    u"AlternRock",
    u"Bass",
    u"Soul",
    u"Punk",
    u"Space",
    u"Meditative",
    u"Instrumental Pop",
    u"Instrumental Rock",
    u"Ethnic",
    u"Gothic",
    u"Darkwave",
    u"Techno-Industrial",
    u"Electronic",
    u"Pop-Folk",
    u"Eurodance",
    u"Dream",
    u"Southern Rock",
    u"Comedy",
    u"Cult",
    u"Gangsta",
    u"Top 40",
    u"Christian Rap",
    u"Pop/Funk",
    u"Jungle",
    u"Native American",
    u"Cabaret",
    u"New Wave",
    u"Psychedelic",
    u"Rave",
    u"Showtunes",
    u"Trailer",
    u"Lo-Fi",
    u"Tribal",
    u"Acid Punk",
    u"Acid Jazz",
    u"Polka",
    u"Retro",
    u"Musical",
    u"Rock & Roll",
    u"Hard Rock",
};

}  // namespace

WString GenreName(std::uint32_t index) {
    return index < kGenres.size() ? WString(kGenres[index]) : WString();
}

}  // namespace tags
