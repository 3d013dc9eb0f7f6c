// The setup program's copy in a package carries the package's own face: the
// author's icon in place of MAINICON and a version resource naming the
// product, its version and its author.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/description/PackagePlan.h"
#include "tools/pe/IconFile.h"
#include "tools/pe/VersionResource.h"

// The version resource's strings for `request`: ProductName, CompanyName,
// FileDescription, the two versions and LegalCopyright when given.
VersionResource::TVersionInfo VersionInfoFor(const TStubRequest& request);

struct TEditedStub {
    std::vector<std::uint8_t> Image;
    std::uint32_t ChecksumOffset = 0;  // of the image's checksum field
};

// `stub` with MAINICON (its group and images) replaced by `icon` when there
// is one and the version resource replaced by `version`. Raises
// ResourceEditor::ELayoutError for a stub it cannot rewrite.
TEditedStub EditStub(std::vector<std::uint8_t> stub, const std::optional<IconFile::TIcon>& icon,
                     const VersionResource::TVersionInfo& version);

// Reads the icon and the stub plan.Stub asks for, and puts the edited copy into
// plan.StubImage (its size into plan.StubSize). A bad icon, or a stub that
// cannot take an icon or version that was asked for, is an error; a stub
// that cannot take the version resource alone is copied as it is.
void PrepareStub(TPackagePlan& plan, TDiagnostics& diagnostics);
