// Texts and numbers as tag containers store them, turned into the program's UTF-16 texts.
#pragma once

#include <cstdint>
#include <span>

#include "platform/Text.h"

namespace tags {

using ByteSpan = std::span<const std::uint8_t>;

// ISO-8859-1: each byte is the code point of the same number.
WString WideFromLatin1(ByteSpan bytes);
// UTF-16 code units assembled from byte pairs; an odd last byte is dropped.
WString WideFromUtf16(ByteSpan bytes, bool bBigEndian);
// 8-bit text of unknown encoding (RIFF INFO): UTF-8 when it is valid UTF-8, else ISO-8859-1.
WString WideFrom8Bit(ByteSpan bytes);

// bytes up to the first zero byte.
ByteSpan UpToNul(ByteSpan bytes);
// bytes up to the first zero code unit (a pair of zero bytes at an even offset).
ByteSpan UpToNul16(ByteSpan bytes);

// The number the text starts with, of at most maxDigits decimal digits ("3/12" gives 3,
// "2004-05-01" with 4 digits gives 2004); 0 when it starts with no digit.
std::uint32_t LeadingNumber(WStringView text, std::size_t maxDigits = 9);

// text without the spaces at either end.
WString TrimSpaces(WStringView text);

// The name of an ID3v1 genre number (0 Blues ... 79 Hard Rock, the original list); empty for
// any other number, among them 255, "no genre".
WString GenreName(std::uint32_t index);

}  // namespace tags
