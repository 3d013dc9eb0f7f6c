// The Programs and Features values that let deployment tools remove an
// install without a person: written after the package's own values, only
// for a package that asks for them.
#include <windows.h>

#include "package/UninstallContract.h"
#include "package/UninstallRecords.h"
#include "package/ZodiDuradad.h"
#include "system/Errors.h"
#include "system/Handles.h"
#include "system/uCustomModule.h"

using namespace RecordHead;

namespace {

void SetValue(HKEY key, std::string_view name, DWORD type, const void* data, DWORD size) {
    const std::string valueName(name);
    if (::RegSetValueExA(key, valueName.c_str(), 0, type, static_cast<const BYTE*>(data), size) != ERROR_SUCCESS)
        throw ERegistryException(ErrorText::RegistrySetData(valueName));
}

void SetDword(HKEY key, std::string_view name, DWORD value) { SetValue(key, name, REG_DWORD, &value, sizeof value); }

void SetString(HKEY key, std::string_view name, const std::string& value) {
    SetValue(key, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

std::uint64_t FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (std::uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

void TVazuravAzoz::WriteQuietUninstallValues() {
    using namespace UninstallContract;
    if (!AsksForQuietUninstall(RegItems, GetAppName())) return;
    UniqueRegKey key;
    if (::RegCreateKeyExA(RootKeyOf(kRegistrationRoot), RegistrationKeyOf(GetAppName()).c_str(), 0, nullptr,
                          REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key.put(), nullptr) != ERROR_SUCCESS)
        throw ERegistryException(ErrorText::RegistrySetData(std::string(kQuietUninstallStringValue)));

    // Quoted when it holds a blank (a long path, where no short one exists),
    // so that the switch is not read as part of the program's name.
    const std::string program = UninstallCommand();
    const std::string command =
        (program.find(' ') == std::string::npos ? program : '"' + program + '"') + std::string(kSilentSwitch);
    const std::string keyPath = RegistrationKeyOf(GetAppName());
    SetString(key.get(), kQuietUninstallStringValue, command);
    ReportStep(RegistryStepText(kRegistrationRoot, keyPath, kQuietUninstallStringValue, '"' + command + '"'));

    // Every file the package put down counts once, wherever it lies.
    TSeenTexts seen;
    std::uint64_t bytes = 0;
    for (const TFileItem& item : Files) {
        const std::string target = ResolvePath(item.BaseDir.Text(), item.SubDir.Text(), item.FileName.Text());
        if (seen.Insert(target)) bytes += FileSize(target);
    }
    SetDword(key.get(), kEstimatedSizeValue, KiBytesOf(bytes));
    ReportStep(RegistryStepText(kRegistrationRoot, keyPath, kEstimatedSizeValue,
                                "dword " + std::to_string(KiBytesOf(bytes))));
    for (const std::string_view name : {kNoModifyValue, kNoRepairValue}) {
        SetDword(key.get(), name, 1);
        ReportStep(RegistryStepText(kRegistrationRoot, keyPath, name, "dword 1"));
    }
}
