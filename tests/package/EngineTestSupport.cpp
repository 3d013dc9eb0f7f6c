#include "tests/package/EngineTestSupport.h"

#include <objbase.h>
#include <shlobj.h>

#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

#include "package/RecordHead.h"
#include "system/ComPtr.h"
#include "system/Handles.h"

void PumpMessages() {
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const double end = NowMs() + timeoutMs;
    while (!done()) {
        if (NowMs() > end) return false;
        PumpMessages();
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return true;
}

double NowMs() {
    LARGE_INTEGER frequency, now;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&now);
    return double(now.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

void ProgressLog::On(TVazuravAzoz* Sender, std::int32_t Position, const std::string& Text) {
    LastSender = Sender;
    Reports.push_back({Position, Text, NowMs()});
}

std::optional<std::string> ReadRegString(HKEY root, const std::string& key, const std::string& name, DWORD* type) {
    UniqueRegKey opened;
    if (::RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, opened.put()) != ERROR_SUCCESS) return std::nullopt;
    char data[4096];
    DWORD size = sizeof data;
    DWORD valueType = 0;
    if (::RegQueryValueExA(opened.get(), name.c_str(), nullptr, &valueType, reinterpret_cast<BYTE*>(data), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    if (type) *type = valueType;
    std::string text(data, size);
    if (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
}

bool RegKeyExists(HKEY root, const std::string& key) {
    UniqueRegKey opened;
    return ::RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, opened.put()) == ERROR_SUCCESS;
}

bool FileExists(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ReadText(const std::string& path) {
    const Bytes bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

std::string ShortPathOf(const std::string& path) {
    char buffer[MAX_PATH];
    const DWORD n = ::GetShortPathNameA(path.c_str(), buffer, sizeof buffer);
    return n > 0 && n < sizeof buffer ? std::string(buffer, n) : std::string();
}

std::string ModuleDir() {
    char path[MAX_PATH];
    const DWORD n = ::GetModuleFileNameA(nullptr, path, sizeof path);
    std::string dir(path, n);
    return dir.substr(0, dir.find_last_of('\\'));
}

std::string ProgramsFolder() {
    char path[MAX_PATH] = "";
    ::SHGetFolderPathA(nullptr, CSIDL_PROGRAMS, nullptr, 0, path);
    return path;
}

namespace {
BOOL CALLBACK CollectFolderWindow(HWND window, LPARAM windows) {
    char name[64] = "";
    ::GetClassNameA(window, name, sizeof name);
    if (std::strcmp(name, "ExplorerWClass") == 0 && ::IsWindowVisible(window))
        reinterpret_cast<std::vector<HWND>*>(windows)->push_back(window);
    return TRUE;
}

std::vector<HWND> FolderWindows() {
    std::vector<HWND> windows;
    ::EnumWindows(&CollectFolderWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}
}  // namespace

bool CloseFolderWindows() {
    // On a busy machine the shell can open a group's folder window late,
    // after the others were asked to close: each look closes what is new.
    std::set<HWND> asked;
    return PumpUntil(
        [&asked] {
            const auto windows = FolderWindows();
            for (HWND window : windows)
                if (asked.insert(window).second) ::PostMessageA(window, WM_CLOSE, 0, 0);
            return windows.empty();
        },
        30000);
}

std::string LinkTarget(const std::string& linkPath) {
    ComPtr<IShellLinkA> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.put_void())))
        return {};
    ComPtr<IPersistFile> file;
    if (FAILED(link.As(IID_IPersistFile, file))) return {};
    std::wstring wide(linkPath.begin(), linkPath.end());
    if (FAILED(file->Load(wide.c_str(), STGM_READ))) return {};
    char target[MAX_PATH] = "";
    link->GetPath(target, sizeof target, nullptr, SLGP_RAWPATH);
    return target;
}

void PatchFileItem(Bytes& package, std::size_t index, std::uint32_t offset, std::uint32_t size) {
    RecordHead::TPackHeader header;
    std::memcpy(&header, package.data() + package.size() - sizeof header, sizeof header);
    RecordHead::TFileItem item;
    auto* at = package.data() + header.FileOffset.Get() + index * sizeof item;
    std::memcpy(&item, at, sizeof item);
    item.Offset.Set(offset);
    item.Size.Set(size);
    std::memcpy(at, &item, sizeof item);
}

namespace {
constexpr char kActiveDesktopKey[] = "Software\\Classes\\CLSID\\{75048700-EF1F-11D0-9888-006097DEACF9}";

void SetRegString(HKEY root, const std::string& key, const char* name, const std::string& value) {
    UniqueRegKey opened;
    ::RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, opened.put(), nullptr);
    ::RegSetValueExA(opened.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>(value.size() + 1));
}
}  // namespace

void RegisterWallpaperRecorder(const std::string& log) {
    const std::string server = std::string(kActiveDesktopKey) + "\\InprocServer32";
    SetRegString(HKEY_LOCAL_MACHINE, server, nullptr, ModuleDir() + "\\WallpaperRecorder.dll");
    SetRegString(HKEY_LOCAL_MACHINE, server, "ThreadingModel", "Apartment");
    ::SetEnvironmentVariableA("SETUP_TEST_WALLPAPER_LOG", log.c_str());
    ::SetEnvironmentVariableA("SETUP_TEST_WALLPAPER_REFUSE", nullptr);
}

void UnregisterActiveDesktop() {
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kActiveDesktopKey);
    ::RegDeleteTreeA(HKEY_CURRENT_USER, kActiveDesktopKey);
}

void InstallDeskCplRecorder(const std::string& log) {
    char system[MAX_PATH];
    ::GetSystemDirectoryA(system, sizeof system);
    // A new file of the test's own prefix; Wine ships no desk.cpl to replace.
    const std::string target = std::string(system) + "\\desk.cpl";
    if (!FileExists(target)) ::CopyFileA((ModuleDir() + "\\DeskCplRecorder.dll").c_str(), target.c_str(), TRUE);
    ::SetEnvironmentVariableA("SETUP_TEST_DESK_LOG", log.c_str());
}

std::vector<std::string> WaitForLogLines(const std::string& log, std::size_t minLines, DWORD timeoutMs) {
    std::vector<std::string> lines;
    const auto read = [&] {
        lines.clear();
        std::ifstream in(log, std::ios::binary);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines.size() >= minLines;
    };
    PumpUntil(read, timeoutMs);
    return lines;
}
