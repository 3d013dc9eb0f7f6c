// The Programs and Features entry: the values makesetup adds to a package's
// registry table beside the two the setup program writes itself, under the
// same key (their names: package/UninstallContract.h).
#pragma once

#include <string>
#include <vector>

struct TRegistrationInfo {
    std::string Version;      // DisplayVersion
    std::string Author;       // Publisher
    std::string Website;      // URLInfoAbout
    std::string HelpLink;     // HelpLink
    std::string DisplayIcon;  // a path below the install folder, backslashes; empty for none
};

struct TRegistrationValue {
    std::string Name, Value;
};

// The values in the order they are written; an empty text gives no value.
// InstallLocation is always there, as "{InstallDir}".
std::vector<TRegistrationValue> RegistrationValues(const TRegistrationInfo& info);
