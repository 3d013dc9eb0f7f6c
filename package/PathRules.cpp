#include "package/PathRules.h"

#include "package/RecordHead.h"
#include "system/SystemRules.h"

std::string BaseFolderOf(std::string_view baseDir, const TBaseFolders& folders) {
    if (baseDir == RecordHead::kInstallDir) return folders.InstallDir;
    if (baseDir == RecordHead::kWindowsDir) return folders.WindowsDir;
    if (baseDir == RecordHead::kSystem32Dir) return folders.SystemDir;
    return {};
}

std::string ResolveDirIn(const TBaseFolders& folders, std::string_view baseDir, std::string_view subDir) {
    std::string dir = BaseFolderOf(baseDir, folders);
    if (!subDir.empty()) {
        dir += '\\';
        dir += subDir;
    }
    return dir;
}

std::string ResolvePathIn(const TBaseFolders& folders, std::string_view baseDir, std::string_view subDir,
                          std::string_view fileName) {
    return ResolveDirIn(folders, baseDir, subDir) + '\\' + std::string(fileName);
}

std::string ExpandInstallDirMacro(std::string_view value, std::string_view installDir) {
    std::string result(value);
    const std::size_t at = result.find(RecordHead::kInstallDirMacro);
    if (at != std::string::npos) result.replace(at, RecordHead::kInstallDirMacro.size(), installDir);
    return result;
}

std::string WithoutTrailingBackslash(std::string_view dir) {
    if (EndsWithBackslash(dir, IsAnsiLeadByte)) dir.remove_suffix(1);
    return std::string(dir);
}
