// A package description (TOML) read into the plan of the package it
// describes, with every check that keeps a broken package from being built.
#pragma once

#include <map>
#include <string>

#include "tools/description/Diagnostics.h"
#include "tools/description/PackagePlan.h"

struct TDescriptionOptions {
    std::map<std::string, std::string> Defines;  // --define NAME=VALUE, for ${NAME}
    std::string Stub;                            // --stub; empty: the `stub` key, then Setup.exe beside the tool
    std::string ToolPath;                        // the running makesetup, for the stub beside it
    std::string Uninstaller;                     // --uninstaller: add this file as Uninstall.exe
    std::string Icon;                            // --icon: the setup executable's icon, over the `icon` key
};

// Reads and checks the description at `path`. Every error and warning goes to
// `diagnostics`; the plan may be built only when it holds no error.
TPackagePlan ReadDescription(const std::string& path, const TDescriptionOptions& options, TDiagnostics& diagnostics);
