#include "unattended/Switches.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (Lower(text[i]) != Lower(prefix[i])) return false;
    return true;
}

std::string_view SkipBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    return text;
}

// One argument: up to the next blank outside double quotes; the quotes go.
std::string NextToken(std::string_view& text) {
    std::string token;
    bool quoted = false;
    std::size_t i = 0;
    for (; i < text.size() && (quoted || !IsBlank(text[i])); ++i) {
        if (text[i] == '"')
            quoted = !quoted;
        else
            token += text[i];
    }
    text.remove_prefix(i);
    return token;
}

// The rest of the line after /D=: trailing blanks dropped (Windows drops
// them from a folder name too), and one pair of quotes around it, which no
// Windows path can hold.
std::string FolderValue(std::string_view rest) {
    while (!rest.empty() && IsBlank(rest.back())) rest.remove_suffix(1);
    if (rest.size() >= 2 && rest.front() == '"' && rest.back() == '"') rest = rest.substr(1, rest.size() - 2);
    return std::string(rest);
}

constexpr std::string_view kSilent = "/S", kLog = "/LOG=", kFolder = "/D=";

}  // namespace

std::string_view ArgumentsOf(std::string_view commandLine) {
    // A quoted name ends at its closing quote, an unquoted one at a blank.
    std::size_t i = 0;
    if (!commandLine.empty() && commandLine.front() == '"') {
        const std::size_t close = commandLine.find('"', 1);
        i = close == std::string_view::npos ? commandLine.size() : close + 1;
    } else {
        while (i < commandLine.size() && !IsBlank(commandLine[i])) ++i;
    }
    return SkipBlanks(commandLine.substr(i));
}

std::optional<TSwitches> ParseSwitches(std::string_view arguments, bool withFolder) {
    TSwitches switches;
    bool silent = false;
    for (arguments = SkipBlanks(arguments); !arguments.empty(); arguments = SkipBlanks(arguments)) {
        if (withFolder && StartsWithNoCase(arguments, kFolder)) {
            switches.Folder = FolderValue(arguments.substr(kFolder.size()));
            break;
        }
        const std::string token = NextToken(arguments);
        if (withFolder && StartsWithNoCase(token, kFolder)) {  // quoted whole, as some tools write it
            switches.Folder = FolderValue(token.substr(kFolder.size()) + std::string(arguments));
            break;
        }
        if (token.size() == kSilent.size() && StartsWithNoCase(token, kSilent))
            silent = true;
        else if (token.size() > kLog.size() && StartsWithNoCase(token, kLog))
            switches.LogPath = token.substr(kLog.size());
        else
            return std::nullopt;
    }
    if (!silent) return std::nullopt;
    return switches;
}

std::string SwitchArguments(const TSwitches& switches) {
    std::string arguments(kSilent);
    if (!switches.LogPath.empty()) arguments += " \"" + std::string(kLog) + switches.LogPath + "\"";
    return arguments;
}
