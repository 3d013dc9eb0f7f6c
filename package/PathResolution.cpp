// Base-directory keywords resolved against the install folder and the
// system's own folders.
#include "package/PathRules.h"
#include "package/ZodiDuradad.h"
#include "system/uCustomModule.h"

namespace {
TBaseFolders BaseFolders(const std::string& installDir, const std::string& baseDir) {
    TBaseFolders folders{installDir, {}, {}};
    // Only the folder the keyword names is asked of the system.
    if (baseDir == RecordHead::kWindowsDir) folders.WindowsDir = GetWindowsDir();
    if (baseDir == RecordHead::kSystem32Dir) folders.SystemDir = GetSystemDir();
    return folders;
}
}  // namespace

std::string TVazuravAzoz::ResolveDir(const std::string& BaseDir, const std::string& SubDir) const {
    return ResolveDirIn(BaseFolders(InstallDir, BaseDir), BaseDir, SubDir);
}

std::string TVazuravAzoz::ResolvePath(const std::string& BaseDir, const std::string& SubDir,
                                      const std::string& FileName) const {
    return ResolvePathIn(BaseFolders(InstallDir, BaseDir), BaseDir, SubDir, FileName);
}
