#include "system/SystemRules.h"

TWinVersionClass ClassifyWinVersion(const TVersionFigures& v) {
    if (v.Major >= 5) return v.Minor >= 1 ? wcXP : wc2000;
    if (v.Major <= 3) return wcUnknown;
    if (v.Platform == kPlatformWin32NT) return wcNT4;
    const std::uint32_t build = v.Build & 0xFFFF;  // the high word holds the version here
    if (v.Minor >= 90) return wcMe;
    if (v.Minor >= 10) return build >= 2222 ? wc98SE : wc98;
    return build >= 1000 ? wc95OSR2 : wc95;
}

std::string ApplicationTitleOf(std::string_view exePath) {
    const std::size_t slash = exePath.find_last_of("\\/:");
    std::string_view name = slash == std::string_view::npos ? exePath : exePath.substr(slash + 1);
    name = name.substr(0, name.find('.'));
    std::string title(name);
    for (std::size_t i = 1; i < title.size(); ++i)
        if (title[i] >= 'A' && title[i] <= 'Z') title[i] = static_cast<char>(title[i] - 'A' + 'a');
    return title;
}

bool NoLeadBytes(unsigned char) { return false; }

std::size_t FindLastOf(std::string_view text, std::string_view characters, TLeadByteTest isLeadByte) {
    std::size_t found = std::string_view::npos;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (isLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) {
            ++i;  // the pair's second byte is never a separator
            continue;
        }
        if (characters.find(text[i]) != std::string_view::npos) found = i;
    }
    return found;
}

bool EndsWithBackslash(std::string_view text, TLeadByteTest isLeadByte) {
    return !text.empty() && FindLastOf(text, "\\", isLeadByte) == text.size() - 1;
}
