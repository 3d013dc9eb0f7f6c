#include "tools/Description.h"
#include "tools/TomlPrecheck.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <optional>
#include <set>

#define TOML_HEADER_ONLY 1
#define TOML_EXCEPTIONS 1
#include <toml++/toml.h>

#include "package/PackageWriter.h"
#include "system/Errors.h"
#include "system/FileStream.h"
#include "tools/AnsiText.h"
#include "tools/Glob.h"
#include "tools/PackagePaths.h"
#include "tools/Platform.h"

using namespace RecordHead;
namespace PP = PackagePaths;

namespace {

constexpr std::uint64_t kMaxOffset = 0xFFFFFFFFu;
constexpr std::uint64_t kMaxDescriptionSize = 16u << 20;

struct TRootName {
    const char* Short;
    const char* Long;
    std::uint32_t Value;
};
constexpr std::array<TRootName, 7> kRoots = {{
    {"HKCR", "HKEY_CLASSES_ROOT", 0x80000000u},
    {"HKCU", "HKEY_CURRENT_USER", 0x80000001u},
    {"HKLM", "HKEY_LOCAL_MACHINE", 0x80000002u},
    {"HKU", "HKEY_USERS", 0x80000003u},
    {"HKPD", "HKEY_PERFORMANCE_DATA", 0x80000004u},
    {"HKCC", "HKEY_CURRENT_CONFIG", 0x80000005u},
    {"HKDD", "HKEY_DYN_DATA", 0x80000006u},
}};

constexpr const char* kDdeSyntax = "which the Program Manager command takes as syntax (it is not escaped)";

constexpr std::array<std::string_view, 3> kBaseKeywords = {kInstallDir, kWindowsDir, kSystem32Dir};

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

std::size_t EditDistance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// ": did you mean "name"?" for a near miss among `known`, else "".
std::string Suggestion(std::string_view word, std::initializer_list<std::string_view> known) {
    for (const auto k : known)
        if (EditDistance(PP::Folded(word), PP::Folded(k)) <= 2) return "; did you mean " + Quoted(k) + "?";
    return {};
}

// The folder part of a path; empty for a bare name (the current folder).
std::string FolderOf(const std::string& path) {
    const std::size_t at = path.find_last_of("/\\");
    if (at == std::string::npos) return "";
    return at == 0 ? path.substr(0, 1) : path.substr(0, at);
}

std::string HexText(std::int64_t value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, value < 0 ? "%lld" : "0x%llX", static_cast<long long>(value));
    return buffer;
}

std::string Preview(std::string_view text) {
    return text.size() <= 40 ? Quoted(text) : Quoted(std::string(text.substr(0, 37)) + "...");
}

// A file's target, as the checks compare them.
struct TTarget {
    std::string Base, Sub, Name;
};

std::string FolderKey(std::string_view base, std::string_view sub) { return std::string(base) + '|' + PP::Folded(sub); }

class TReader;

// One TOML table of the description: typed access to its keys, with the
// line of each key for the messages, and a refusal of unknown keys.
class TEntry {
public:
    TEntry(TReader& reader, const toml::table& table, std::string what, std::initializer_list<std::string_view> keys);

    TLocation At() const;
    TLocation At(std::string_view key) const;
    bool Has(std::string_view key) const { return table_.contains(key); }
    // The key's string with ${NAME} replaced; nullopt when absent or wrong.
    std::optional<std::string> Text(std::string_view key);
    std::optional<std::string> Required(std::string_view key);
    std::optional<bool> Flag(std::string_view key);
    const toml::node* Node(std::string_view key) const { return table_.get(key); }
    const std::string& What() const { return what_; }

private:
    TReader& reader_;
    const toml::table& table_;
    std::string what_;
};

class TReader {
public:
    TReader(const std::string& path, const TDescriptionOptions& options, TDiagnostics& diagnostics)
        : file_(path), folder_(FolderOf(path)), defines_(options.Defines), options_(options), out_(diagnostics) {
        plan_.Description = path;
        packageAt_ = Whole();
    }

    TPackagePlan Read();

    void Error(const TLocation& at, std::string text) { out_.Error(at, std::move(text)); }
    void Warning(const TLocation& at, std::string text) { out_.Warning(at, std::move(text)); }
    TLocation Line(const toml::source_region& region) const { return {file_, region.begin.line}; }
    TLocation Whole() const { return {file_, 0}; }
    std::optional<std::string> Substitute(const std::string& text, const TLocation& at);

