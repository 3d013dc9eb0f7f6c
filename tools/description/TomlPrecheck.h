// A check of the description text before the TOML parser sees it. TOML
// allows non-ASCII text only in strings and comments; elsewhere the parser
// (toml++ 3.3) reaches an unreachable branch of its whitespace test, which is
// undefined behaviour, so such text is refused here first. So is a key of
// very many dotted parts: the parser nests a table per part by recursion, and
// some hundred thousand parts overflow its stack.
#pragma once

#include <cstdint>
#include <string_view>

// Far more than any description needs, far less than the parser's stack takes.
inline constexpr std::uint32_t kMaxKeyParts = 64;

struct TTextProblem {
    enum class EKind { None, NonAscii, LongKey };
    EKind Kind = EKind::None;
    std::uint32_t Line = 0;  // 0: none found
    std::uint32_t Column = 0;
};

// The first of: a non-ASCII byte outside a string or a comment, or right
// after a backslash in a multi-line basic string (also past the line break of
// a line-ending backslash); the dot that gives a key or a table header more
// than kMaxKeyParts parts. A leading byte-order mark is allowed.
TTextProblem PrecheckToml(std::string_view text);

// True for text that starts like UTF-16: a byte-order mark of either order,
// or a NUL byte beside the first character.
bool LooksLikeUtf16(std::string_view text);
