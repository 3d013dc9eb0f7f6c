// What the setup program and the uninstaller say to the Program Manager over
// DDE, and what makesetup checks a package's names against: the service and
// topic, and the command macros. A macro's arguments are not quoted or
// escaped, so a name holding one of the syntax characters breaks the command
// it goes into. Portable: makesetup includes it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ProgManCommands {

inline constexpr char kService[] = "ProgMan";
inline constexpr char kTopic[] = "ProgMan";

// What ends an argument, a command or a macro.
inline constexpr std::string_view kSyntaxChars = ",()[]";

// The group `name` (its file named alike), then opened for AddItem.
inline std::string CreateGroup(const std::string& name) { return "[CreateGroup(" + name + "," + name + ")]"; }
// An item in the group last created.
inline std::string AddItem(const std::string& commandLine, const std::string& caption) {
    return "[AddItem(" + commandLine + "," + caption + ")]";
}
inline std::string DeleteGroup(const std::string& name) { return "[DeleteGroup(" + name + ")]"; }

// The first syntax character in `text`; nullopt when there is none.
inline std::optional<char> SyntaxChar(std::string_view text) {
    const std::size_t at = text.find_first_of(kSyntaxChars);
    if (at == std::string_view::npos) return std::nullopt;
    return text[at];
}

}  // namespace ProgManCommands