    // Converts to the package's code page and sets the field; errors name `what`.
    template <std::size_t N>
    void Put(TextField<N>& field, const std::string& utf8, const TLocation& at, std::string_view what) {
        const AnsiText::TConversion ansi = AnsiText::FromUtf8(utf8);
        if (ansi.InvalidUtf8)
            Error(at, std::string(what) + " is not valid UTF-8");
        else if (ansi.Bad)
            Error(at, std::string(what) + " " + Preview(utf8) + " contains " + AnsiText::CodePointName(*ansi.Bad) +
                          ", which the package's code page (Windows-1252) does not have");
        else if (ansi.Text.size() > N)
            Error(at, std::string(what) + " is " + std::to_string(ansi.Text.size()) +
                          " characters long; its field holds at most " + std::to_string(N) + ": " + Preview(utf8));
        else
            field.TrySet(ansi.Text);
    }

private:
    std::optional<toml::table> Parse();
    void CheckTopLevel(const toml::table& root);
    template <typename F>
    void ForEach(const toml::table& root, std::string_view key, std::initializer_list<std::string_view> keys, F read);

    void ReadPackage(const toml::table& root);
    void ResolveStub(TEntry& package);
    void ResolveUninstaller(TEntry& package);
    void AddUninstaller();
    std::optional<std::string> Base(TEntry& entry);
    std::optional<std::string> SubPath(TEntry& entry, std::string_view key, const std::string& text);
    void ReadFolder(TEntry& entry);
    void ReadFile(TEntry& entry);
    void AddFile(const std::string& source, const std::string& base, const std::string& sub, const std::string& name,
                 const TLocation& at, const TLocation& sourceAt);
    void ReadRegistry(TEntry& entry);
    void ReadShell(TEntry& entry);
    bool CheckShellKeys(TEntry& entry, std::string_view key, TShellItemKind kind);
    void ReadCaption(TEntry& entry, std::string_view key, const std::string& caption, TShellItem& record);
    bool ReadShellTarget(TEntry& entry, const std::string& key, const std::string& text, TShellItem& record);

    void PlanFolders();
    void CheckUninstaller();
    void CheckShellTargets();
    void CheckLayout();

    std::string file_, folder_;
    std::map<std::string, std::string> defines_;
    const TDescriptionOptions& options_;
    TDiagnostics& out_;
    TPackagePlan plan_;

    TLocation packageAt_;
    bool autoFolders_ = true;
    struct TFolder {
        std::string Base, Sub;
        TLocation Where;
    };
    std::vector<TFolder> folders_;
    struct TShellTarget {
        TTarget Target;
        TLocation Where;
    };
    std::vector<TShellTarget> shellTargets_;
    bool groupSeen_ = false;
    bool nameHasDdeSyntax_ = false;
    struct TUninstallerSource {
        std::string Path;
        TLocation Where;
    };
    std::optional<TUninstallerSource> uninstaller_;
    bool uninstallerWanted_ = false;  // asked for but not found: an error says so already
};

TEntry::TEntry(TReader& reader, const toml::table& table, std::string what, std::initializer_list<std::string_view> keys)
    : reader_(reader), table_(table), what_(std::move(what)) {
    for (const auto& [key, node] : table_) {
        if (std::find(keys.begin(), keys.end(), key.str()) != keys.end()) continue;
        reader_.Error(reader_.Line(key.source()), "unknown key " + Quoted(key.str()) + " in " + what_ +
                                                      Suggestion(key.str(), keys));
    }
}

TLocation TEntry::At() const { return reader_.Line(table_.source()); }

TLocation TEntry::At(std::string_view key) const {
    const toml::node* node = table_.get(key);
    return node ? reader_.Line(node->source()) : At();
}

std::optional<std::string> TEntry::Text(std::string_view key) {
    const toml::node* node = table_.get(key);
    if (!node) return std::nullopt;
    if (!node->is_string()) {
        reader_.Error(At(key), Quoted(key) + " in " + what_ + " must be a string");
        return std::nullopt;
    }
    return reader_.Substitute(**node->as_string(), At(key));
}

std::optional<std::string> TEntry::Required(std::string_view key) {
    if (!Has(key)) {
        reader_.Error(At(), what_ + " needs " + Quoted(key));
        return std::nullopt;
    }
    return Text(key);
}

