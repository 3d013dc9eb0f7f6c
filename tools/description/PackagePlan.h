// What a package will hold once built: the stub to copy, the header, each
// file's source on this machine with its record, and the other three tables.
// The description fills it in; the package rules check it; the build writes it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "package/RecordHead.h"
#include "tools/description/Diagnostics.h"
#include "tools/pe/VersionResource.h"

// Offsets and sizes in a package are 32-bit: no byte of it may lie beyond this.
inline constexpr std::uint64_t kMaxPackageOffset = 0xFFFFFFFFu;

struct TPlannedFile {
    std::string Source;  // the data on this machine
    std::uint64_t Size = 0;
    RecordHead::TFileItem Record{};  // Offset is set when the data is written
    TLocation Where;        // the entry's source or name
    TLocation FolderWhere;  // where its target folder was given
};

// What the description asks of the stub's copy, its texts in UTF-8: the
// build gives it this icon and a version resource naming the product.
struct TStubRequest {
    std::string IconPath;  // empty: the stub keeps its icon
    TLocation IconWhere;
    std::optional<VersionResource::TVersion> Version;
    TLocation VersionWhere;
    std::string Name, Author, Copyright;
};

// [sign]: the author's signer command with {in} and {out}, or a certificate
// and key (or a PKCS#12 file) for osslsigncode; the build makes the command.
struct TSignRequest {
    std::string Command;
    std::string Certificate, Key, Pkcs12;  // absolute paths
    std::string PasswordEnv;               // the variable that holds the password
};

struct TPackagePlan {
    std::string Description;  // the description's path as given
    std::string StubPath;
    std::uint64_t StubSize = 0;
    // The stub's copy with the package's icon and version resource; empty:
    // the stub is copied as it is.
    std::vector<std::uint8_t> StubImage;
    std::uint32_t StubChecksumOffset = 0;  // StubImage's PE checksum field
    RecordHead::TPackHeader Header{};
    std::vector<TPlannedFile> Files;
    std::vector<RecordHead::TDirItem> Dirs;
    std::vector<RecordHead::TShellItem> ShellItems;
    std::vector<RecordHead::TRegItem> RegItems;
    std::optional<std::size_t> UninstallerFile;  // the companion uninstaller's place in Files
    TStubRequest Stub;
    TSignRequest Sign;
};
