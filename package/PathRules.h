// How base-directory keywords, sub-folders, file names and the one macro
// become paths and values. Paths are joined, never normalised.
#pragma once

#include <string>
#include <string_view>

struct TBaseFolders {
    std::string InstallDir;
    std::string WindowsDir;
    std::string SystemDir;
};

// The folder a keyword names ("InstallDir", "WindowsDir", "System32Dir",
// compared exactly); empty for any other keyword.
std::string BaseFolderOf(std::string_view baseDir, const TBaseFolders& folders);
// The base folder, then "\" + SubDir when SubDir is not empty.
std::string ResolveDirIn(const TBaseFolders& folders, std::string_view baseDir, std::string_view subDir);
// ResolveDirIn, "\" and FileName (the backslash also when FileName is empty).
std::string ResolvePathIn(const TBaseFolders& folders, std::string_view baseDir, std::string_view subDir,
                          std::string_view fileName);
// Replaces the first "{InstallDir}" only.
std::string ExpandInstallDirMacro(std::string_view value, std::string_view installDir);
// Removes one trailing backslash (a real one, not a double-byte character's second byte).
std::string WithoutTrailingBackslash(std::string_view dir);
