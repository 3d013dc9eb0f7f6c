// Path rules of package descriptions: sub-folders and target names as the
// setup program will join them (backslashes, no normalising on its side).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tools/platform/CodePage.h"

// Package texts are bytes of the package's code page: in a double-byte code
// page the second byte of a character can be 0x5C, which is no separator,
// or a letter, which is not folded. UTF-8 text behaves as a single-byte
// code page does here.
namespace PackagePaths {

// A sub-folder or target path below a base folder, written with "/" or "\":
// separators become single backslashes, none leading or trailing. Returns
// the reason when the path would leave its base or cannot name a file.
struct TSubPath {
    std::string Path;
    std::string Problem;  // empty when the path is usable
};
TSubPath Normalize(std::string_view text);

// "a\b\c" -> {"a\b", "c"}; "c" -> {"", "c"}.
std::pair<std::string, std::string> SplitLast(std::string_view path, unsigned codePage = CodePage::kDefault);
// Joins two backslash paths, either of which may be empty.
std::string Join(std::string_view a, std::string_view b);
// "", "a", "a\b" for "a\b".
std::vector<std::string> SelfAndAncestors(std::string_view path, unsigned codePage = CodePage::kDefault);
// ASCII case folding, as Windows compares file names.
std::string Folded(std::string_view text, unsigned codePage = CodePage::kDefault);
bool SameName(std::string_view a, std::string_view b, unsigned codePage = CodePage::kDefault);

}  // namespace PackagePaths