std::optional<bool> TEntry::Flag(std::string_view key) {
    const toml::node* node = table_.get(key);
    if (!node) return std::nullopt;
    if (!node->is_boolean()) {
        reader_.Error(At(key), Quoted(key) + " in " + what_ + " must be true or false");
        return std::nullopt;
    }
    return **node->as_boolean();
}

std::optional<std::string> TReader::Substitute(const std::string& text, const TLocation& at) {
    std::string result, problem;
    if (SubstituteDefines(text, defines_, result, problem)) return result;
    Error(at, problem);
    return std::nullopt;
}

std::optional<toml::table> TReader::Parse() {
    std::string content;
    try {
        TFileStream stream = TFileStream::OpenRead(Platform::ToNative(file_));
        const std::uint64_t size = stream.Size();
        if (size > kMaxDescriptionSize) {
            Error(Whole(), "the description is " + std::to_string(size) + " bytes, more than a description can be");
            return std::nullopt;
        }
        content.resize(static_cast<std::size_t>(size));
        stream.ReadExact(content.data(), content.size());
    } catch (const Exception& e) {
        Error(Whole(), e.Message());
        return std::nullopt;
    }
    if (const TNonAsciiPlace place = FindMisplacedNonAscii(content); place.Line != 0) {
        Error({file_, place.Line}, "non-ASCII text at column " + std::to_string(place.Column) +
                                       " outside a quoted string or a comment");
        return std::nullopt;
    }
    try {
        return toml::parse(content, file_);
    } catch (const toml::parse_error& e) {
        Error(Line(e.source()), std::string(e.description()));
        return std::nullopt;
    }
}

void TReader::CheckTopLevel(const toml::table& root) {
    for (const auto& [key, node] : root) {
        const std::string_view name = key.str();
        if (name == "package") {
            if (!node.is_table()) Error(Line(key.source()), "\"package\" must be a table: write [package]");
        } else if (name == "folder" || name == "file" || name == "registry" || name == "shell") {
            if (!node.is_array_of_tables())
                Error(Line(key.source()), Quoted(name) + " must be a list of tables: write [[" + std::string(name) + "]]");
        } else {
            Error(Line(key.source()), "unknown table " + Quoted(name) +
                                          Suggestion(name, {"package", "folder", "file", "registry", "shell"}));
        }
    }
}

template <typename F>
void TReader::ForEach(const toml::table& root, std::string_view key, std::initializer_list<std::string_view> keys,
                      F read) {
    const toml::array* list = root[key].as_array();
    if (!list || !list->is_array_of_tables()) return;
    for (const toml::node& node : *list) {
        TEntry entry(*this, *node.as_table(), "[[" + std::string(key) + "]]", keys);
        read(entry);
    }
}

TPackagePlan TReader::Read() {
    const std::optional<toml::table> root = Parse();
    if (!root) return plan_;
    CheckTopLevel(*root);
    ReadPackage(*root);
    ForEach(*root, "folder", {"path", "base"}, [this](TEntry& e) { ReadFolder(e); });
    ForEach(*root, "file", {"source", "base", "folder", "name"}, [this](TEntry& e) { ReadFile(e); });
    ForEach(*root, "registry", {"root", "key", "name", "value"}, [this](TEntry& e) { ReadRegistry(e); });
    ForEach(*root, "shell", {"group", "item", "screensaver", "wallpaper", "target", "base"},
            [this](TEntry& e) { ReadShell(e); });
    AddUninstaller();
    PlanFolders();
    CheckUninstaller();
    CheckShellTargets();
    CheckLayout();
    return plan_;
}

void TReader::ReadPackage(const toml::table& root) {
    const toml::table* table = root["package"].as_table();
    if (!table) {
        Error(Whole(), "the description needs a [package] table with at least name = \"...\"");
        return;
    }
    TEntry package(*this, *table, "[package]", {"name", "author", "email", "website", "stub", "auto_folders", "uninstaller"});
    packageAt_ = package.At();
    ResolveStub(package);
    plan_.Header.Magic.TrySet(PackageMagic);
    if (const auto name = package.Required("name")) {
        if (name->empty()) Error(package.At("name"), "the application name is empty");
        Put(plan_.Header.AppName, *name, package.At("name"), "name");
        nameHasDdeSyntax_ = PP::DdeSyntaxChar(*name).has_value();
    }
    if (const auto author = package.Text("author")) Put(plan_.Header.Author, *author, package.At("author"), "author");
    if (const auto email = package.Text("email")) Put(plan_.Header.Email, *email, package.At("email"), "email");
    if (const auto site = package.Text("website")) Put(plan_.Header.Website, *site, package.At("website"), "website");
    if (const auto flag = package.Flag("auto_folders")) autoFolders_ = *flag;
    ResolveUninstaller(package);
}

