#include "uninstaller/CommandLine.h"

#include <charconv>

#include "system/SystemRules.h"

namespace {

// The next argument, up to a blank outside double quotes (paths on Windows
// never hold a double quote); the quotes go. `line` keeps what follows.
std::optional<std::string> NextToken(std::string_view& line) {
    std::size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i == line.size()) return std::nullopt;
    std::string token;
    bool quoted = false;
    for (; i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t')); ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else
            token += line[i];
    }
    line.remove_prefix(i);
    return token;
}

}  // namespace

std::string WorkingCopyCommandLine(std::string_view copyPath, const TWorkingCopyArguments& arguments) {
    return "\"" + std::string(copyPath) + "\" /original \"" + arguments.Original + "\" /parent " +
           std::to_string(arguments.Parent) + (arguments.Switches.empty() ? "" : " " + arguments.Switches);
}

std::optional<TWorkingCopyArguments> ParseWorkingCopyArguments(std::string_view commandLine) {
    std::optional<std::string> tokens[5];
    for (auto& token : tokens) token = NextToken(commandLine);
    if (!tokens[4] || tokens[1] != "/original" || tokens[3] != "/parent" || tokens[2]->empty()) return std::nullopt;
    TWorkingCopyArguments arguments;
    arguments.Original = *tokens[2];
    const std::string& handle = *tokens[4];
    const auto [end, error] = std::from_chars(handle.data(), handle.data() + handle.size(), arguments.Parent);
    if (error != std::errc() || end != handle.data() + handle.size()) return std::nullopt;
    while (!commandLine.empty() && (commandLine.front() == ' ' || commandLine.front() == '\t')) commandLine.remove_prefix(1);
    arguments.Switches = std::string(commandLine);
    return arguments;
}

std::string FolderOf(std::string_view path) {
    std::size_t cut = std::string_view::npos;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (IsAnsiLeadByte(static_cast<unsigned char>(path[i])) && i + 1 < path.size())
            ++i;
        else if (path[i] == '\\' || path[i] == '/')
            cut = i;
    }
    return cut == std::string_view::npos ? std::string() : std::string(path.substr(0, cut));
}
