#include "wizard/DestinationRules.h"

namespace {

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Length of a UNC path component: up to the next backslash or the end.
std::size_t ComponentLength(std::string_view text) {
    const std::size_t end = text.find('\\');
    return end == std::string_view::npos ? text.size() : end;
}

// A component that is empty or only blanks names no server or share.
bool IsName(std::string_view component) {
    return component.find_first_not_of(' ') != std::string_view::npos;
}

}  // namespace

bool IsUsableInstallFolder(std::string_view folder) {
    if (folder.size() >= 3 && IsDriveLetter(folder[0]) && folder[1] == ':' && folder[2] == '\\') return true;
    if (folder.size() < 2 || folder[0] != '\\' || folder[1] != '\\') return false;
    const std::string_view rest = folder.substr(2);
    const std::size_t server = ComponentLength(rest);
    if (!IsName(rest.substr(0, server)) || server == rest.size()) return false;
    const std::string_view share = rest.substr(server + 1);
    return IsName(share.substr(0, ComponentLength(share)));
}

bool IsBlank(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) > 32) return false;
    return true;
}
