#include "system/uCustomModule.h"

#include <shlobj.h>

#include <vector>

#include "system/ComPtr.h"
#include "system/Errors.h"

namespace {

TVersionFigures ReadVersionFigures() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!::GetVersionExA(&info)) return {};
    return {info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber, info.dwPlatformId};
}

// Taken once, as the program starts.
const TVersionFigures gVersionFigures = ReadVersionFigures();

HWND gApplicationWindow = nullptr;

// Disables the thread's visible, enabled top-level windows for the lifetime
// of the object and enables again those that still exist.
class ThreadWindowsDisabled {
public:
    ThreadWindowsDisabled() { ::EnumThreadWindows(::GetCurrentThreadId(), &Collect, reinterpret_cast<LPARAM>(this)); }
    ~ThreadWindowsDisabled() {
        for (HWND window : disabled_)
            if (::IsWindow(window)) ::EnableWindow(window, TRUE);
    }
    ThreadWindowsDisabled(const ThreadWindowsDisabled&) = delete;
    ThreadWindowsDisabled& operator=(const ThreadWindowsDisabled&) = delete;

private:
    static BOOL CALLBACK Collect(HWND window, LPARAM self) {
        if (::IsWindowVisible(window) && ::IsWindowEnabled(window)) {
            reinterpret_cast<ThreadWindowsDisabled*>(self)->disabled_.push_back(window);
            ::EnableWindow(window, FALSE);
        }
        return TRUE;
    }
    std::vector<HWND> disabled_;
};

class ErrorModeSet {
public:
    explicit ErrorModeSet(UINT mode) : previous_(::SetErrorMode(mode)) {}
    ~ErrorModeSet() { ::SetErrorMode(previous_); }
    ErrorModeSet(const ErrorModeSet&) = delete;
    ErrorModeSet& operator=(const ErrorModeSet&) = delete;

private:
    UINT previous_;
};

// Memory from the shell's allocator, freed through it.
struct ShellMemory {
    IMalloc* allocator;
    void* block;
    ~ShellMemory() {
        if (block) allocator->Free(block);
    }
};

std::wstring ToWide(const std::string& text) {
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), length);
    wide.resize(static_cast<std::size_t>(length - 1));
    return wide;
}

std::string FolderOf(UINT (*query)(LPSTR, UINT)) {
    char buffer[261];
    const UINT length = query(buffer, sizeof buffer);
    if (length == 0 || length >= sizeof buffer) return {};
    return std::string(buffer, length);
}

}  // namespace

TWinVersionClass GetWinVersion() { return ClassifyWinVersion(gVersionFigures); }

std::string GetWindowsDir() {
    return FolderOf([](LPSTR b, UINT n) { return ::GetWindowsDirectoryA(b, n); });
}

std::string GetSystemDir() {
    return FolderOf([](LPSTR b, UINT n) { return ::GetSystemDirectoryA(b, n); });
}

bool DirExists(const std::string& Dir) {
    const DWORD attributes = ::GetFileAttributesA(Dir.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool ForceDirs(const std::string& Dir) {
    if (Dir.empty()) Raise(EInOutError(std::string(ErrorText::CreateDirectory), ERROR_PATH_NOT_FOUND));
    std::string dir = Dir;
    if (EndsWithBackslash(dir, IsAnsiLeadByte)) dir.pop_back();
    if (dir.size() < 3 || DirExists(dir)) return true;
    const std::size_t last = FindLastOf(dir, "\\:", IsAnsiLeadByte);
    const std::string parent = last == std::string::npos ? std::string() : dir.substr(0, last + 1);
    if (parent == dir) return true;
    if (!ForceDirs(parent)) return false;
    return ::CreateDirectoryA(dir.c_str(), nullptr) != FALSE;
}

std::string GetShortPath(const std::string& Path) {
    char buffer[260];
    const DWORD length = ::GetShortPathNameA(Path.c_str(), buffer, sizeof buffer);
    // A short form too long for the buffer counts as none.
    if (length == 0 || length >= sizeof buffer) return {};
    return std::string(buffer, length);
}

std::string LongPath(const std::string& Path) {
    char buffer[MAX_PATH];
    const DWORD length = ::GetLongPathNameA(Path.c_str(), buffer, sizeof buffer);
    return length > 0 && length < sizeof buffer ? std::string(buffer, length) : Path;
}

std::string ExecutablePath() {
    char path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameA(nullptr, path, sizeof path);
    return std::string(path, length < sizeof path ? length : 0);
}

std::string BrowseForFolder(const std::string& Title, const std::string& Root) {
    ComPtr<IMalloc> allocator;
    if (FAILED(::SHGetMalloc(allocator.put()))) return {};
    ShellMemory buffer{allocator.get(), allocator->Alloc(MAX_PATH)};
    if (!buffer.block) return {};
    auto* text = static_cast<char*>(buffer.block);
    text[0] = '\0';

    ShellMemory root{allocator.get(), nullptr};
    if (!Root.empty()) {
        ComPtr<IShellFolder> desktop;
        if (SUCCEEDED(::SHGetDesktopFolder(desktop.put()))) {
            std::wstring wideRoot = ToWide(Root);
            LPITEMIDLIST items = nullptr;
            if (SUCCEEDED(desktop->ParseDisplayName(gApplicationWindow, nullptr, wideRoot.data(), nullptr, &items,
                                                    nullptr)))
                root.block = items;
        }
    }

    BROWSEINFOA info{};
    info.hwndOwner = gApplicationWindow;
    info.pidlRoot = static_cast<LPCITEMIDLIST>(root.block);
    info.pszDisplayName = text;
    info.lpszTitle = Title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS;

    LPITEMIDLIST chosen = nullptr;
    {
        ThreadWindowsDisabled disabled;
        ErrorModeSet noCriticalErrorBoxes(SEM_FAILCRITICALERRORS);
        chosen = ::SHBrowseForFolderA(&info);
    }
    if (!chosen) return {};
    ShellMemory chosenItems{allocator.get(), chosen};
    if (!::SHGetPathFromIDListA(chosen, text)) return {};
    return text;
}

bool ConfirmYesNo(HWND Owner, const std::string& Text) {
    return ::MessageBoxA(Owner, Text.c_str(), GetApplicationTitle().c_str(), MB_ICONQUESTION | MB_YESNO) == IDYES;
}

std::string GetApplicationTitle() { return ApplicationTitleOf(ExecutablePath()); }

HWND GetApplicationWindow() { return gApplicationWindow; }
void SetApplicationWindow(HWND window) { gApplicationWindow = window; }
