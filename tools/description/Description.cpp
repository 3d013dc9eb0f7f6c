#include "tools/description/Description.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>

#include "package/ProgManCommands.h"
#include "package/RegistryRoots.h"
#include "package/UninstallContract.h"
#include "package/UninstallRecords.h"
#include "tools/description/DescriptionReader.h"
#include "tools/description/Glob.h"
#include "tools/description/PackagePaths.h"
#include "tools/description/PackageRules.h"
#include "tools/description/Registration.h"
#include "tools/description/SourceFiles.h"
#include "tools/platform/CodePage.h"
#include "tools/platform/Platform.h"

using namespace RecordHead;
namespace PP = PackagePaths;

namespace {

constexpr const char* kDdeSyntax = "which the Program Manager command takes as syntax (it is not escaped)";

// "\",\", \"(\", ... or \"]\"": the Program Manager's syntax characters, listed.
std::string ListedDdeSyntax() {
    std::string list;
    const std::string_view chars = ProgManCommands::kSyntaxChars;
    for (std::size_t i = 0; i < chars.size(); ++i)
        list += (i == 0 ? "" : i + 1 == chars.size() ? " or " : ", ") + std::string("\"") + chars[i] + '"';
    return list;
}

constexpr std::array<std::string_view, 3> kBaseKeywords = {kInstallDir, kWindowsDir, kSystem32Dir};

std::string HexText(std::int64_t value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, value < 0 ? "%lld" : "0x%llX", static_cast<long long>(value));
    return buffer;
}

// Reads the description's tables, entry by entry, into the plan's records,
// then has the package rules check the whole.
class TDescription {
public:
    TDescription(const std::string& path, const TDescriptionOptions& options, TDiagnostics& diagnostics)
        : reader_(path, options.Defines, diagnostics),
          folder_(SourceFiles::FolderOf(path)),
          options_(options),
          out_(diagnostics) {
        plan_.Description = path;
        facts_.PackageAt = reader_.Whole();
    }

    TPackagePlan Read();

private:
    void Error(const TLocation& at, std::string text) { reader_.Error(at, std::move(text)); }
    void Warning(const TLocation& at, std::string text) { reader_.Warning(at, std::move(text)); }
    template <std::size_t N>
    void Put(TextField<N>& field, const std::string& utf8, const TLocation& at, std::string_view what) {
        reader_.Put(field, utf8, at, what);
    }

    void ReadPackage(const toml::table& root);
    void ReadSign(const toml::table& root);
    void ReadCodePage(TEntry& package);
    void ReadRegistration(TEntry& package);
    void ReadCatalog(TEntry& package);
    void AddRegistration();
    void ResolveStub(TEntry& package);
    void ResolveUninstaller(TEntry& package);
    void ReadStubRequest(TEntry& package);
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

    TDescriptionReader reader_;
    std::string folder_;  // relative sources are found below the description's folder
    const TDescriptionOptions& options_;
    TDiagnostics& out_;
    TPackagePlan plan_;
    TPackageFacts facts_;
    bool groupSeen_ = false;
    bool nameHasDdeSyntax_ = false;
    struct TUninstallerSource {
        std::string Path;
        TLocation Where;
    };
    std::optional<TUninstallerSource> uninstaller_;
    struct TRegistration {
        bool On = true;
        TRegistrationInfo Info;
        TLocation Where, IconWhere;
    };
    TRegistration registration_;
};

TPackagePlan TDescription::Read() {
    const std::optional<toml::table> root = reader_.Parse();
    if (!root) return plan_;
    reader_.CheckTopLevel(*root, {"package", "sign"}, {"folder", "file", "registry", "shell"});
    ReadPackage(*root);
    reader_.ForEach(*root, "folder", {"path", "base"}, [this](TEntry& e) { ReadFolder(e); });
    reader_.ForEach(*root, "file", {"source", "base", "folder", "name"}, [this](TEntry& e) { ReadFile(e); });
    reader_.ForEach(*root, "registry", {"root", "key", "name", "value"}, [this](TEntry& e) { ReadRegistry(e); });
    reader_.ForEach(*root, "shell", {"group", "item", "screensaver", "wallpaper", "target", "base"},
                    [this](TEntry& e) { ReadShell(e); });
    ReadSign(*root);
    AddUninstaller();
    AddRegistration();
    PackageRules::Apply(facts_, plan_, out_);
    return plan_;
}

