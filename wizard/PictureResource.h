// The wizard's pictures are stored in the program compressed, as data
// resources, and expanded at start-up into the 4-bit bitmaps they are.
#pragma once

#include <string_view>

#include "system/Handles.h"

// The bitmap (a DIB section with the picture's own palette) of the compressed
// BMP file stored as the data resource `name`. Raises EOSError when there is
// no such resource or no bitmap can be made, EReadError when it does not
// decode to a BMP file.
UniqueGdiObject LoadPictureResource(std::string_view name);
