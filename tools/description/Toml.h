// toml++ as makesetup uses it: errors as exceptions, and the parser compiled
// once (in Toml.cpp) instead of in every unit that reads a description.
#pragma once

#define TOML_HEADER_ONLY 0
#define TOML_EXCEPTIONS 1
// The library's internal assertions stay off in every build, as they are in
// the release builds that ship: a table header such as [[)x]] trips one of
// them, although the parser goes on to report that line as an error.
#define TOML_ASSERT(expr) static_cast<void>(0)
#include <toml++/toml.h>
