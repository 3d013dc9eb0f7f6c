#include "tools/description/Registration.h"

#include "package/RecordHead.h"

std::vector<TRegistrationValue> RegistrationValues(const TRegistrationInfo& info) {
    std::vector<TRegistrationValue> values;
    auto add = [&](const char* name, const std::string& value) {
        if (!value.empty()) values.push_back({name, value});
    };
    const std::string installDir(RecordHead::kInstallDirMacro);
    add("DisplayVersion", info.Version);
    add("Publisher", info.Author);
    add("URLInfoAbout", info.Website);
    add("InstallLocation", installDir);
    if (!info.DisplayIcon.empty()) add("DisplayIcon", installDir + "\\" + info.DisplayIcon);
    add("HelpLink", info.HelpLink);
    return values;
}
