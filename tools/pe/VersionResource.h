// The version resource (RT_VERSION) of a setup executable: the fixed file and
// product versions, and the texts Explorer shows on the Details tab.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace VersionResource {

struct TVersion {
    std::array<std::uint16_t, 4> Parts{};  // major, minor, build, revision
    std::string Text;                      // as written, for the version strings
};

// "4.2.17" and every other form of one to four numbers from 0 to 65535
// separated by single dots; nothing, with the reason in `problem`, otherwise.
std::optional<TVersion> ParseVersion(std::string_view text, std::string& problem);

struct TVersionInfo {
    std::optional<TVersion> Version;  // none: the fixed versions are 0.0.0.0
    // Name and text of each string, UTF-16; empty texts are left out.
    std::vector<std::pair<std::u16string, std::u16string>> Strings;
    std::uint16_t Language = 0x0409;  // U.S. English
    std::uint16_t CodePage = 1200;    // the strings are Unicode
};

// The VS_VERSIONINFO block: fixed file information, one string table for
// the language and code page, and the Translation value naming them.
std::vector<std::uint8_t> Build(const TVersionInfo& info);

}  // namespace VersionResource
