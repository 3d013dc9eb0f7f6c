// The example package's stand-in uninstaller. The uninstaller is a file of
// each package, not part of the setup program; this one only explains that.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    ::MessageBoxA(nullptr,
                  "This example comes with a stand-in uninstaller that removes nothing.\n\n"
                  "A real package ships its own Uninstall.exe, which reads uninstall001.dat "
                  "beside it to find what the setup program installed.",
                  "Demo uninstaller", MB_OK | MB_ICONINFORMATION);
    return 0;
}
