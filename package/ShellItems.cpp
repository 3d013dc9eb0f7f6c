// The shell-item step: Program Manager groups and items over DDE, the screen
// saver and the desktop wallpaper.
#include <windows.h>

#include <array>

#include "package/ActiveDesktop.h"
#include "package/ProgManCommands.h"
#include "package/ProgManConversation.h"
#include "package/ZodiDuradad.h"
#include "system/ComPtr.h"
#include "system/Errors.h"
#include "system/uCustomModule.h"

using namespace RecordHead;

namespace {

constexpr DWORD kGroupPauseMs = 1000;
constexpr char kDisplayControlPanel[] = "rundll32.exe shell32.dll,Control_RunDLL desk.cpl,,1";

[[noreturn]] void RaiseOleError(HRESULT status) {
    char buffer[512];
    const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                          static_cast<DWORD>(status), 0, buffer, sizeof buffer, nullptr);
    const std::string text = ErrorText::TrimSystemText(std::string_view(buffer, length));
    Raise(EOleSysError(ErrorText::OleError(status, text), status));
}

// At most 259 characters and a NUL; a path that does not fit gives "".
std::array<wchar_t, 260> WidePath(const std::string& path) {
    std::array<wchar_t, 260> wide{};
    const int converted = ::MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), wide.data(),
                                                static_cast<int>(wide.size() - 1));
    if (converted <= 0) wide.fill(L'\0');  // a failed conversion may have left a part behind
    return wide;
}

void WriteScreenSaverIni(const std::string& path) {
    const std::string iniPath = GetWindowsDir() + "\\system.ini";
    const std::string value = GetShortPath(path);  // no fallback: a missing file writes ""
    if (!::WritePrivateProfileStringA("boot", "SCRNSAVE.EXE", value.c_str(), iniPath.c_str()))
        Raise(EIniFileException(ErrorText::IniWrite(iniPath)));
    ::WritePrivateProfileStringA(nullptr, nullptr, nullptr, iniPath.c_str());  // flush the profile cache
}

// Failures of this branch (missing key, no access, failed write) are passed
// over: nothing here raises, and no result is looked at.
void WriteScreenSaverRegistry(const std::string& path) {
    UniqueRegKey key;
    ::RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\desktop", 0, KEY_ALL_ACCESS, key.put());
    const std::string value = GetShortPath(path);
    if (key)
        ::RegSetValueExA(key.get(), "SCRNSAVE.EXE", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                         static_cast<DWORD>(value.size() + 1));
}

}  // namespace

void TVazuravAzoz::CreateShellItems() {
    TProgManConversation conversation;
    if (!conversation.Open()) return;  // nothing is processed without the Program Manager
    for (const TShellItem& item : ShellItems) {
        const std::string caption = item.Caption.Text();
        const auto target = [&] { return ResolvePath(item.BaseDir.Text(), item.SubDir.Text(), item.FileName.Text()); };
        switch (item.Kind) {
            case skCreateGroup:
                conversation.Execute(ProgManCommands::CreateGroup(caption));
                ::Sleep(kGroupPauseMs);  // lets the shell make the group before items arrive
                break;
            case skAddItem:
                conversation.Execute(ProgManCommands::AddItem(target(), caption));
                break;
            case skScreenSaver:
                SetScreenSaver(target());
                ::WinExec(kDisplayControlPanel, SW_RESTORE);
                break;
            case skWallpaper:
                SetWallpaper(target());
                break;
            default:  // skNone and unknown kinds
                break;
        }
        ReportProgress("Create group");
    }
}

void TVazuravAzoz::SetScreenSaver(const std::string& Path) {
    const TWinVersionClass version = GetWinVersion();
    if (version >= wcNT4 && version <= wc98SE)
        WriteScreenSaverIni(Path);
    else if (version >= wc2000 && version <= wcXP)
        WriteScreenSaverRegistry(Path);
}

void TVazuravAzoz::SetWallpaper(const std::string& Path) {
    // COM is initialised for the thread by the application object (TApplication).
    ComPtr<IUnknown> object;
    const HRESULT created = ::CoCreateInstance(ActiveDesktop::kClassId, nullptr,
                                               CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                               object.put_void());
    if (FAILED(created)) RaiseOleError(created);
    ComPtr<ActiveDesktop::IActiveDesktop> desktop;
    if (FAILED(object.As(ActiveDesktop::kInterfaceId, desktop)) || !desktop)
        Raise(EIntfCastError(std::string(ErrorText::InterfaceNotSupported)));
    const std::array<wchar_t, 260> wallpaper = WidePath(Path);
    desktop->SetWallpaper(wallpaper.data(), 0);
    desktop->ApplyChanges(ActiveDesktop::kApplyAll);
}