// The companion uninstaller: `uninstaller = true` takes the Uninstall.exe
// beside the stub (or beside makesetup), a text names the file.
void TReader::ResolveUninstaller(TEntry& package) {
    TLocation at = Whole();
    std::string path;
    if (!options_.Uninstaller.empty()) {
        path = options_.Uninstaller;
    } else if (const toml::node* node = package.Node("uninstaller")) {
        at = package.At("uninstaller");
        if (node->is_string()) {
            const auto text = package.Text("uninstaller");
            if (!text) return;
            path = Glob::Anchor(folder_, *text);
        } else if (const auto flag = package.Flag("uninstaller"); !flag) {
            return;
        } else if (!*flag) {
            return;
        } else {
            for (const std::string& beside : {plan_.StubPath, options_.ToolPath}) {
                if (beside.empty()) continue;
                const std::string candidate = FolderOf(Platform::Absolute(beside)) + "/Uninstall.exe";
                if (Platform::Examine(candidate).Kind != Platform::EntryKind::File) continue;
                path = candidate;
                break;
            }
            if (path.empty()) {
                uninstallerWanted_ = true;
                Error(at, "uninstaller = true, but no Uninstall.exe lies beside the stub or makesetup; give its path: "
                          "uninstaller = \"path/to/Uninstall.exe\" or --uninstaller FILE");
                return;
            }
        }
    } else {
        return;
    }
    uninstaller_ = {path, at};
}

void TReader::ResolveStub(TEntry& package) {
    std::string stub;
    TLocation at = Whole();
    if (!options_.Stub.empty()) {
        stub = options_.Stub;
    } else if (package.Has("stub")) {
        const auto text = package.Text("stub");
        if (!text) return;
        stub = Glob::Anchor(folder_, *text);
        at = package.At("stub");
    } else if (!options_.ToolPath.empty() &&
               Platform::Examine(FolderOf(options_.ToolPath) + "/Setup.exe").Kind == Platform::EntryKind::File) {
        stub = FolderOf(options_.ToolPath) + "/Setup.exe";
    } else {
        Error(Whole(), "no stub: give --stub SETUP.EXE, a stub = \"...\" key in [package], or put Setup.exe beside "
                       "makesetup");
        return;
    }
    const Platform::TEntryInfo info = Platform::Examine(stub);
    if (info.Kind != Platform::EntryKind::File) {
        Error(at, "stub " + Quoted(stub) + (info.Kind == Platform::EntryKind::Missing ? " not found" : " is not a file"));
        return;
    }
    std::array<char, sizeof(TPackHeader)> tail{};
    std::array<char, 2> start{};
    try {
        TFileStream stream = TFileStream::OpenRead(Platform::ToNative(stub));
        if (info.Size >= start.size()) stream.ReadExact(start.data(), start.size());
        if (info.Size >= tail.size()) {
            stream.Seek(info.Size - tail.size());
            stream.ReadExact(tail.data(), tail.size());
        }
    } catch (const Exception& e) {
        Error(at, "stub: " + e.Message());
        return;
    }
    if (std::string_view(start.data(), 2) != "MZ")
        Warning(at, "stub " + Quoted(stub) + " does not begin like a Windows executable (\"MZ\")");
    if (info.Size >= tail.size() && std::string_view(tail.data(), 4) == std::string_view("qzx\0", 4))
        Warning(at, "stub " + Quoted(stub) + " already carries a package; the new package replaces it at run time, "
                                             "but its bytes stay in the file");
    plan_.StubPath = stub;
    plan_.StubSize = info.Size;
    defines_.emplace("STUB_DIR", FolderOf(Platform::Absolute(stub)));
}

