// The one unit that compiles toml++'s parser for the whole tool.
#define TOML_IMPLEMENTATION
#include "tools/description/Toml.h"
