// The system's own converter as the code-page converter. Best-fit mappings
// are off, so a character without its own byte is refused rather than
// written as a look-alike (a fullwidth backslash must not become 0x5C).
#include <windows.h>

#include "tools/platform/CodePage.h"

namespace CodePage::Native {

std::string Encode(unsigned codePage, char32_t c) {
    wchar_t wide[2];
    int wideLength = 1;
    if (c >= 0x10000) {
        wide[0] = static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
        wide[1] = static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        wideLength = 2;
    } else {
        wide[0] = static_cast<wchar_t>(c);
    }
    char bytes[8];
    BOOL usedDefault = FALSE;
    const int length = ::WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide, wideLength, bytes, sizeof bytes,
                                             nullptr, &usedDefault);
    if (length <= 0 || usedDefault) return {};
    return std::string(bytes, static_cast<std::size_t>(length));
}

std::u32string Decode(unsigned codePage, std::string_view unit) {
    wchar_t wide[8];
    const int length = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, unit.data(), static_cast<int>(unit.size()),
                                             wide, 8);
    if (length <= 0) return {};
    std::u32string result;
    for (int i = 0; i < length; ++i) {
        const char32_t w = wide[i];
        if (w >= 0xD800 && w < 0xDC00 && i + 1 < length) {
            result += 0x10000 + ((w - 0xD800) << 10) + (static_cast<char32_t>(wide[++i]) - 0xDC00);
        } else {
            result += w;
        }
    }
    return result;
}

}  // namespace CodePage::Native
