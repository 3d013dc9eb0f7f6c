#include "tools/description/Registration.h"

#include "package/RecordHead.h"
#include "package/UninstallContract.h"

std::vector<TRegistrationValue> RegistrationValues(const TRegistrationInfo& info) {
    using namespace UninstallContract;
    std::vector<TRegistrationValue> values;
    auto add = [&](std::string_view name, const std::string& value) {
        if (!value.empty()) values.push_back({std::string(name), value});
    };
    const std::string installDir(RecordHead::kInstallDirMacro);
    add(kDisplayVersionValue, info.Version);
    add(kPublisherValue, info.Author);
    add(kUrlInfoAboutValue, info.Website);
    add(kInstallLocationValue, installDir);
    if (!info.DisplayIcon.empty()) add(kDisplayIconValue, installDir + "\\" + info.DisplayIcon);
    add(kHelpLinkValue, info.HelpLink);
    return values;
}
