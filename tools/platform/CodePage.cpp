#include "tools/platform/CodePage.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace CodePage {

namespace {

constexpr std::array<unsigned, 14> kPages = {874, 932, 936, 949, 950, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258};
constexpr char32_t kReplacement = 0xFFFD;


// Decodes one UTF-8 sequence at `at`; nullopt when malformed.
std::optional<char32_t> DecodeUtf8(std::string_view s, std::size_t& at) {
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

void EncodeUtf8(char32_t c, std::string& out) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The bytes of one character, accepted only when they are one unit of the
// code page (one byte, or a lead byte and one more) and decode back to the
// same character: converters map some characters one way only (Shift-JIS
// turns U+00A5 into the backslash byte, Vietnamese splits accented letters
// into two characters), and those bytes would mean something else on the
// target system.
std::optional<std::string> EncodeChecked(unsigned codePage, char32_t c) {
    if (c < 0x80) return std::string(1, static_cast<char>(c));
    if (c < 0xA0) return std::nullopt;  // C1 controls: no code page here gives them a printable byte
    std::string bytes = Native::Encode(codePage, c);
    const bool lead = !bytes.empty() && IsLeadByte(codePage, static_cast<unsigned char>(bytes[0]));
    if (bytes.size() != (lead ? 2u : 1u)) return std::nullopt;
    if (!lead && static_cast<unsigned char>(bytes[0]) < 0x80) return std::nullopt;  // no ASCII stand-ins
    if (Native::Decode(codePage, bytes) != std::u32string(1, c)) return std::nullopt;
    return bytes;
}

// One unit's character; nullopt when it has none.
std::optional<char32_t> DecodeUnit(unsigned codePage, std::string_view unit) {
    if (unit.size() == 1 && static_cast<unsigned char>(unit[0]) < 0x80) {
        if (unit[0] == '\0') return std::nullopt;
        return static_cast<char32_t>(unit[0]);
    }
    const std::u32string decoded = Native::Decode(codePage, unit);
    if (decoded.size() != 1 || (decoded[0] >= 0x80 && decoded[0] < 0xA0) || decoded[0] == kReplacement)
        return std::nullopt;
    return decoded[0];
}

// Calls `unit` for each character's bytes, DBCS-aware.
template <typename F>
void ForEachUnit(unsigned codePage, std::string_view bytes, F unit) {
    for (std::size_t at = 0; at < bytes.size();) {
        const bool lead = IsLeadByte(codePage, static_cast<unsigned char>(bytes[at])) && at + 1 < bytes.size();
        const std::size_t length = lead ? 2 : 1;
        unit(bytes.substr(at, length), at);
        at += length;
    }
}

}  // namespace

bool Supported(unsigned codePage) { return std::find(kPages.begin(), kPages.end(), codePage) != kPages.end(); }

std::string SupportedList() { return "874, 932, 936, 949, 950, 1250 to 1258"; }

std::string Name(unsigned codePage) { return "Windows-" + std::to_string(codePage); }

bool IsLeadByte(unsigned codePage, unsigned char byte) {
    switch (codePage) {
        case 932:
            return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
        case 936:
        case 949:
        case 950:
            return byte >= 0x81 && byte <= 0xFE;
        default:
            return false;
    }
}

TEncoded FromUtf8(unsigned codePage, std::string_view utf8) {
    TEncoded result;
    for (std::size_t at = 0; at < utf8.size();) {
        const auto c = DecodeUtf8(utf8, at);
        if (!c) {
            result.InvalidUtf8 = true;
            return result;
        }
        const auto bytes = EncodeChecked(codePage, *c);
        if (!bytes) {
            result.Bad = *c;
            return result;
        }
        result.Text += *bytes;
    }
    return result;
}

std::string ToUtf8(unsigned codePage, std::string_view bytes) {
    std::string out;
    ForEachUnit(codePage, bytes, [&](std::string_view unit, std::size_t) {
        if (unit == std::string_view("\0", 1)) return EncodeUtf8(0, out);
        EncodeUtf8(DecodeUnit(codePage, unit).value_or(kReplacement), out);
    });
    return out;
}

std::optional<std::string> ToUtf8Exact(unsigned codePage, std::string_view bytes) {
    std::string out;
    bool ok = true;
    ForEachUnit(codePage, bytes, [&](std::string_view unit, std::size_t) {
        const auto c = DecodeUnit(codePage, unit);
        ok = ok && c.has_value();
        if (c) EncodeUtf8(*c, out);
    });
    if (!ok) return std::nullopt;
    return out;
}

std::optional<std::u16string> Utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    for (std::size_t at = 0; at < utf8.size();) {
        const auto c = DecodeUtf8(utf8, at);
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

std::vector<std::string> SplitBackslash(unsigned codePage, std::string_view path) {
    std::vector<std::string> parts(1);
    ForEachUnit(codePage, path, [&](std::string_view unit, std::size_t) {
        if (unit == "\\")
            parts.emplace_back();
        else
            parts.back() += unit;
    });
    return parts;
}

std::size_t LastBackslash(unsigned codePage, std::string_view path) {
    std::size_t last = std::string_view::npos;
    ForEachUnit(codePage, path, [&](std::string_view unit, std::size_t at) {
        if (unit == "\\") last = at;
    });
    return last;
}

}  // namespace CodePage
