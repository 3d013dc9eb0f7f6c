// The records an uninstall works from: the data file of the last install
// and those carried forward from earlier installs into the same folder, and
// the package's request for the unattended-removal registration values.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "package/PackageTables.h"

// `first` followed by the records of `second` that `first` lacks. Records
// are the same when they name the same target (files: base, folder and
// name; folders: base and folder; registry values: root, key and name,
// without regard to ASCII case; shell items: kind, base, folder, file and
// caption).
PackageTables MergeRecords(PackageTablesView first, PackageTablesView second);

// Remembers texts without regard to ASCII case, by a 64-bit hash of each.
class TSeenTexts {
public:
    // True the first time a text is given.
    bool Insert(std::string_view text);
    bool InsertHash(std::uint64_t hash);

private:
    std::vector<std::uint64_t> sorted_;
};

// The last record of the registry table that writes the value `valueName`
// below the application's own registration key (the one whose text stays);
// null when there is none.
const RecordHead::TRegItem* RegistrationRecord(std::span<const RecordHead::TRegItem> regItems,
                                               std::string_view appName, std::string_view valueName);

// True when the registry table holds the request for the unattended-removal
// values: its QuietUninstallString record below the application's own
// registration key has the text makesetup writes.
bool AsksForQuietUninstall(std::span<const RecordHead::TRegItem> regItems, std::string_view appName);

// Whole KiB, rounded up, as Programs and Features shows EstimatedSize;
// at most what a DWORD holds.
std::uint32_t KiBytesOf(std::uint64_t bytes);

// A registry value written, as the log of a run names it:
// Write registry value HKEY_CURRENT_USER\Software\App "Name" = "text".
std::string RegistryStepText(std::uint32_t root, std::string_view key, std::string_view name, std::string_view text);