void TDescription::ReadPackage(const toml::table& root) {
    const toml::table* table = root["package"].as_table();
    if (!table) {
        Error(reader_.Whole(), "the description needs a [package] table with at least name = \"...\"");
        return;
    }
    TEntry package(reader_, *table, "[package]", {"name", "author", "email", "website", "stub", "auto_folders", "uninstaller",
                                                  "icon", "version", "copyright", "codepage", "display_icon",
                                                  "help_link", "registration", "compression", "license",
                                                  "description"});
    facts_.PackageAt = package.At();
    ReadCodePage(package);
    ResolveStub(package);
    plan_.Header.Magic.TrySet(PackageMagic);
    if (const auto name = package.Required("name")) {
        if (name->empty()) Error(package.At("name"), "the application name is empty");
        Put(plan_.Header.AppName, *name, package.At("name"), "name");
        plan_.Stub.Name = *name;
        nameHasDdeSyntax_ = ProgManCommands::SyntaxChar(*name).has_value();
    }
    if (const auto author = package.Text("author")) {
        Put(plan_.Header.Author, *author, package.At("author"), "author");
        plan_.Stub.Author = *author;
        registration_.Info.Author = *author;
    }
    if (const auto email = package.Text("email")) Put(plan_.Header.Email, *email, package.At("email"), "email");
    if (const auto site = package.Text("website")) {
        Put(plan_.Header.Website, *site, package.At("website"), "website");
        registration_.Info.Website = *site;
    }
    if (const auto flag = package.Flag("auto_folders")) facts_.AutoFolders = *flag;
    if (const auto level = package.Text("compression")) {
        if (const auto compression = CompressionByName(*level))
            plan_.Compression = *compression;
        else
            Error(package.At("compression"), "compression must be \"none\", \"fast\" or \"best\"");
    }
    ResolveUninstaller(package);
    ReadStubRequest(package);
    ReadRegistration(package);
    ReadCatalog(package);
}

// Only catalogues of packages read these; the build keeps them as written.
void TDescription::ReadCatalog(TEntry& package) {
    TCatalogTexts& c = plan_.Catalog;
    c.Name = plan_.Stub.Name;
    c.Author = plan_.Stub.Author;
    if (plan_.Stub.Version) c.Version = plan_.Stub.Version->Text;
    c.Website = registration_.Info.Website;
    c.Copyright = plan_.Stub.Copyright;
    c.License = package.Text("license").value_or("");
    c.Description = package.Text("description").value_or("");
    if (c.Description.find_first_of("\r\n") != std::string::npos)
        Error(package.At("description"), "description must be one line (a short description of the program)");
    c.CodePage = facts_.AnsiCodePage;
    c.Where = package.At();
}

void TDescription::ReadCodePage(TEntry& package) {
    const toml::node* node = package.Node("codepage");
    if (!node) return;
    const std::optional<std::int64_t> number = node->value<std::int64_t>();
    if (!node->is_integer() || !number || *number < 0 || *number > 65535 ||
        !CodePage::Supported(static_cast<unsigned>(*number))) {
        Error(package.At("codepage"), "codepage must be one of " + CodePage::SupportedList() +
                                          " (the ANSI code page of the Windows the package is made for)");
        return;
    }
    reader_.SetCodePage(static_cast<unsigned>(*number));
    facts_.AnsiCodePage = static_cast<unsigned>(*number);
}

