// SysProbe.exe: runs one system helper for a test script and writes what it
// answered. Built as SysProbe.exe so that its application title is Sysprobe.
//   SysProbe version                  prints class=N and the raw version figures
//   SysProbe title                    prints the application title
//   SysProbe confirm TEXT OUT         ConfirmYesNo owned by window "Probe Owner"; OUT gets yes or no
//   SysProbe browse TITLE ROOT OUT    BrowseForFolder beside windows "Probe Window" and
//                                     "Probe Disabled" (disabled from the start); OUT gets
//                                     the result and which windows are enabled afterwards
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "system/ComPtr.h"
#include "system/Handles.h"
#include "system/uCustomModule.h"

namespace {

UniqueWindow MakeWindow(const char* title, DWORD style) {
    return UniqueWindow(::CreateWindowExA(0, "Static", title, style, 100, 100, 240, 80, nullptr, nullptr,
                                          ::GetModuleHandleA(nullptr), nullptr));
}

bool WriteText(const char* path, const std::string& text) {
    FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written;
}

int Version() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    ::GetVersionExA(&info);
    std::printf("class=%d major=%lu minor=%lu build=%lu platform=%lu\n", static_cast<int>(GetWinVersion()),
                info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber, info.dwPlatformId);
    return 0;
}

int Confirm(const char* text, const char* out) {
    const UniqueWindow owner = MakeWindow("Probe Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    return WriteText(out, ConfirmYesNo(owner.get(), text) ? "yes" : "no") ? 0 : 1;
}

int Browse(const char* title, const char* root, const char* out) {
    const ComInitialization com;
    const UniqueWindow application = MakeWindow("Probe Application", WS_OVERLAPPEDWINDOW);  // hidden, as the framework's
    SetApplicationWindow(application.get());
    const UniqueWindow window = MakeWindow("Probe Window", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    const UniqueWindow disabled = MakeWindow("Probe Disabled", WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_DISABLED);
    const std::string result = BrowseForFolder(title, root);
    const std::string report = "result=" + result + "\nwindow-enabled=" +
                               std::to_string(::IsWindowEnabled(window.get()) != FALSE) + "\ndisabled-window-enabled=" +
                               std::to_string(::IsWindowEnabled(disabled.get()) != FALSE) + "\n";
    return WriteText(out, report) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "version" && argc == 2) return Version();
    if (mode == "title" && argc == 2) return std::printf("%s\n", GetApplicationTitle().c_str()) < 0;
    if (mode == "confirm" && argc == 4) return Confirm(argv[2], argv[3]);
    if (mode == "browse" && argc == 5) return Browse(argv[2], argv[3], argv[4]);
    std::fprintf(stderr, "usage: SysProbe version | title | confirm TEXT OUT | browse TITLE ROOT OUT\n");
    return 2;
}