std::optional<std::string> TReader::Base(TEntry& entry) {
    if (!entry.Has("base")) return std::string(kInstallDir);
    const auto base = entry.Text("base");
    if (!base) return std::nullopt;
    if (std::find(kBaseKeywords.begin(), kBaseKeywords.end(), *base) != kBaseKeywords.end()) return base;
    for (const auto keyword : kBaseKeywords)
        if (PP::SameName(*base, keyword)) {
            Error(entry.At("base"), "base " + Quoted(*base) + " must be written " + Quoted(keyword) +
                                        ": keywords are case-sensitive, and the setup program would resolve " +
                                        Quoted(*base) + " to an empty base folder");
            return std::nullopt;
        }
    Error(entry.At("base"), "base " + Quoted(*base) + " is not \"InstallDir\", \"WindowsDir\" or \"System32Dir\"");
    return std::nullopt;
}

std::optional<std::string> TReader::SubPath(TEntry& entry, std::string_view key, const std::string& text) {
    PP::TSubPath sub = PP::Normalize(text);
    if (!sub.Problem.empty()) {
        Error(entry.At(key), Quoted(key) + " " + Preview(text) + ": " + sub.Problem);
        return std::nullopt;
    }
    return sub.Path;
}

void TReader::ReadFolder(TEntry& entry) {
    const auto base = Base(entry);
    const auto path = entry.Text("path");
    if (!base || (entry.Has("path") && !path)) return;
    const auto sub = SubPath(entry, "path", path.value_or(""));
    if (!sub) return;
    TDirItem record{};
    Put(record.BaseDir, *base, entry.At("base"), "base");
    Put(record.SubDir, *sub, entry.At("path"), "path");
    folders_.push_back({record.BaseDir.Text(), record.SubDir.Text(), entry.At()});
}

void TReader::ReadFile(TEntry& entry) {
    const auto source = entry.Required("source");
    const auto base = Base(entry);
    const auto folderText = entry.Has("folder") ? entry.Text("folder") : std::optional<std::string>("");
    if (!source || !base || !folderText) return;
    const auto folder = SubPath(entry, "folder", *folderText);
    if (!folder) return;

    if (!Glob::HasWildcards(*source)) {
        std::string name = source->substr(source->find_last_of("/\\") + 1);
        TLocation nameAt = entry.At("source");
        if (entry.Has("name")) {
            const auto given = entry.Text("name");
            if (!given) return;
            const auto normal = SubPath(entry, "name", *given);
            if (!normal) return;
            name = *normal;
            nameAt = entry.At("name");
        }
        if (name.empty()) {
            Error(nameAt, "the target name is empty");
            return;
        }
        const auto [nameFolder, leaf] = PP::SplitLast(name);
        const std::size_t before = plan_.Files.size();
        AddFile(Glob::Anchor(folder_, *source), *base, PP::Join(*folder, nameFolder), leaf, nameAt, entry.At("source"));
        if (entry.Has("folder") && plan_.Files.size() > before) plan_.Files.back().FolderWhere = entry.At("folder");
        return;
    }
    if (entry.Has("name")) {
        Error(entry.At("name"), "\"name\" cannot rename the files of a pattern; each keeps its own name");
        return;
    }
    const Glob::TExpansion found = Glob::Expand(folder_, *source);
    if (!found.Problem.empty()) Error(entry.At("source"), Preview(*source) + ": " + found.Problem);
    if (found.Matches.empty()) Error(entry.At("source"), "pattern " + Preview(*source) + " matches no file");
    for (const Glob::TMatch& match : found.Matches) {
        const PP::TSubPath relative = PP::Normalize(match.Relative);
        if (!relative.Problem.empty()) {
            Error(entry.At("source"), Quoted(match.Path) + ": " + relative.Problem);
            continue;
        }
        const auto [relativeFolder, leaf] = PP::SplitLast(relative.Path);
        AddFile(match.Path, *base, PP::Join(*folder, relativeFolder), leaf, entry.At("source"), entry.At("source"));
    }
}

