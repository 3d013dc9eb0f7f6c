// The example package's program: says where it runs from, and nothing else.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char path[MAX_PATH + 1] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    char text[MAX_PATH + 512];
    ::wsprintfA(text,
                "The demo program runs as\n%s\n\nThe example package installed it with its read-me file, its "
                "help folder, two registry values below HKEY_CURRENT_USER\\Software\\Demo and a Start Menu group.",
                path);
    ::MessageBoxA(nullptr, text, "Demo", MB_OK | MB_ICONINFORMATION);
    return 0;
}
