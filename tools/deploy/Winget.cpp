#include "tools/deploy/Winget.h"

#include <cstdio>
#include <regex>

#include "package/UninstallContract.h"
#include "package/UninstallRecords.h"
#include "system/FileStream.h"
#include "tools/platform/CodePage.h"
#include "tools/platform/Platform.h"
#include "tools/signature/Digest.h"
#include "unattended/ExitCodes.h"

namespace Winget {

namespace {

const TLocation kCommandLine{"makesetup winget", 0};

// JSON schemas count characters, not bytes.
std::size_t Characters(std::string_view utf8) {
    std::size_t n = 0;
    for (const char c : utf8) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

bool IsUrl(std::string_view text) {
    static const std::regex url("[Hh][Tt][Tt][Pp][Ss]?://.+");
    return Characters(text) <= 2048 && std::regex_match(text.begin(), text.end(), url);
}

// Two to eight parts separated by dots, each of 1 to 32 characters that are
// not blanks, control characters or \ / : * ? " < > |.
bool IsIdentifier(std::string_view id) {
    if (Characters(id) > 128) return false;
    std::size_t parts = 0, start = 0;
    while (true) {
        const std::size_t dot = std::min(id.find('.', start), id.size());
        const std::string_view part = id.substr(start, dot - start);
        const std::size_t length = Characters(part);
        if (length < 1 || length > 32 || part.find_first_of(" \t\r\n\v\f\\/:*?\"<>|") != std::string_view::npos)
            return false;
        for (const char c : part)
            if (static_cast<unsigned char>(c) < 0x20) return false;
        ++parts;
        if (dot == id.size()) break;
        start = dot + 1;
    }
    return parts >= 2 && parts <= 8;
}

// A [package] key's text that the manifest field `field` takes, of `min` to
// `max` characters.
void CheckKey(const TCatalogTexts& texts, TDiagnostics& out, std::string_view key, const std::string& text,
              std::string_view field, std::size_t min, std::size_t max, bool required) {
    if (text.empty()) {
        if (required)
            out.Error(texts.Where, "the winget manifests need " + std::string(key) + " = \"...\" in [package] (their " +
                                       std::string(field) + ")");
        return;
    }
    const std::size_t n = Characters(text);
    if (n < min || n > max)
        out.Error(texts.Where, std::string(key) + " " + Preview(text) + " is " + std::to_string(n) +
                                   (n == 1 ? " character" : " characters") + " long; winget's " +
                                   std::string(field) + " takes " + std::to_string(min) + " to " + std::to_string(max));
}

void CheckAll(const TCatalogTexts& texts, const TRegistration& registration, const TRequest& request,
              TDiagnostics& out) {
    auto key = [&](std::string_view name, const std::string& text, std::string_view field, std::size_t min,
                   std::size_t max, bool required) { CheckKey(texts, out, name, text, field, min, max, required); };
    key("name", texts.Name, "PackageName", 2, 256, true);
    key("author", texts.Author, "Publisher", 2, 256, true);
    key("version", texts.Version, "PackageVersion", 1, 128, true);  // numbers and dots, as the reader checked
    key("license", texts.License, "License", 3, 512, true);
    key("description", texts.Description, "ShortDescription", 3, 256, true);
    key("copyright", texts.Copyright, "Copyright", 3, 512, false);
    if (!texts.Website.empty() && !IsUrl(texts.Website))
        out.Error(texts.Where, "website " + Preview(texts.Website) +
                                     " is not an http:// or https:// address, as winget's PackageUrl must be");
    if (!IsIdentifier(request.Identifier))
        out.Error(kCommandLine, "--id " + Quoted(request.Identifier) +
                                      " is not a winget package identifier: 2 to 8 parts joined by dots (PUBLISHER.NAME), "
                                      "each 1 to 32 characters without blanks or \\ / : * ? \" < > |");
    if (!IsUrl(request.InstallerUrl))
        out.Error(kCommandLine, "--url " + Preview(request.InstallerUrl) +
                                      " is not an http:// or https:// address of at most 2048 characters");

    // The installer must be the one this description builds: winget finds
    // the install by the key and version it registers.
    const TLocation installer{request.Installer, 0};
    if (registration.KeyName != texts.Name)
        out.Error(installer, "holds the package " + Quoted(registration.KeyName) + ", not " + Quoted(texts.Name) +
                                   " of " + texts.Where.File);
    else if (!registration.DisplayVersion.empty() && !texts.Version.empty() && registration.DisplayVersion != texts.Version)
        out.Error(installer, "registers version " + Quoted(registration.DisplayVersion) + ", not " +
                                   Quoted(texts.Version) + " of " + texts.Where.File + " (build it again)");
    if (Characters(registration.KeyName) > 255)
        out.Error(installer, "the uninstall key's name is longer than winget's ProductCode takes (255 characters)");
}

bool LooksLikeOtherType(std::string_view text) {
    // What YAML 1.1 or 1.2 would read as null, a boolean, a number or a date.
    static const std::regex other(
        "~|null|Null|NULL|true|True|TRUE|false|False|FALSE|yes|Yes|YES|no|No|NO|on|On|ON|off|Off|OFF|y|Y|n|N|=|<<"
        "|[-+]?(\\.[0-9_]+|[0-9][0-9_]*(\\.[0-9_]*)?)([eE][-+]?[0-9]+)?"
        "|[-+]?0[bBoOxX][0-9a-fA-F_]+"
        "|[-+]?[0-9][0-9_]*(:[0-5]?[0-9])+(\\.[0-9_]*)?"
        "|[-+]?\\.(inf|Inf|INF)|\\.(nan|NaN|NAN)"
        "|[0-9]{4}-[0-9]{1,2}-[0-9]{1,2}([Tt ].*)?");
    return std::regex_match(text.begin(), text.end(), other);
}

bool Plain(std::string_view text) {
    if (text.empty() || text.front() == ' ' || text.back() == ' ' || text.back() == ':') return false;
    if (std::string_view("-?:,[]{}#&*!|>'\"%@`").find(text.front()) != std::string_view::npos) return false;
    if (text.find(": ") != std::string_view::npos || text.find(" #") != std::string_view::npos) return false;
    for (const char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F || c == '"' || c == '\\')
            return false;
    return !LooksLikeOtherType(text);
}

// Builds one manifest's lines.
class TYaml {
public:
    explicit TYaml(std::string_view type) {
        text_ = "# Created with makesetup\n# yaml-language-server: $schema=https://aka.ms/winget-manifest." +
                std::string(type) + "." + std::string(kManifestVersion) + ".schema.json\n\n";
        type_ = type;
    }
    TYaml& Field(std::string_view key, std::string_view value, int indent = 0, bool item = false) {
        Start(key, indent, item);
        text_ += " " + YamlScalar(value) + "\n";
        return *this;
    }
    TYaml& Number(std::string_view key, long long value, int indent = 0, bool item = false) {
        Start(key, indent, item);
        text_ += " " + std::to_string(value) + "\n";
        return *this;
    }
    TYaml& Open(std::string_view key, int indent = 0) {
        Start(key, indent, false);
        text_ += "\n";
        return *this;
    }
    TYaml& Item(long long value) {
        text_ += "- " + std::to_string(value) + "\n";
        return *this;
    }
    TYaml& List(std::string_view key, std::initializer_list<std::string_view> items) {
        Open(key);
        for (const std::string_view item : items) text_ += "- " + YamlScalar(item) + "\n";
        return *this;
    }
    std::string End() {
        Field("ManifestType", type_);
        Field("ManifestVersion", kManifestVersion);
        return text_;
    }

private:
    void Start(std::string_view key, int indent, bool item) {
        text_ += std::string(static_cast<std::size_t>(indent), ' ') + (item ? "- " : "") + std::string(key) + ":";
    }
    std::string text_;
    std::string type_;
};

struct TCode {
    int Code;
    const char* Response;
};

}  // namespace

std::string YamlScalar(std::string_view text) {
    if (Plain(text)) return std::string(text);
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        // The line breaks of YAML 1.1 beyond ASCII would be folded if left raw.
        const std::string_view rest = text.substr(i);
        if (rest.starts_with("\xC2\x85")) {
            out += "\\N", ++i;
        } else if (rest.starts_with("\xE2\x80\xA8") || rest.starts_with("\xE2\x80\xA9")) {
            out += rest[2] == '\xA8' ? "\\L" : "\\P", i += 2;
        } else if (c == '"' || c == '\\') {
            out += '\\', out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

TRegistration RegistrationOf(const RecordHead::TPackHeader& header, std::span<const RecordHead::TRegItem> regItems,
                             unsigned codePage) {
    using namespace UninstallContract;
    const std::string app = header.AppName.Text();
    auto value = [&](std::string_view name, std::string fallback) {
        const RecordHead::TRegItem* item = RegistrationRecord(regItems, app, name);
        return item ? CodePage::ToUtf8(codePage, item->ValueData.Text()) : fallback;
    };
    TRegistration r;
    r.KeyName = CodePage::ToUtf8(codePage, app);
    r.DisplayName = value(kDisplayNameValue, r.KeyName);
    r.Publisher = value(kPublisherValue, "");
    r.DisplayVersion = value(kDisplayVersionValue, "");
    return r;
}

std::vector<TManifest> Manifests(const TCatalogTexts& texts, const TRegistration& registration,
                                 const TRequest& request, TDiagnostics& diagnostics) {
    const std::size_t before = diagnostics.Items().size();
    CheckAll(texts, registration, request, diagnostics);
    for (std::size_t i = before; i < diagnostics.Items().size(); ++i)
        if (diagnostics.Items()[i].IsError) return {};

    const std::string& id = request.Identifier;
    auto head = [&](std::string_view type) {
        TYaml yaml(type);
        yaml.Field("PackageIdentifier", id).Field("PackageVersion", texts.Version);
        return yaml;
    };

    TYaml version = head("version");
    version.Field("DefaultLocale", kLocale);

    TYaml installer = head("installer");
    installer.Field("InstallerType", "exe").Field("Scope", "machine");
    installer.List("InstallModes", {"interactive", "silent", "silentWithProgress"});
    // The switches of the setup program's unattended mode.
    installer.Open("InstallerSwitches")
        .Field("Silent", "/S", 2)
        .Field("SilentWithProgress", "/S", 2)
        .Field("InstallLocation", "/D=<INSTALLPATH>", 2)
        .Field("Log", "/LOG=<LOGPATH>", 2);
    installer.Open("InstallerSuccessCodes").Item(ExitCode::kNoProgramManager);
    const TCode expected[] = {{ExitCode::kUnexpected, "contactSupport"},
                              {ExitCode::kNotAPackage, "contactSupport"},
                              {ExitCode::kFolderRefused, "invalidParameter"},
                              {ExitCode::kInstallFailed, "contactSupport"},
                              {ExitCode::kLogNotWritten, "invalidParameter"}};
    installer.Open("ExpectedReturnCodes");
    for (const TCode& code : expected)
        installer.Number("InstallerReturnCode", code.Code, 0, true).Field("ReturnResponse", code.Response, 2);
    installer.Field("UpgradeBehavior", "install").Field("ElevationRequirement", "elevatesSelf");
    installer.Field("ProductCode", registration.KeyName);
    installer.Open("AppsAndFeaturesEntries").Field("DisplayName", registration.DisplayName, 0, true);
    if (!registration.Publisher.empty()) installer.Field("Publisher", registration.Publisher, 2);
    if (!registration.DisplayVersion.empty()) installer.Field("DisplayVersion", registration.DisplayVersion, 2);
    installer.Field("ProductCode", registration.KeyName, 2);
    installer.Open("Installers")
        .Field("Architecture", "x86", 0, true)
        .Field("InstallerUrl", request.InstallerUrl, 2)
        .Field("InstallerSha256", request.InstallerSha256, 2);

    TYaml locale = head("defaultLocale");
    locale.Field("PackageLocale", kLocale).Field("Publisher", texts.Author).Field("PackageName", texts.Name);
    if (!texts.Website.empty()) locale.Field("PackageUrl", texts.Website);
    locale.Field("License", texts.License);
    if (!texts.Copyright.empty()) locale.Field("Copyright", texts.Copyright);
    locale.Field("ShortDescription", texts.Description);

    return {{id + ".yaml", version.End()},
            {id + ".installer.yaml", installer.End()},
            {id + ".locale." + std::string(kLocale) + ".yaml", locale.End()}};
}

std::string FileSha256(const std::string& path) {
    TFileStream file = TFileStream::OpenRead(Platform::ToNative(path));
    std::string hex;
    for (const std::uint8_t byte : DigestOf(DigestKind::Sha256, file)) {
        char two[3];
        std::snprintf(two, sizeof two, "%02X", byte);
        hex += two;
    }
    return hex;
}

}  // namespace Winget
