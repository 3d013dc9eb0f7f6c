// Hello App: shows the greeting installed with it in ..\data.
#include <windows.h>

#include <memory>
#include <string>

namespace {

struct CloseFile {
    void operator()(HANDLE file) const { ::CloseHandle(file); }
};
using UniqueFile = std::unique_ptr<void, CloseFile>;

// ...\Hello App for ...\Hello App\bin\HelloApp.exe.
std::string InstallFolder() {
    char path[MAX_PATH] = {};
    std::string folder(path, ::GetModuleFileNameA(nullptr, path, MAX_PATH));
    for (int up = 0; up < 2; ++up) {
        const std::size_t slash = folder.find_last_of('\\');
        if (slash == std::string::npos) break;
        folder.resize(slash);
    }
    return folder;
}

std::string ReadGreeting(const std::string& path) {
    const HANDLE opened = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return "The greeting is missing: " + path;
    const UniqueFile file(opened);
    char buffer[1024] = {};
    DWORD read = 0;
    ::ReadFile(file.get(), buffer, sizeof buffer - 1, &read, nullptr);
    return std::string(buffer, read);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const std::string greeting = ReadGreeting(InstallFolder() + "\\data\\greeting.txt");
    ::MessageBoxA(nullptr, greeting.c_str(), "Hello App", MB_OK | MB_ICONINFORMATION);
    return 0;
}
