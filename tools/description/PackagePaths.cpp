#include "tools/description/PackagePaths.h"

#include <algorithm>

namespace PackagePaths {

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// Characters Windows refuses in file and folder names.
std::string BadCharacter(std::string_view part) {
    for (const char c : part) {
        if (static_cast<unsigned char>(c) < 0x20) return "a control character";
        if (std::string_view("<>:\"|?*").find(c) != std::string_view::npos) return std::string("\"") + c + "\"";
    }
    return {};
}

}  // namespace

TSubPath Normalize(std::string_view text) {
    TSubPath result;
    std::size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && IsSeparator(text[at])) ++at;
        std::size_t end = at;
        while (end < text.size() && !IsSeparator(text[end])) ++end;
        if (end == at) break;
        const std::string_view part = text.substr(at, end - at);
        if (part == "." || part == "..")
            result.Problem = "\"" + std::string(part) + "\" is not allowed: paths stay below their base folder";
        else if (const std::string bad = BadCharacter(part); !bad.empty())
            result.Problem = bad + " cannot appear in a Windows file or folder name";
        if (!result.Problem.empty()) return result;
        if (!result.Path.empty()) result.Path += '\\';
        result.Path += part;
        at = end;
    }
    return result;
}

std::pair<std::string, std::string> SplitLast(std::string_view path, unsigned codePage) {
    const std::size_t at = CodePage::LastBackslash(codePage, path);
    if (at == std::string_view::npos) return {std::string(), std::string(path)};
    return {std::string(path.substr(0, at)), std::string(path.substr(at + 1))};
}

std::string Join(std::string_view a, std::string_view b) {
    if (a.empty()) return std::string(b);
    if (b.empty()) return std::string(a);
    return std::string(a) + '\\' + std::string(b);
}

std::vector<std::string> SelfAndAncestors(std::string_view path, unsigned codePage) {
    std::vector<std::string> list{std::string()};
    if (path.empty()) return list;
    std::string level;
    for (const std::string& part : CodePage::SplitBackslash(codePage, path)) {
        if (list.size() > 1) level += '\\';
        level += part;
        list.push_back(level);
    }
    return list;
}

std::string Folded(std::string_view text, unsigned codePage) {
    std::string folded(text);
    for (std::size_t at = 0; at < folded.size(); ++at) {
        const char c = folded[at];
        if (CodePage::IsLeadByte(codePage, static_cast<unsigned char>(c)))
            ++at;  // the second byte is part of the character
        else if (c >= 'A' && c <= 'Z')
            folded[at] = static_cast<char>(c - 'A' + 'a');
    }
    return folded;
}

bool SameName(std::string_view a, std::string_view b, unsigned codePage) {
    return Folded(a, codePage) == Folded(b, codePage);
}

}  // namespace PackagePaths
