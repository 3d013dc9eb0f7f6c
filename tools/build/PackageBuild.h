// Writes a checked package plan as a setup executable: a copy of the stub,
// the file data, the tables and the header, into a temporary file beside the
// output that is renamed into place only when complete.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "tools/description/Description.h"
#include "tools/platform/ToolErrors.h"

struct TBuildSummary {
    std::uint64_t Size = 0;
    std::uint32_t Checksum = 0;  // also stored in the header's Reserved field
};

// Hears the bytes copied so far out of the total of stub and file data.
using TBuildProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;

// Reads the description at `path` and readies the stub's copy it asks for:
// the plan WritePackage takes. It may be written only when `diagnostics`
// holds no error.
TPackagePlan PlanPackage(const std::string& path, const TDescriptionOptions& options, TDiagnostics& diagnostics);

// Raises EBuildError when `outPath` names the stub or one of the package's
// own files, which the output would replace.
void CheckOutputPath(const TPackagePlan& plan, const std::string& outPath);

// Raises EBuildError, or the kind of the file operation or the length that
// failed; nothing is left at `outPath` or beside it on failure.
TBuildSummary WritePackage(TPackagePlan plan, const std::string& outPath, const TBuildProgress& progress = {});
