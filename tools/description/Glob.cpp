#include "tools/description/Glob.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "tools/platform/Platform.h"

namespace Glob {

namespace {

constexpr int kMaxDepth = 64;  // deeper than this is a link loop

std::vector<std::string> Segments(std::string_view pattern) {
    std::vector<std::string> parts;
    std::string part;
    for (const char c : pattern) {
        if (c == '/' || c == '\\') {
            if (!part.empty()) parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) parts.push_back(part);
    return parts;
}

bool IsAbsolute(std::string_view path) {
    return (!path.empty() && (path[0] == '/' || path[0] == '\\')) || (path.size() >= 2 && path[1] == ':');
}

std::string JoinPath(const std::string& a, const std::string& b) {
    if (a.empty() || a == ".") return b;
    return a.back() == '/' || a.back() == '\\' ? a + b : a + "/" + b;
}

class TWalker {
public:
    TWalker(const std::vector<std::string>& segments, TExpansion& out) : segments_(segments), out_(out) {}

    void Walk(const std::string& folder, std::size_t index, const std::string& relative, int depth) {
        // A "**" walks its folder again with the next segment: that is no way back.
        const bool again = !path_.empty() && path_.back().second == folder;
        const std::optional<Platform::TFileId> id = again ? std::nullopt : Platform::Identify(folder);
        for (const auto& [above, abovePath] : path_)
            if (id && *id == above) {
                out_.Warnings.push_back("folder \"" + folder + "\" leads back to \"" + abovePath +
                                        "\", which the pattern is already inside; it is not followed");
                return;
            }
        const bool entered = id.has_value();
        if (entered) path_.emplace_back(*id, folder);
        WalkBelow(folder, index, relative, depth);
        if (entered) path_.pop_back();
    }

private:
    void WalkBelow(const std::string& folder, std::size_t index, const std::string& relative, int depth) {
        if (depth > kMaxDepth) {
            out_.Problem = "the pattern reaches more than " + std::to_string(kMaxDepth) +
                           " folders deep (a folder link that loops?)";
            return;
        }
        const std::string& segment = segments_[index];
        const bool last = index + 1 == segments_.size();
        if (segment == "**") {
            if (last) Files(folder, "*", relative);  // a trailing "**" takes every file below
            else Walk(folder, index + 1, relative, depth);
            for (const auto& entry : Sorted(folder))
                if (entry.Kind == Platform::EntryKind::Folder)
                    Walk(JoinPath(folder, entry.Name), index, JoinPath(relative, entry.Name), depth + 1);
            return;
        }
        if (last) {
            Files(folder, segment, relative);
            return;
        }
        for (const auto& entry : Sorted(folder))
            if (entry.Kind == Platform::EntryKind::Folder && MatchName(segment, entry.Name))
                Walk(JoinPath(folder, entry.Name), index + 1, JoinPath(relative, entry.Name), depth + 1);
    }

    static std::vector<Platform::TDirEntry> Sorted(const std::string& folder) {
        auto entries = Platform::ListFolder(folder);
        std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.Name < b.Name; });
        return entries;
    }

    void Files(const std::string& folder, const std::string& segment, const std::string& relative) {
        for (const auto& entry : Sorted(folder))
            if (entry.Kind == Platform::EntryKind::File && MatchName(segment, entry.Name))
                out_.Matches.push_back({JoinPath(folder, entry.Name), JoinPath(relative, entry.Name)});
    }

    const std::vector<std::string>& segments_;
    TExpansion& out_;
    std::vector<std::pair<Platform::TFileId, std::string>> path_;  // the folders the walk is inside
};

}  // namespace

bool HasWildcards(std::string_view pattern) { return pattern.find_first_of("*?") != std::string_view::npos; }

bool MatchName(std::string_view segment, std::string_view name) {
    // Iterative wildcard match with one backtracking point for the last "*".
    std::size_t s = 0, n = 0, star = std::string_view::npos, resume = 0;
    while (n < name.size()) {
        if (s < segment.size() && (segment[s] == '?' || segment[s] == name[n])) {
            ++s;
            ++n;
        } else if (s < segment.size() && segment[s] == '*') {
            star = s++;
            resume = n;
        } else if (star != std::string_view::npos) {
            s = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (s < segment.size() && segment[s] == '*') ++s;
    return s == segment.size();
}

std::string Anchor(const std::string& baseFolder, std::string_view path) {
    return IsAbsolute(path) ? std::string(path) : JoinPath(baseFolder, std::string(path));
}

TExpansion Expand(const std::string& baseFolder, std::string_view pattern) {
    TExpansion result;
    const std::vector<std::string> segments = Segments(pattern);
    std::size_t fixed = 0;
    while (fixed + 1 < segments.size() && !HasWildcards(segments[fixed])) ++fixed;
    std::string root = IsAbsolute(pattern) ? (pattern[0] == '/' || pattern[0] == '\\' ? "/" : "") : baseFolder;
    for (std::size_t i = 0; i < fixed; ++i) root = JoinPath(root, segments[i]);
    if (segments.empty()) return result;
    const std::vector<std::string> rest(segments.begin() + static_cast<std::ptrdiff_t>(fixed), segments.end());
    TWalker(rest, result).Walk(root.empty() ? "." : root, 0, "", 0);
    std::sort(result.Matches.begin(), result.Matches.end(),
              [](const TMatch& a, const TMatch& b) { return a.Relative < b.Relative; });
    result.Matches.erase(std::unique(result.Matches.begin(), result.Matches.end(),
                                     [](const TMatch& a, const TMatch& b) { return a.Relative == b.Relative; }),
                         result.Matches.end());
    return result;
}

}  // namespace Glob
