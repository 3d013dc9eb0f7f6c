// toml++ as makesetup uses it: errors as exceptions, and the parser compiled
// once (in Toml.cpp) instead of in every unit that reads a description.
#pragma once

#define TOML_HEADER_ONLY 0
#define TOML_EXCEPTIONS 1
#include <toml++/toml.h>
