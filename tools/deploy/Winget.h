// winget's manifests for one version of a package: the version, installer
// and default-locale manifests of manifest version 1.10.0, in the YAML its
// community repository keeps. Their values come from the description (the
// catalogue texts) and from the setup executable itself (what it writes to
// Programs and Features), so that winget finds the install it made.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "package/RecordHead.h"
#include "tools/description/Diagnostics.h"
#include "tools/description/PackagePlan.h"

namespace Winget {

inline constexpr std::string_view kManifestVersion = "1.10.0";
inline constexpr std::string_view kLocale = "en-US";

// The command line's part.
struct TRequest {
    std::string Identifier;       // --id PUBLISHER.NAME
    std::string InstallerUrl;     // --url: where winget downloads the setup executable
    std::string InstallerSha256;  // of the setup executable, 64 hex digits
    std::string Installer;        // its path, for the messages
};

// What the setup program writes to Programs and Features, in UTF-8: the
// uninstall key's name and the values winget matches an install by; an
// empty text is a value it does not write.
struct TRegistration {
    std::string KeyName, DisplayName, Publisher, DisplayVersion;
};

struct TManifest {
    std::string FileName;  // ID.yaml, ID.installer.yaml, ID.locale.en-US.yaml
    std::string Text;
};

// The registration of a package with this header and registry table (its
// texts in `codePage`): DisplayName is the application's name unless a
// record below its uninstall key writes another; Publisher and
// DisplayVersion are the last such records' texts.
TRegistration RegistrationOf(const RecordHead::TPackHeader& header, std::span<const RecordHead::TRegItem> regItems,
                             unsigned codePage);

// The three manifests. A key the manifests need that the description lacks,
// a text winget's format refuses (too short or long, an identifier or URL of
// the wrong form) and a setup executable built from another description or
// version are errors in `diagnostics`, each naming where the value came
// from; then nothing is returned.
std::vector<TManifest> Manifests(const TCatalogTexts& texts, const TRegistration& registration,
                                 const TRequest& request, TDiagnostics& diagnostics);

// The SHA-256 of a file's contents in upper-case hex, read in pieces;
// raises the file stream's errors.
std::string FileSha256(const std::string& path);

// A text as a YAML scalar: plain where YAML reads it back as this same
// string, double-quoted otherwise.
std::string YamlScalar(std::string_view text);

}  // namespace Winget
