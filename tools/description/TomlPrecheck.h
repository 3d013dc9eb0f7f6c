// A check of the description text before the TOML parser sees it. TOML
// allows non-ASCII text only in strings and comments; elsewhere the parser
// (toml++ 3.3) reaches an unreachable branch of its whitespace test, which is
// undefined behaviour, so such text is refused here first.
#pragma once

#include <cstdint>
#include <string_view>

struct TNonAsciiPlace {
    std::uint32_t Line = 0;  // 0: none found
    std::uint32_t Column = 0;
};

// The first non-ASCII byte outside a string or a comment, or right after a
// backslash in a multi-line basic string (also past the line break of a
// line-ending backslash). A leading byte-order mark is allowed.
TNonAsciiPlace FindMisplacedNonAscii(std::string_view text);