// The Programs and Features values beside the setup program's registration;
// the version was read (and checked) with the version resource's.
void TDescription::ReadRegistration(TEntry& package) {
    if (const auto flag = package.Flag("registration")) registration_.On = *flag;
    registration_.Where = package.At();
    TRegistrationInfo& info = registration_.Info;
    if (plan_.Stub.Version) info.Version = plan_.Stub.Version->Text;
    info.HelpLink = package.Text("help_link").value_or("");
    if (const auto icon = package.Text("display_icon")) {
        registration_.IconWhere = package.At("display_icon");
        if (const auto path = SubPath(package, "display_icon", *icon)) {
            if (path->empty()) Error(registration_.IconWhere, "display_icon is empty");
            info.DisplayIcon = *path;
        }
    }
}

// Inserted before the description's own values, so that they follow the
// setup program's registration directly.
void TDescription::AddRegistration() {
    if (!registration_.On || out_.HasErrors()) return;
    const unsigned codePage = facts_.AnsiCodePage;
    TRegistrationInfo& info = registration_.Info;
    if (!info.DisplayIcon.empty()) {
        const std::string icon = CodePage::FromUtf8(codePage, info.DisplayIcon).Text;
        const bool packed = std::any_of(plan_.Files.begin(), plan_.Files.end(), [&](const TPlannedFile& f) {
            return f.Record.BaseDir.Text() == kInstallDir &&
                   PP::SameName(PP::Join(f.Record.SubDir.Text(), f.Record.FileName.Text()), icon, codePage);
        });
        if (!packed) {
            Error(registration_.IconWhere, "display_icon " + Quoted(info.DisplayIcon) +
                                               " is not one of the package's files in the install folder");
            return;
        }
    }
    const std::string key = UninstallContract::RegistrationKeyOf(plan_.Header.AppName.Text());
    std::vector<TRegItem> records;
    for (const TRegistrationValue& value : RegistrationValues(info)) {
        TRegItem record{};
        record.RootKey.Set(UninstallContract::kRegistrationRoot);
        if (!record.Key.TrySet(key)) {
            Error(registration_.Where, "the uninstall key " + Quoted(CodePage::ToUtf8(codePage, key)) +
                                           " is longer than a registry key of a package can be (512)");
            return;
        }
        record.ValueName.TrySet(value.Name);
        Put(record.ValueData, value.Value, registration_.Where, value.Name);
        records.push_back(record);
    }
    // With the companion uninstaller every install can be removed unattended:
    // the setup program writes the values for that on this request, unless
    // the description writes a QuietUninstallString of its own.
    const std::string_view quiet = UninstallContract::kQuietUninstallStringValue;
    if (plan_.UninstallerFile && !RegistrationRecord(plan_.RegItems, plan_.Header.AppName.Text(), quiet)) {
        TRegItem request{};
        request.RootKey.Set(UninstallContract::kRegistrationRoot);
        request.Key.TrySet(key);
        request.ValueName.TrySet(quiet);
        request.ValueData.TrySet(UninstallContract::kQuietUninstallRequest);
        records.push_back(request);
    }
    plan_.RegItems.insert(plan_.RegItems.begin(), records.begin(), records.end());
}

// The icon and version resource of the stub's copy; their texts must have a
// form in the package's code page, as the header's do.
void TDescription::ReadStubRequest(TEntry& package) {
    TStubRequest& r = plan_.Stub;
    if (!options_.Icon.empty()) {
        r.IconPath = options_.Icon;
        r.IconWhere = reader_.Whole();
    } else if (const auto icon = package.Text("icon")) {
        r.IconPath = Glob::Anchor(folder_, *icon);
        r.IconWhere = package.At("icon");
        if (icon->empty()) Error(r.IconWhere, "the icon path is empty");
    }
    if (const auto version = package.Text("version")) {
        std::string problem;
        r.Version = VersionResource::ParseVersion(*version, problem);
        r.VersionWhere = package.At("version");
        if (!r.Version) Error(r.VersionWhere, problem);
    }
    if (const auto copyright = package.Text("copyright");
        copyright && reader_.InCodePage(*copyright, package.At("copyright"), "copyright"))
        r.Copyright = *copyright;
}

