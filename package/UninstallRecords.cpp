#include "package/UninstallRecords.h"

#include <algorithm>

#include "package/RegistryRoots.h"
#include "package/UninstallContract.h"
#include "system/Errors.h"

using namespace RecordHead;

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool SameNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

// FNV-1a over the texts of a record's target, without regard to ASCII
// case; each text ends in a byte no text holds.
class THash {
public:
    THash& Add(std::string_view text) {
        for (const char c : text) Byte(static_cast<unsigned char>(Lower(c)));
        Byte(1);
        return *this;
    }
    template <std::size_t N>
    THash& Add(const TextField<N>& field) {
        std::size_t length = 0;
        while (length < N && field.bytes[length] != '\0') ++length;
        return Add(std::string_view(field.bytes.data(), length));
    }
    THash& Add(std::uint32_t number) {
        for (int i = 0; i < 4; ++i) Byte((number >> (8 * i)) & 0xFF);
        return *this;
    }
    std::uint64_t Value() const { return value_; }

private:
    void Byte(unsigned char byte) { value_ = (value_ ^ byte) * 0x100000001b3u; }
    std::uint64_t value_ = 0xcbf29ce484222325u;
};

std::uint64_t KeyOf(const TFileItem& r) { return THash().Add(r.BaseDir).Add(r.SubDir).Add(r.FileName).Value(); }
std::uint64_t KeyOf(const TDirItem& r) { return THash().Add(r.BaseDir).Add(r.SubDir).Value(); }
std::uint64_t KeyOf(const TRegItem& r) { return THash().Add(r.RootKey.Get()).Add(r.Key).Add(r.ValueName).Value(); }
std::uint64_t KeyOf(const TShellItem& r) {
    return THash().Add(r.Kind).Add(r.BaseDir).Add(r.SubDir).Add(r.FileName).Add(r.Caption).Value();
}

template <typename Record>
std::vector<Record> Union(std::span<const Record> first, std::span<const Record> second) {
    std::vector<Record> all;
    TSeenTexts seen;
    for (const auto table : {first, second})
        for (const Record& record : table)
            if (seen.InsertHash(KeyOf(record))) all.push_back(record);
    return all;
}

}  // namespace

bool TSeenTexts::Insert(std::string_view text) { return InsertHash(THash().Add(text).Value()); }

bool TSeenTexts::InsertHash(std::uint64_t hash) {
    const auto at = std::lower_bound(sorted_.begin(), sorted_.end(), hash);
    if (at != sorted_.end() && *at == hash) return false;
    sorted_.insert(at, hash);
    return true;
}

PackageTables MergeRecords(PackageTablesView first, PackageTablesView second) {
    return {Union(first.Files, second.Files), Union(first.Dirs, second.Dirs),
            Union(first.ShellItems, second.ShellItems), Union(first.RegItems, second.RegItems)};
}

const TRegItem* RegistrationRecord(std::span<const TRegItem> regItems, std::string_view appName,
                                   std::string_view valueName) {
    using namespace UninstallContract;
    const std::string registration = RegistrationKeyOf(appName);
    const TRegItem* found = nullptr;
    for (const TRegItem& item : regItems) {
        const std::string key = item.Key.Text();
        if (item.RootKey.Get() == kRegistrationRoot &&
            SameNoCase(std::string_view(key).substr(key.starts_with('\\') ? 1 : 0), registration) &&
            SameNoCase(item.ValueName.Text(), valueName))
            found = &item;
    }
    return found;
}

bool AsksForQuietUninstall(std::span<const TRegItem> regItems, std::string_view appName) {
    const TRegItem* item = RegistrationRecord(regItems, appName, UninstallContract::kQuietUninstallStringValue);
    return item && item->ValueData.Text() == UninstallContract::kQuietUninstallRequest;
}

std::uint32_t KiBytesOf(std::uint64_t bytes) {
    const std::uint64_t kib = bytes / 1024 + (bytes % 1024 != 0);
    return kib > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(kib);
}

std::string RegistryStepText(std::uint32_t root, std::string_view key, std::string_view name, std::string_view text) {
    const std::string_view rootName = RegistryRoots::NameOf(root);
    if (key.starts_with('\\')) key.remove_prefix(1);
    return "Write registry value " + (rootName.empty() ? "root " + std::to_string(root) : std::string(rootName)) +
           "\\" + std::string(key) + " \"" + std::string(name) + "\" = " + std::string(text);
}
