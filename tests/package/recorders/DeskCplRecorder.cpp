// A stand-in display control panel (desk.cpl, which Wine does not ship),
// copied into a test's own Wine prefix. It appends the command line of the
// process that loaded it, and the applet messages it receives, to the file
// named by SETUP_TEST_DESK_LOG, and opens no window.
#include <windows.h>
#include <cpl.h>

#include <cstdio>

namespace {

void Record(const char* line) {
    char path[MAX_PATH];
    const DWORD n = ::GetEnvironmentVariableA("SETUP_TEST_DESK_LOG", path, sizeof path);
    if (n == 0 || n >= sizeof path) return;
    if (FILE* log = std::fopen(path, "ab")) {
        std::fputs(line, log);
        std::fputc('\n', log);
        std::fclose(log);
    }
}

void RecordStart(const char* parameters, LPARAM applet) {
    char line[400];
    std::snprintf(line, sizeof line, "StartWithParameters [%s] applet %ld", parameters, static_cast<long>(applet));
    Record(line);
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        char line[1100];
        std::snprintf(line, sizeof line, "CommandLine [%s]", ::GetCommandLineA());
        Record(line);
    }
    return TRUE;
}

extern "C" __declspec(dllexport) LONG APIENTRY CPlApplet(HWND, UINT message, LPARAM first, LPARAM second) {
    switch (message) {
        case CPL_INIT:
            return TRUE;
        case CPL_GETCOUNT:
            return 1;
        case CPL_INQUIRE: {
            auto* info = reinterpret_cast<CPLINFO*>(second);
            info->idIcon = CPL_DYNAMIC_RES;
            info->idName = CPL_DYNAMIC_RES;
            info->idInfo = CPL_DYNAMIC_RES;
            info->lData = 0;
            return 0;
        }
        case CPL_NEWINQUIRE: {
            auto* info = reinterpret_cast<NEWCPLINFOA*>(second);
            ZeroMemory(info, sizeof *info);
            info->dwSize = sizeof *info;
            lstrcpyA(info->szName, "Display");
            return 0;
        }
        case CPL_STARTWPARMSA:
            RecordStart(reinterpret_cast<const char*>(second), first);
            return TRUE;
        case CPL_STARTWPARMSW: {
            char text[256] = "";
            ::WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(second), -1, text, sizeof text,
                                  nullptr, nullptr);
            RecordStart(text, first);
            return TRUE;
        }
        case CPL_DBLCLK: {
            char line[64];
            std::snprintf(line, sizeof line, "Open applet %ld", static_cast<long>(first));
            Record(line);
            return 0;
        }
        default:
            return 0;
    }
}
