// The ANSI code pages a package can be written in. Descriptions are UTF-8;
// a package holds 8-bit text in the code page of the Windows it is made for.
// Conversion goes through the system's converter (iconv natively, the Win32
// converter in makesetup.exe), one character at a time, so that both builds
// accept exactly the characters that come back unchanged.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace CodePage {

constexpr unsigned kDefault = 1252;  // Western-language Windows

bool Supported(unsigned codePage);
// "874, 932, 936, 949, 950, 1250 to 1258", for messages.
std::string SupportedList();
// Windows-1252 and so on, for messages.
std::string Name(unsigned codePage);
// True when `byte` starts a two-byte character in `codePage` (932, 936, 949, 950).
bool IsLeadByte(unsigned codePage, unsigned char byte);

struct TEncoded {
    std::string Text;             // the code page's bytes, when every character had one
    std::optional<char32_t> Bad;  // the first character without one
    bool InvalidUtf8 = false;     // the input was not UTF-8 at all
    bool Ok() const { return !Bad && !InvalidUtf8; }
};
TEncoded FromUtf8(unsigned codePage, std::string_view utf8);

// Bytes of `codePage` as UTF-8; a byte or pair without a character becomes
// U+FFFD, so the result is always valid UTF-8.
std::string ToUtf8(unsigned codePage, std::string_view bytes);
// As ToUtf8, but nullopt when any byte or pair has no character (or is NUL).
std::optional<std::string> ToUtf8Exact(unsigned codePage, std::string_view bytes);

// UTF-16 of UTF-8 text, as Windows' wide strings hold it (a version
// resource's texts); nothing when the text is not UTF-8.
std::optional<std::u16string> Utf8ToUtf16(std::string_view utf8);

// "U+00E9" style name of a code point.
std::string CodePointName(char32_t c);

// Backslash-separated parts of `path`, where a backslash byte that is the
// second byte of a double-byte character belongs to that character. Empty
// parts are kept: "a\\b" gives "a", "", "b"; "" gives one empty part.
std::vector<std::string> SplitBackslash(unsigned codePage, std::string_view path);
// Position of the last real backslash, or npos.
std::size_t LastBackslash(unsigned codePage, std::string_view path);

// What the operating system's converter gives for one character or unit;
// implemented per platform. Empty when it has none.
namespace Native {
std::string Encode(unsigned codePage, char32_t c);
std::u32string Decode(unsigned codePage, std::string_view unit);
}  // namespace Native

}  // namespace CodePage