void TReader::AddFile(const std::string& source, const std::string& base, const std::string& sub,
                      const std::string& name, const TLocation& at, const TLocation& sourceAt) {
    const Platform::TEntryInfo info = Platform::Examine(source);
    if (info.Kind == Platform::EntryKind::Missing) {
        Error(sourceAt, "source file " + Quoted(source) + " not found");
        return;
    }
    if (info.Kind != Platform::EntryKind::File) {
        const bool folder = info.Kind == Platform::EntryKind::Folder;
        Error(sourceAt, "source " + Quoted(source) + " is not a file" +
                            (folder ? " (a pattern such as \"dir/**\" takes a folder's files)" : ""));
        return;
    }
    try {
        TFileStream probe = TFileStream::OpenRead(Platform::ToNative(source));
    } catch (const Exception& e) {
        Error(sourceAt, "source file cannot be read: " + e.Message());
        return;
    }
    if (info.Size > kMaxOffset) {
        Error(sourceAt, "source file " + Quoted(source) + " is " + std::to_string(info.Size) +
                            " bytes; a package records sizes in 32 bits (at most 4294967295)");
        return;
    }
    TPlannedFile file;
    file.Source = source;
    file.Size = info.Size;
    file.Where = at;
    file.FolderWhere = at;
    Put(file.Record.FileName, name, at, "the target name");
    Put(file.Record.BaseDir, base, at, "base");
    Put(file.Record.SubDir, sub, at, "the target folder");
    file.Record.Size.Set(static_cast<std::uint32_t>(info.Size));
    plan_.Files.push_back(std::move(file));
}

void TReader::ReadRegistry(TEntry& entry) {
    TRegItem record{};
    const toml::node* root = entry.Node("root");
    if (!root) {
        Error(entry.At(), "[[registry]] needs \"root\" (HKCU, HKLM, HKCR, HKU or a number)");
    } else if (root->is_string()) {
        const auto name = entry.Text("root");
        const std::uint32_t value = name ? RegistryRootByName(*name) : 0;
        if (name && value == 0)
            Error(entry.At("root"), "root " + Quoted(*name) + " is not a registry root: use HKCU, HKLM, HKCR, HKU, "
                                                              "HKCC or a predefined root's number");
        record.RootKey.Set(value);
    } else if (root->is_integer()) {
        const std::int64_t value = **root->as_integer();
        if (RegistryRootName(value >= 0 && value <= 0xFFFFFFFF ? static_cast<std::uint32_t>(value) : 0).empty())
            Error(entry.At("root"), "root " + HexText(value) + " is not a predefined registry root "
                                    "(0x80000000 to 0x80000006); the setup program could not write below it");
        record.RootKey.Set(static_cast<std::uint32_t>(value));
    } else {
        Error(entry.At("root"), "\"root\" must be a name such as \"HKCU\" or a number");
    }
    if (const auto key = entry.Required("key")) {
        if (key->empty()) Error(entry.At("key"), "the registry key is empty");
        Put(record.Key, *key, entry.At("key"), "key");
    }
    if (const auto name = entry.Text("name")) Put(record.ValueName, *name, entry.At("name"), "name");
    if (const auto value = entry.Required("value")) {
        Put(record.ValueData, *value, entry.At("value"), "value");
        const std::size_t first = value->find(kInstallDirMacro);
        if (first != std::string::npos && value->find(kInstallDirMacro, first + 1) != std::string::npos)
            Warning(entry.At("value"), "the setup program replaces only the first \"{InstallDir}\" of a value");
        const std::string folded = PP::Folded(*value), macro = PP::Folded(kInstallDirMacro);
        for (std::size_t at = folded.find(macro); at != std::string::npos; at = folded.find(macro, at + 1))
            if (value->compare(at, kInstallDirMacro.size(), kInstallDirMacro) != 0) {
                Warning(entry.At("value"), Quoted(value->substr(at, kInstallDirMacro.size())) +
                                               " is not replaced: the macro is written \"{InstallDir}\"");
                break;
            }
    }
    plan_.RegItems.push_back(record);
}

void TReader::ReadShell(TEntry& entry) {
    static constexpr std::array<std::pair<std::string_view, TShellItemKind>, 4> kKinds = {
        {{"group", skCreateGroup}, {"item", skAddItem}, {"screensaver", skScreenSaver}, {"wallpaper", skWallpaper}}};
    std::vector<std::pair<std::string_view, TShellItemKind>> given;
    for (const auto& kind : kKinds)
        if (entry.Has(kind.first)) given.push_back(kind);
    if (given.size() != 1) {
        Error(entry.At(), std::string(given.empty() ? "[[shell]] needs one of" : "[[shell]] takes only one of") +
                              " \"group\", \"item\", \"screensaver\", \"wallpaper\"");
        return;
    }
    const auto [key, kind] = given.front();
    const auto value = entry.Text(key);
    if (!value || !CheckShellKeys(entry, key, kind)) return;
    TShellItem record{};
    record.Kind = kind;
    if (kind == skCreateGroup || kind == skAddItem) ReadCaption(entry, key, *value, record);
    if (kind == skAddItem && !groupSeen_)
        Warning(entry.At(), "an item before any group goes into whichever group the Program Manager has open");
    groupSeen_ |= kind == skCreateGroup;
    if (kind != skCreateGroup) {
        const std::string targetKey = kind == skAddItem ? "target" : std::string(key);
        const auto text = kind == skAddItem ? entry.Text("target") : value;
        if (!text || !ReadShellTarget(entry, targetKey, *text, record)) return;
    }
    plan_.ShellItems.push_back(record);
}

