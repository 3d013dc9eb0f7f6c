// `list` and `verify`: what a setup executable or an uninstall data file
// holds, and whether its payload is whole.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "package/PackageReader.h"
#include "system/ByteStream.h"
#include "tools/platform/CodePage.h"

// The CRC-32 the packaging tool stores in Reserved: every byte of the file,
// the four bytes of the Reserved field taken as zero, and in a PE image those
// of its CheckSum field too (makesetup sets that one last, over everything).
std::uint32_t PackageChecksum(ByteSource& file);

// The bytes of the records whose data is an earlier record's (the same
// Offset and Size): what storing each content once saved.
std::uint64_t SharedBytes(const std::vector<RecordHead::TFileItem>& files);

// "skAddItem" for 1; "unknown" for values outside the kinds.
std::string ShellKindName(std::uint8_t kind);

// The listing of a loaded package, for a person or as JSON. Texts are
// converted from the package's code page to UTF-8 (U+FFFD for bytes without a
// character there). A non-empty `signer` (SignerText) is shown too.
std::string ListText(const std::string& path, std::uint64_t fileSize, const TPackageContents& package,
                     const std::string& signer = {}, unsigned codePage = CodePage::kDefault);
std::string ListJson(const std::string& path, std::uint64_t fileSize, const TPackageContents& package,
                     const std::string& signer = {}, unsigned codePage = CodePage::kDefault);

struct TVerifyReport {
    std::vector<std::string> Problems;  // each a complete sentence about the file
    std::string Summary;                // what was found when there is no problem
    bool Ok() const { return Problems.empty(); }
};

TVerifyReport VerifyPackage(ByteSource& file, unsigned codePage = CodePage::kDefault);

// What verify says about the trailer's tables (a negative count, a table past
// the end of the file), naming each: the package reader's own errors do not.
std::vector<std::string> TableProblems(ByteSource& file);

// The layout the setup program writes into the uninstall data file: the tables
// contiguous from offset 0, then the header (its file data stays in the
// setup executable).
bool IsUninstallLayout(const RecordHead::TPackHeader& h, std::uint64_t size);
