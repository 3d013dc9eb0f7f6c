// A package description (TOML) read into the records the package will hold,
// with every check that keeps a broken package from being built.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "package/RecordHead.h"
#include "tools/Diagnostics.h"

struct TDescriptionOptions {
    std::map<std::string, std::string> Defines;  // --define NAME=VALUE, for ${NAME}
    std::string Stub;                            // --stub; empty: the `stub` key, then Setup.exe beside the tool
    std::string ToolPath;                        // the running makesetup, for the stub beside it
    std::string Uninstaller;                     // --uninstaller: add this file as Uninstall.exe
};

struct TPlannedFile {
    std::string Source;  // the data on this machine
    std::uint64_t Size = 0;
    RecordHead::TFileItem Record{};  // Offset is set when the data is written
    TLocation Where;        // the entry's source or name
    TLocation FolderWhere;  // where its target folder was given
};

struct TPackagePlan {
    std::string Description;  // the description's path as given
    std::string StubPath;
    std::uint64_t StubSize = 0;
    RecordHead::TPackHeader Header{};
    std::vector<TPlannedFile> Files;
    std::vector<RecordHead::TDirItem> Dirs;
    std::vector<RecordHead::TShellItem> ShellItems;
    std::vector<RecordHead::TRegItem> RegItems;
};

// Reads and checks the description at `path`. Every error and warning goes to
// `diagnostics`; the plan may be built only when it holds no error.
TPackagePlan ReadDescription(const std::string& path, const TDescriptionOptions& options, TDiagnostics& diagnostics);

// Replaces each ${NAME} by its definition; "$${" stands for a literal "${".
// Returns false with the reason in `problem` for an undefined name or an
// unclosed "${".
bool SubstituteDefines(const std::string& text, const std::map<std::string, std::string>& defines,
                       std::string& result, std::string& problem);

// The predefined registry root for a name such as "HKCU" or
// "HKEY_CURRENT_USER" (any case); 0 when there is none.
std::uint32_t RegistryRootByName(const std::string& name);
// "HKEY_CURRENT_USER" for 0x80000001; empty when not a predefined root.
std::string RegistryRootName(std::uint32_t root);
