#include "uninstaller/WorkingCopy.h"

#include <windows.h>

#include "system/Handles.h"
#include "uninstaller/CommandLine.h"

namespace {

// The original ends right after starting the copy; this only guards against
// one that hangs.
constexpr DWORD kOriginalWait = 30000;

std::string TemporaryPath(const char* suffix) {
    char folder[MAX_PATH];
    const DWORD length = ::GetTempPathA(sizeof folder, folder);
    if (length == 0 || length >= sizeof folder) return {};
    return std::string(folder, length) + "Uninstall-" + std::to_string(::GetCurrentProcessId()) + suffix;
}

// Waits for PROCESS to end while answering the messages other programs send
// to this one's windows: the shell broadcasts to every top-level window, and
// a window that never answers stalls it and, through it, the working copy's
// own conversation with Program Manager.
bool WaitAnsweringMessages(HANDLE process) {
    for (;;) {
        const DWORD woke = ::MsgWaitForMultipleObjects(1, &process, FALSE, INFINITE, QS_ALLINPUT);
        if (woke == WAIT_OBJECT_0) return true;
        if (woke != WAIT_OBJECT_0 + 1) return false;
        MSG message;
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&message);
    }
}

}  // namespace

std::optional<int> StartWorkingCopy(const std::string& self, const std::string& switches, bool wait) {
    const std::string copy = TemporaryPath(".exe");
    if (copy.empty() || !::CopyFileA(self.c_str(), copy.c_str(), FALSE)) return std::nullopt;

    // The copy learns when this process has ended through an inherited handle.
    HANDLE parent = nullptr;
    if (!::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentProcess(), ::GetCurrentProcess(), &parent, SYNCHRONIZE,
                           TRUE, 0)) {
        ::DeleteFileA(copy.c_str());
        return std::nullopt;
    }
    UniqueKernelHandle parentHandle(parent);
    std::string commandLine =
        WorkingCopyCommandLine(copy, {self, reinterpret_cast<std::uintptr_t>(parentHandle.get()), switches});

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    // Started in the temporary folder, so that no process holds the install folder.
    char folder[MAX_PATH];
    const DWORD folderLength = ::GetTempPathA(sizeof folder, folder);
    if (!::CreateProcessA(copy.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                          folderLength ? folder : nullptr, &startup, &process)) {
        ::DeleteFileA(copy.c_str());
        return std::nullopt;
    }
    ::CloseHandle(process.hThread);
    UniqueKernelHandle copyProcess(process.hProcess);
    if (!wait) return 0;
    DWORD code = 1;
    if (!WaitAnsweringMessages(copyProcess.get()) || !::GetExitCodeProcess(copyProcess.get(), &code))
        return 1;
    return static_cast<int>(code);
}

void WaitForOriginal(std::uintptr_t parentHandle) {
    UniqueKernelHandle parent(reinterpret_cast<HANDLE>(parentHandle));
    if (parent) ::WaitForSingleObject(parent.get(), kOriginalWait);
}

bool RemoveAtRestart(const std::string& path) {
    return ::MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}

bool MoveAwayAndRemoveAtRestart(const std::string& path) {
    const std::string away = TemporaryPath("-original.exe");
    if (away.empty() || !::MoveFileExA(path.c_str(), away.c_str(), MOVEFILE_REPLACE_EXISTING)) return false;
    RemoveAtRestart(away);
    return true;
}