bool TReader::CheckShellKeys(TEntry& entry, std::string_view key, TShellItemKind kind) {
    if (kind == skCreateGroup && (entry.Has("target") || entry.Has("base")))
        Error(entry.At(), "a group takes no \"target\" or \"base\"");
    if (kind == skAddItem && !entry.Has("target")) {
        Error(entry.At(), "an item needs \"target\", the file it starts");
        return false;
    }
    if (kind != skAddItem && kind != skCreateGroup && entry.Has("target"))
        Error(entry.At("target"), "the " + std::string(key) + " itself names its file; \"target\" is not used");
    return true;
}

void TReader::ReadCaption(TEntry& entry, std::string_view key, const std::string& caption, TShellItem& record) {
    if (caption.empty()) Error(entry.At(key), "the " + std::string(key) + " caption is empty");
    Put(record.Caption, caption, entry.At(key), std::string(key) + " caption");
    if (const auto c = PP::DdeSyntaxChar(caption))
        Warning(entry.At(key), "caption " + Quoted(caption) + " contains \"" + std::string(1, *c) + "\", " +
                                   kDdeSyntax);
}

bool TReader::ReadShellTarget(TEntry& entry, const std::string& key, const std::string& text, TShellItem& record) {
    const auto base = Base(entry);
    const auto target = base ? SubPath(entry, key, text) : std::nullopt;
    if (!target) return false;
    if (target->empty()) {
        Error(entry.At(key), "the target file name is empty");
        return false;
    }
    const auto [sub, name] = PP::SplitLast(*target);
    Put(record.BaseDir, *base, entry.At("base"), "base");
    Put(record.SubDir, sub, entry.At(key), "the target folder");
    Put(record.FileName, name, entry.At(key), "the target name");
    shellTargets_.push_back({{record.BaseDir.Text(), record.SubDir.Text(), record.FileName.Text()}, entry.At(key)});
    if (record.Kind != skAddItem) return true;
    if (const auto c = PP::DdeSyntaxChar(*target))
        Warning(entry.At(key), "target " + Quoted(*target) + " contains \"" + std::string(1, *c) + "\", " + kDdeSyntax);
    else if (*base == kInstallDir && nameHasDdeSyntax_)
        Warning(entry.At(key), "the default install folder holds the application name, whose \",\", \"(\", \")\", "
                               "\"[\" or \"]\" the Program Manager command takes as syntax");
    return true;
}

void TReader::PlanFolders() {
    std::set<std::string> exists = {FolderKey(kWindowsDir, ""), FolderKey(kSystem32Dir, "")};
    auto create = [&](const std::string& base, const std::string& sub) {
        for (const std::string& level : PP::SelfAndAncestors(sub)) exists.insert(FolderKey(base, level));
    };
    for (const TFolder& folder : folders_) create(folder.Base, folder.Sub);
    std::vector<TDirItem> implied;
    for (const TPlannedFile& file : plan_.Files) {
        const std::string base = file.Record.BaseDir.Text(), sub = file.Record.SubDir.Text();
        if (exists.count(FolderKey(base, sub))) continue;
        if (autoFolders_) {
            implied.push_back(MakeDirItem(base, sub));
            create(base, sub);
        } else {
            Error(file.FolderWhere, "target folder " + PP::Join(base, sub) + " is not created: the setup program creates "
                              "no folders while copying; add a [[folder]] for it, or set auto_folders = true");
        }
    }
    const bool installFolder = exists.count(FolderKey(kInstallDir, "")) > 0;
    if (!installFolder && !autoFolders_)
        Error(packageAt_, "no [[folder]] creates the install folder, where the setup program writes "
                          "\"uninstall001.dat\"; add one with path = \"\"");
    if (!installFolder && autoFolders_) plan_.Dirs.push_back(MakeDirItem(kInstallDir, ""));
    for (const TFolder& folder : folders_) plan_.Dirs.push_back(MakeDirItem(folder.Base, folder.Sub));
    plan_.Dirs.insert(plan_.Dirs.end(), implied.begin(), implied.end());
}

