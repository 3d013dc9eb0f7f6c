// Source patterns of package descriptions: "*" and "?" within one name,
// "**" for any number of folders. "/" and "\" both separate folders.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace Glob {

bool HasWildcards(std::string_view pattern);
// True when `name` matches one pattern segment ("*" and "?", case-sensitive).
bool MatchName(std::string_view segment, std::string_view name);

struct TMatch {
    std::string Path;      // the file on this machine
    std::string Relative;  // below the pattern's fixed leading folders, "/"-separated
};

struct TExpansion {
    std::vector<TMatch> Matches;  // sorted by Relative, byte order
    std::string Problem;          // empty unless the walk had to stop
    std::vector<std::string> Warnings;  // folder links not followed
};

// Every regular file that `pattern` matches, the pattern taken relative to
// `baseFolder` unless it is absolute. A folder link that leads back to a
// folder the walk is inside is not followed (it would repeat that folder's
// files, or never end), with a warning.
TExpansion Expand(const std::string& baseFolder, std::string_view pattern);

// The pattern's path with `baseFolder` applied, also for plain paths.
std::string Anchor(const std::string& baseFolder, std::string_view path);

}  // namespace Glob
