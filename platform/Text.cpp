// UTF-16 text helpers shared by every platform.
#include "platform/Text.h"

#include <cstdint>

std::size_t WLength(const WChar* text) {
    std::size_t length = 0;
    while (text[length] != 0) {
        ++length;
    }
    return length;
}

bool WCopyBounded(WChar* target, std::size_t capacity, WStringView source) {
    const bool bFits = source.size() < capacity;
    const std::size_t count = bFits ? source.size() : capacity - 1;
    source.copy(target, count);
    target[count] = 0;
    return bFits;
}

bool WAppendBounded(WChar* target, std::size_t capacity, WStringView source) {
    const std::size_t length = WLength(target);
    if (length >= capacity || source.size() >= capacity - length) {
        return false;
    }
    source.copy(target + length, source.size());
    target[length + source.size()] = 0;
    return true;
}

namespace {

// Writes code as UTF-8 at pOut and returns the position after it.
char* PutUtf8(char* pOut, std::uint32_t code) {
    auto put = [&pOut](std::uint32_t byte) { *pOut++ = static_cast<char>(byte); };
    if (code < 0x80) {
        put(code);
    } else if (code < 0x800) {
        put(0xC0 | (code >> 6));
        put(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        put(0xE0 | (code >> 12));
        put(0x80 | ((code >> 6) & 0x3F));
        put(0x80 | (code & 0x3F));
    } else {
        put(0xF0 | (code >> 18));
        put(0x80 | ((code >> 12) & 0x3F));
        put(0x80 | ((code >> 6) & 0x3F));
        put(0x80 | (code & 0x3F));
    }
    return pOut;
}

// Eight units are tested and copied together: the compiler turns both loops into a few vector
// instructions.
constexpr std::size_t kAsciiBlock = 8;

bool IsAsciiBlock(const WChar* pBlock) {
    unsigned bits = 0;
    for (std::size_t i = 0; i < kAsciiBlock; ++i) {
        bits |= pBlock[i];
    }
    return bits < 0x80;
}

char* PutAsciiBlock(char* pOut, const WChar* pBlock) {
    for (std::size_t i = 0; i < kAsciiBlock; ++i) {
        pOut[i] = static_cast<char>(pBlock[i]);
    }
    return pOut + kAsciiBlock;
}

bool IsHighSurrogate(std::uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(std::uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

void AppendUtf16(WString& out, std::uint32_t code) {
    if (code < 0x10000) {
        out.push_back(static_cast<WChar>(code));
    } else {
        code -= 0x10000;
        out.push_back(static_cast<WChar>(0xD800 | (code >> 10)));
        out.push_back(static_cast<WChar>(0xDC00 | (code & 0x3FF)));
    }
}

}  // namespace

std::string Utf8FromWide(WStringView text) {
    std::string out;
    AppendUtf8FromWide(out, text);
    return out;
}

// Written straight into room made first, and the room left over cut off at the end.
void AppendUtf8FromWide(std::string& out, WStringView text) {
    const std::size_t start = out.size();
    out.resize(start + 3 * text.size());
    char* const pStart = out.data() + start;
    out.resize(start + static_cast<std::size_t>(PutUtf8FromWide(pStart, text) - pStart));
}

// One code unit gives at most three bytes (a surrogate pair, two units, gives four). Runs of
// ASCII, most of every song list, go a block at a time.
char* PutUtf8FromWide(char* pOut, WStringView text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        while (text.size() - i >= kAsciiBlock && IsAsciiBlock(text.data() + i)) {
            pOut = PutAsciiBlock(pOut, text.data() + i);
            i += kAsciiBlock;
        }
        if (i == text.size()) {
            break;
        }
        std::uint32_t unit = text[i];
        if (unit < 0x80) {
            *pOut++ = static_cast<char>(unit);
            continue;
        }
        if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            const std::uint32_t low = text[++i];
            unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
        }
        pOut = PutUtf8(pOut, unit);  // a lone surrogate goes out as WTF-8
    }
    return pOut;
}

WString WideFromUtf8(std::string_view text) {
    WString out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<std::uint8_t>(text[i]);
        std::size_t extra = 0;
        std::uint32_t code = 0;
        std::uint32_t minimum = 0;
        if (lead < 0x80) {
            code = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1, code = lead & 0x1Fu, minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2, code = lead & 0x0Fu, minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3, code = lead & 0x07u, minimum = 0x10000;
        } else {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        if (extra > text.size() - i - 1) {
            out.push_back(0xFFFD);
            break;
        }
        bool bValid = true;
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto next = static_cast<std::uint8_t>(text[i + k]);
            bValid = bValid && (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3Fu);
        }
        if (!bValid || code < minimum || code > 0x10FFFF) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        AppendUtf16(out, code);
        i += extra + 1;
    }
    return out;
}

WString WideFromAscii(std::string_view text) { return WString(text.begin(), text.end()); }