// Added after the description's own files: one of those named Uninstall.exe
// in the install folder would be replaced by it (and is warned about).
void TReader::AddUninstaller() {
    if (uninstaller_) AddFile(uninstaller_->Path, std::string(kInstallDir), "", "Uninstall.exe", uninstaller_->Where,
                              uninstaller_->Where);
}

void TReader::CheckUninstaller() {
    std::map<std::string, std::uint32_t> seen;
    bool uninstaller = false;
    for (const TPlannedFile& file : plan_.Files) {
        const TTarget t{file.Record.BaseDir.Text(), file.Record.SubDir.Text(), file.Record.FileName.Text()};
        uninstaller |= t.Base == kInstallDir && t.Sub.empty() && PP::SameName(t.Name, "Uninstall.exe");
        const std::string key = FolderKey(t.Base, PP::Join(t.Sub, t.Name));
        const auto [it, fresh] = seen.emplace(key, file.Where.Line);
        if (!fresh)
            Warning(file.Where, "target " + PP::Join(PP::Join(t.Base, t.Sub), t.Name) + " is also written by line " +
                                    std::to_string(it->second) + "; the later file replaces the earlier");
    }
    if (!uninstaller && !uninstaller_ && !uninstallerWanted_)
        Warning(packageAt_, "no \"Uninstall.exe\" in the install folder: the uninstall registration points at one");
}

void TReader::CheckShellTargets() {
    for (const TShellTarget& shell : shellTargets_) {
        if (shell.Target.Base != kInstallDir) continue;
        const bool packed = std::any_of(plan_.Files.begin(), plan_.Files.end(), [&](const TPlannedFile& f) {
            return f.Record.BaseDir.Text() == kInstallDir && PP::SameName(f.Record.SubDir.Text(), shell.Target.Sub) &&
                   PP::SameName(f.Record.FileName.Text(), shell.Target.Name);
        });
        if (!packed)
            Warning(shell.Where, "target " + PP::Join(PP::Join(kInstallDir, shell.Target.Sub), shell.Target.Name) +
                                     " is not one of the package's files");
    }
}

void TReader::CheckLayout() {
    std::uint64_t position = plan_.StubSize;
    for (const TPlannedFile& file : plan_.Files) {
        if (position > kMaxOffset) {
            Error(file.Where, "the data of " + Quoted(file.Source) + " would start at byte " + std::to_string(position) +
                                  ", beyond the 4 GiB that the package's 32-bit offsets reach");
            return;
        }
        position += file.Size;
    }
    if (position > kMaxOffset)
        Error(packageAt_, "the tables would start at byte " + std::to_string(position) +
                  ", beyond the 4 GiB that the package's 32-bit offsets reach");
}

}  // namespace

TPackagePlan ReadDescription(const std::string& path, const TDescriptionOptions& options, TDiagnostics& diagnostics) {
    return TReader(path, options, diagnostics).Read();
}

bool SubstituteDefines(const std::string& text, const std::map<std::string, std::string>& defines,
                       std::string& result, std::string& problem) {
    result.clear();
    for (std::size_t at = 0; at < text.size();) {
        if (text.compare(at, 3, "$${") == 0) {
            result += "${";
            at += 3;
        } else if (text.compare(at, 2, "${") == 0) {
            const std::size_t close = text.find('}', at + 2);
            if (close == std::string::npos) {
                problem = "unclosed \"${\" in " + Preview(text) + " (write \"$${\" for a literal \"${\")";
                return false;
            }
            const std::string name = text.substr(at + 2, close - at - 2);
            const auto found = defines.find(name);
            if (found == defines.end()) {
                problem = "${" + name + "} is not defined: give --define " + (name.empty() ? "NAME" : name) + "=VALUE";
                return false;
            }
            result += found->second;
            at = close + 1;
        } else {
            result += text[at++];
        }
    }
    return true;
}

std::uint32_t RegistryRootByName(const std::string& name) {
    for (const TRootName& root : kRoots)
        if (PP::SameName(name, root.Short) || PP::SameName(name, root.Long)) return root.Value;
    return 0;
}

std::string RegistryRootName(std::uint32_t root) {
    for (const TRootName& r : kRoots)
        if (r.Value == root) return r.Long;
    return {};
}
