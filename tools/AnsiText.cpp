#include "tools/AnsiText.h"

#include <array>
#include <cstdio>

namespace AnsiText {

namespace {

// Windows-1252 bytes 0x80..0x9F; 0 marks the five bytes without a character.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

std::optional<char> ByteOf(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
    for (std::size_t i = 0; i < kHigh.size(); ++i)
        if (kHigh[i] != 0 && kHigh[i] == c) return static_cast<char>(0x80 + i);
    return std::nullopt;
}

// Decodes one UTF-8 sequence at `at`; nullopt when malformed.
std::optional<char32_t> Decode(std::string_view s, std::size_t& at) {
    const auto lead = static_cast<unsigned char>(s[at]);
    const int extra = lead < 0x80 ? 0 : (lead & 0xE0) == 0xC0 ? 1 : (lead & 0xF0) == 0xE0 ? 2 : (lead & 0xF8) == 0xF0 ? 3 : -1;
    if (extra < 0 || s.size() - at <= static_cast<std::size_t>(extra)) return std::nullopt;
    char32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
    for (int i = 1; i <= extra; ++i) {
        const auto next = static_cast<unsigned char>(s[at + i]);
        if ((next & 0xC0) != 0x80) return std::nullopt;
        c = c << 6 | (next & 0x3F);
    }
    static constexpr std::array<char32_t, 4> kMinimum = {0, 0x80, 0x800, 0x10000};
    if (c < kMinimum[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
    at += extra + 1;
    return c;
}

void Encode(char32_t c, std::string& out) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

TConversion FromUtf8(std::string_view utf8) {
    TConversion result;
    std::size_t at = 0;
    while (at < utf8.size()) {
        const auto c = Decode(utf8, at);
        if (!c) {
            result.InvalidUtf8 = true;
            return result;
        }
        const auto byte = ByteOf(*c);
        if (!byte) {
            result.Bad = *c;
            return result;
        }
        result.Text += *byte;
    }
    return result;
}

std::string ToUtf8(std::string_view ansi) {
    std::string out;
    for (const char ch : ansi) {
        const auto b = static_cast<unsigned char>(ch);
        // Bytes without a character stay visible as the replacement character.
        const char32_t c = b >= 0x80 && b < 0xA0 ? (kHigh[b - 0x80] ? kHigh[b - 0x80] : 0xFFFD) : b;
        Encode(c, out);
    }
    return out;
}

std::optional<std::u16string> ToUtf16(std::string_view utf8) {
    std::u16string out;
    for (std::size_t at = 0; at < utf8.size();) {
        const auto c = Decode(utf8, at);
        if (!c) return std::nullopt;
        if (*c < 0x10000) {
            out += static_cast<char16_t>(*c);
        } else {
            out += static_cast<char16_t>(0xD800 + ((*c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((*c - 0x10000) & 0x3FF));
        }
    }
    return out;
}

std::string CodePointName(char32_t c) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "U+%04X", static_cast<unsigned>(c));
    return buffer;
}

}  // namespace AnsiText
