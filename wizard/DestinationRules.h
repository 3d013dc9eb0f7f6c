// The destination page's check of the folder box, before the install folder
// is handed to the package object.
#pragma once

#include <string_view>

// True for an absolute folder: a drive letter, a colon and a backslash
// (C:\...), or a UNC share with a server and a share name (\\server\share...).
// Empty, blank, relative and drive-relative texts (C:folder) are refused.
bool IsUsableInstallFolder(std::string_view folder);

// The message shown when the destination page's Next refuses the folder box.
inline constexpr char kUnusableFolderMessage[] =
    "Please enter the full path of the destination folder, beginning with a drive letter "
    "(for example C:\\Program Files\\Application) or with a network share "
    "(\\\\server\\share\\folder).";

// True when every character has a code up to 32 (blanks and control
// characters), so that nothing is left once the text is trimmed.
bool IsBlank(std::string_view text);
