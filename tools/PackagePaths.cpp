#include "tools/PackagePaths.h"

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

std::pair<std::string, std::string> SplitLast(std::string_view path) {
    const std::size_t at = path.rfind('\\');
    if (at == std::string_view::npos) return {std::string(), std::string(path)};
    return {std::string(path.substr(0, at)), std::string(path.substr(at + 1))};
}

std::string Join(std::string_view a, std::string_view b) {
    if (a.empty()) return std::string(b);
    if (b.empty()) return std::string(a);
    return std::string(a) + '\\' + std::string(b);
}

std::vector<std::string> SelfAndAncestors(std::string_view path) {
    std::vector<std::string> list{std::string()};
    for (std::size_t at = 0; at <= path.size() && !path.empty(); ++at)
        if (at == path.size() || path[at] == '\\') list.emplace_back(path.substr(0, at));
    return list;
}

std::string Folded(std::string_view text) {
    std::string folded(text);
    std::transform(folded.begin(), folded.end(), folded.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return folded;
}

bool SameName(std::string_view a, std::string_view b) { return Folded(a) == Folded(b); }

std::optional<char> DdeSyntaxChar(std::string_view text) {
    const std::size_t at = text.find_first_of(",()[]");
    if (at == std::string_view::npos) return std::nullopt;
    return text[at];
}

}  // namespace PackagePaths
