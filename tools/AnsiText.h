// Package texts are 8-bit text in the ANSI code page of the target system;
// descriptions are UTF-8. The tool writes Windows-1252, the code page of the
// Western-language Windows the setup program is made for.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace AnsiText {

struct TConversion {
    std::string Text;             // the Windows-1252 bytes, when every character had one
    std::optional<char32_t> Bad;  // the first character without one
    bool InvalidUtf8 = false;     // the input was not UTF-8 at all
};

TConversion FromUtf8(std::string_view utf8);
std::string ToUtf8(std::string_view ansi);
// UTF-16 of UTF-8 text, as Windows' wide strings hold it; nothing when the
// text is not UTF-8.
std::optional<std::u16string> ToUtf16(std::string_view utf8);
// "U+00E9" style name of a code point.
std::string CodePointName(char32_t c);

}  // namespace AnsiText