// The companion uninstaller: `uninstaller = true` takes the Uninstall.exe
// beside the stub (or beside makesetup), a text names the file.
void TDescription::ResolveUninstaller(TEntry& package) {
    TLocation at = reader_.Whole();
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
            path = SourceFiles::UninstallerBeside({plan_.StubPath});
            const std::string name(UninstallContract::kUninstallerName);
            if (path.empty()) path = SourceFiles::FindToolFile(options_.ToolPath, name);
            if (path.empty()) {
                facts_.UninstallerAsked = true;
                Error(at, "uninstaller = true, but no " + name + " lies beside the stub or makesetup; give its path: " +
                              "uninstaller = \"path/to/" + name + "\" or --uninstaller FILE");
                return;
            }
        }
    } else {
        return;
    }
    uninstaller_ = {path, at};
    facts_.UninstallerAsked = true;
}

void TDescription::ResolveStub(TEntry& package) {
    std::string stub;
    TLocation at = reader_.Whole();
    if (!options_.Stub.empty()) {
        stub = options_.Stub;
    } else if (package.Has("stub")) {
        const auto text = package.Text("stub");
        if (!text) return;
        stub = Glob::Anchor(folder_, *text);
        at = package.At("stub");
    } else if (const std::string beside = SourceFiles::FindToolFile(options_.ToolPath, "Setup.exe"); !beside.empty()) {
        stub = beside;
    } else {
        Error(reader_.Whole(), "no stub: give --stub SETUP.EXE, a stub = \"...\" key in [package], or put Setup.exe beside "
                       "makesetup");
        return;
    }
    const SourceFiles::TStub found = SourceFiles::ExamineStub(stub);
    if (!found.Problem.empty()) {
        Error(at, found.Problem);
        return;
    }
    for (const std::string& warning : found.Warnings) Warning(at, warning);
    plan_.StubPath = stub;
    plan_.StubSize = found.Size;
    reader_.Define("STUB_DIR", SourceFiles::FolderOf(Platform::Absolute(stub)));
}

