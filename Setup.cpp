// Setup: the program entry. Loads the package appended to the running
// executable and, when there is one, runs the wizard until it closes; with
// the switch /S, installs it without a window instead.
#include <windows.h>

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

#include "package/DdeInstance.h"
#include "package/CompressedReading.h"
#include "package/ZodiDuradad.h"
#include "system/Errors.h"
#include "system/uCustomModule.h"
#include "ui/Application.h"
#include "unattended/SilentInstall.h"
#include "unattended/Switches.h"
#include "wizard/Welcome.h"

namespace {

std::string FileNameOf(const std::string& path) { return path.substr(path.find_last_of("\\/:") + 1); }

// The start-up error box: no owner, task-modal, caption "Application Error".
void ShowApplicationError(const char* typeName, std::string_view message, const void* raiseAddress) {
    const auto base = reinterpret_cast<std::uintptr_t>(::GetModuleHandleA(nullptr));
    const auto address = reinterpret_cast<std::uintptr_t>(raiseAddress);
    const auto relative = static_cast<std::uint32_t>(address >= base ? address - base : 0);
    const std::string text = ErrorText::ApplicationErrorBox(typeName, FileNameOf(ExecutablePath()), relative, message);
    ::MessageBoxA(nullptr, text.c_str(), "Application Error", MB_TASKMODAL | MB_ICONSTOP | MB_OK);
}

int Run() {
    TDdeInstance dde;          // before any code of ours needs it
    TApplication application;  // COM, common controls, the hidden window
    SetProcessMessages([] { TApplication::Current()->ProcessMessagesAfterItem(); });
    TVazuravAzoz pack;
    // Without a valid trailer the program ends silently.
    if (pack.OpenPackage(ExecutablePath(), kFullReading)) ShowWizard(pack);
    SetProcessMessages(nullptr);
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // With /S (and only switches) the install runs without a window;
    // any other command line is ignored, as it always was.
    if (const auto switches = ParseSwitches(ArgumentsOf(::GetCommandLineA()), true)) return RunSilentInstall(*switches);
    try {
        return Run();
    } catch (const std::exception&) {
        const TErrorDescription error = DescribeCurrentError();
        ShowApplicationError(error.TypeName.c_str(), error.Message, error.RaiseAddress);
    }
    return 1;
}
