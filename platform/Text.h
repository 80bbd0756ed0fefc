// Wide text as the program keeps it: UTF-16 code units on every platform, as Windows does.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// One UTF-16 code unit. Windows' wchar_t has the same size and encoding; the Win32 code
// converts at the API boundary only.
using WChar = char16_t;
using WString = std::u16string;
using WStringView = std::u16string_view;

// Paths and cell texts live in buffers of this many characters, the terminating zero included.
inline constexpr std::size_t kMaxPath = 260;

// Length of a zero-terminated wide text.
std::size_t WLength(const WChar* text);

// Copies at most capacity - 1 characters of source and terminates; returns false when source
// did not fit (the copy then holds its first capacity - 1 characters). capacity must be > 0.
bool WCopyBounded(WChar* target, std::size_t capacity, WStringView source);

// Appends source to the zero-terminated text in target; false (target unchanged) when the
// result would not fit in capacity characters.
bool WAppendBounded(WChar* target, std::size_t capacity, WStringView source);

// UTF-8 <-> UTF-16. Invalid input becomes U+FFFD; lone surrogates are encoded as WTF-8 so
// that a name read from a file system comes back unchanged.
std::string Utf8FromWide(WStringView text);
WString WideFromUtf8(std::string_view text);
// Utf8FromWide appended to out, for callers that build long texts in one buffer.
void AppendUtf8FromWide(std::string& out, WStringView text);
// Utf8FromWide written at pOut, which has room for three bytes per code unit of text; returns
// the position after the last byte written.
char* PutUtf8FromWide(char* pOut, WStringView text);

// ASCII-only text into wide text, for the program's own fixed strings and numbers.
WString WideFromAscii(std::string_view text);