std::optional<std::string> TDescription::Base(TEntry& entry) {
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

std::optional<std::string> TDescription::SubPath(TEntry& entry, std::string_view key, const std::string& text) {
    PP::TSubPath sub = PP::Normalize(text);
    if (!sub.Problem.empty()) {
        Error(entry.At(key), Quoted(key) + " " + Preview(text) + ": " + sub.Problem);
        return std::nullopt;
    }
    return sub.Path;
}

void TDescription::ReadFolder(TEntry& entry) {
    const auto base = Base(entry);
    const auto path = entry.Text("path");
    if (!base || (entry.Has("path") && !path)) return;
    const auto sub = SubPath(entry, "path", path.value_or(""));
    if (!sub) return;
    TDirItem record{};
    Put(record.BaseDir, *base, entry.At("base"), "base");
    Put(record.SubDir, *sub, entry.At("path"), "path");
    facts_.Folders.push_back({record.BaseDir.Text(), record.SubDir.Text(), entry.At()});
}

void TDescription::ReadFile(TEntry& entry) {
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
    for (const std::string& warning : found.Warnings) Warning(entry.At("source"), Preview(*source) + ": " + warning);
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

void TDescription::AddFile(const std::string& source, const std::string& base, const std::string& sub,
                      const std::string& name, const TLocation& at, const TLocation& sourceAt) {
    const SourceFiles::TSource found = SourceFiles::Examine(source);
    if (!found.Problem.empty()) {
        Error(sourceAt, found.Problem);
        return;
    }
    TPlannedFile file;
    file.Source = source;
    file.Size = found.Size;
    file.Where = at;
    file.FolderWhere = at;
    Put(file.Record.FileName, name, at, "the target name");
    Put(file.Record.BaseDir, base, at, "base");
    Put(file.Record.SubDir, sub, at, "the target folder");
    file.Record.Size.Set(static_cast<std::uint32_t>(found.Size));
    plan_.Files.push_back(std::move(file));
}

void TDescription::ReadRegistry(TEntry& entry) {
    TRegItem record{};
    const toml::node* root = entry.Node("root");
    if (!root) {
        Error(entry.At(), "[[registry]] needs \"root\" (HKCU, HKLM, HKCR, HKU or a number)");
    } else if (root->is_string()) {
        const auto name = entry.Text("root");
        const std::uint32_t value = name ? RegistryRoots::ByName(*name) : 0;
        if (name && value == 0)
            Error(entry.At("root"), "root " + Quoted(*name) + " is not a registry root: use HKCU, HKLM, HKCR, HKU, "
                                                              "HKCC or a predefined root's number");
        record.RootKey.Set(value);
    } else if (root->is_integer()) {
        const std::int64_t value = **root->as_integer();
        if (RegistryRoots::NameOf(value >= 0 && value <= 0xFFFFFFFF ? static_cast<std::uint32_t>(value) : 0).empty())
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

void TDescription::ReadShell(TEntry& entry) {
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

bool TDescription::CheckShellKeys(TEntry& entry, std::string_view key, TShellItemKind kind) {
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

void TDescription::ReadCaption(TEntry& entry, std::string_view key, const std::string& caption, TShellItem& record) {
    if (caption.empty()) Error(entry.At(key), "the " + std::string(key) + " caption is empty");
    Put(record.Caption, caption, entry.At(key), std::string(key) + " caption");
    if (const auto c = ProgManCommands::SyntaxChar(caption))
        Warning(entry.At(key), "caption " + Quoted(caption) + " contains \"" + std::string(1, *c) + "\", " +
                                   kDdeSyntax);
}

bool TDescription::ReadShellTarget(TEntry& entry, const std::string& key, const std::string& text, TShellItem& record) {
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
    facts_.ShellTargets.push_back({record.BaseDir.Text(), record.SubDir.Text(), record.FileName.Text(), entry.At(key)});
    if (record.Kind != skAddItem) return true;
    if (const auto c = ProgManCommands::SyntaxChar(*target))
        Warning(entry.At(key), "target " + Quoted(*target) + " contains \"" + std::string(1, *c) + "\", " + kDdeSyntax);
    else if (*base == kInstallDir && nameHasDdeSyntax_)
        Warning(entry.At(key), "the default install folder holds the application name, whose " + ListedDdeSyntax() +
                                   " the Program Manager command takes as syntax");
    return true;
}

// [sign]: a signer command, or a certificate and key for osslsigncode.
void TDescription::ReadSign(const toml::table& root) {
    const toml::table* table = root["sign"].as_table();
    if (!table) return;
    TEntry sign(reader_, *table, "[sign]", {"command", "certificate", "key", "pkcs12", "password_env"});
    const auto path = [&](std::string_view key) -> std::string {
        const auto text = sign.Text(key);
        return text ? Platform::Absolute(Glob::Anchor(folder_, *text)) : std::string();
    };
    const bool pem = sign.Has("certificate") || sign.Has("key");
    if (sign.Has("command")) {
        if (pem || sign.Has("pkcs12"))
            Error(sign.At("command"), "[sign] takes either a command or a certificate for osslsigncode, not both");
        else if (const auto command = sign.Text("command"))
            plan_.Sign.Command = *command;
        return;
    }
    if (pem == sign.Has("pkcs12") || (pem && !(sign.Has("certificate") && sign.Has("key")))) {
        Error(sign.At(), "[sign] needs command = \"...\", or certificate and key, or pkcs12");
        return;
    }
    plan_.Sign = {"", path("certificate"), path("key"), path("pkcs12"), sign.Text("password_env").value_or("")};
}

// Added after the description's own files: one of those named Uninstall.exe
// in the install folder would be replaced by it (and is warned about).
void TDescription::AddUninstaller() {
    if (!uninstaller_) return;
    const std::size_t at = plan_.Files.size();
    AddFile(uninstaller_->Path, std::string(kInstallDir), "", std::string(UninstallContract::kUninstallerName),
            uninstaller_->Where, uninstaller_->Where);
    if (plan_.Files.size() > at) plan_.UninstallerFile = at;  // signed before it is packed
}

}  // namespace

TPackagePlan ReadDescription(const std::string& path, const TDescriptionOptions& options, TDiagnostics& diagnostics) {
    return TDescription(path, options, diagnostics).Read();
}
