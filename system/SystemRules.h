// The parts of the system helpers that need no operating system: version
// classification, the application title and double-byte-aware path searches.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

enum TWinVersionClass : std::uint8_t {
    wcUnknown = 0,
    wcNT4 = 1,
    wc95 = 2,
    wc95OSR2 = 3,
    wc98 = 4,
    wc98SE = 5,
    wc2000 = 6,
    wcMe = 7,
    wcXP = 8,
};

// The version figures of GetVersionExA; all 0 when that call failed.
struct TVersionFigures {
    std::uint32_t Major = 0;
    std::uint32_t Minor = 0;
    std::uint32_t Build = 0;
    std::uint32_t Platform = 0;
};

inline constexpr std::uint32_t kPlatformWin32NT = 2;

TWinVersionClass ClassifyWinVersion(const TVersionFigures& figures);

// The application title of an executable: its file name without folder, cut
// at the first ".", every character after the first in lower case.
std::string ApplicationTitleOf(std::string_view exePath);

// Tells whether a byte starts a double-byte character in the code page.
using TLeadByteTest = bool (*)(unsigned char);
// A test for single-byte code pages: no byte leads a pair.
bool NoLeadBytes(unsigned char);

// The test of the system's ANSI code page (IsDBCSLeadByte on Windows; the
// native build treats text as single-byte).
bool IsAnsiLeadByte(unsigned char byte);

// Index of the last character of `text` that is one of `characters`, skipping
// second bytes of double-byte characters; npos when there is none.
std::size_t FindLastOf(std::string_view text, std::string_view characters, TLeadByteTest isLeadByte);
// True when the last character (not a trailing byte) is a backslash.
bool EndsWithBackslash(std::string_view text, TLeadByteTest isLeadByte);
