// A small window for the driver's own tests: an edit box, buttons that greet,
// ask a Yes/No question and open the folder picker, and a status label that
// tells what happened. Closing it ends the process with exit code 7.
#include <windows.h>
#include <shlobj.h>

#include <string>

namespace {

enum ControlId { kName = 101, kGreet, kStatus, kAsk, kBrowse, kDisabled, kHidden };

struct ControlRow {
    const char* className;
    const char* text;
    int id;
    DWORD style;
    int x, y, width, height;
};

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr ControlRow kLayout[] = {
    {"Edit", "", kName, kChild | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 10, 10, 200, 24},
    {"Button", "&Greet", kGreet, kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, 220, 10, 90, 24},
    {"Static", "ready", kStatus, kChild, 10, 44, 300, 20},
    {"Button", "&Ask", kAsk, kChild | WS_TABSTOP | BS_PUSHBUTTON, 10, 74, 90, 24},
    {"Button", "&Browse...", kBrowse, kChild | WS_TABSTOP | BS_PUSHBUTTON, 110, 74, 90, 24},
    {"Button", "Off", kDisabled, kChild | WS_DISABLED | BS_PUSHBUTTON, 210, 74, 90, 24},
    {"Button", "Unseen", kHidden, WS_CHILD | BS_PUSHBUTTON, 10, 104, 90, 24},
};

HWND gMain = nullptr;

std::string TextOf(int id) {
    char text[256];
    ::GetDlgItemTextA(gMain, id, text, sizeof text);
    return text;
}
void SetStatus(const std::string& text) { ::SetDlgItemTextA(gMain, kStatus, text.c_str()); }

void Ask() {
    const int answer = ::MessageBoxA(gMain, "Proceed with the test?", "Target question", MB_ICONQUESTION | MB_YESNO);
    SetStatus(answer == IDYES ? "answer yes" : answer == IDNO ? "answer no" : "answer other");
}

void Browse() {
    char name[MAX_PATH] = {};
    BROWSEINFOA info{};
    info.hwndOwner = gMain;
    info.pszDisplayName = name;
    info.lpszTitle = "Pick a test folder";
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    LPITEMIDLIST chosen = ::SHBrowseForFolderA(&info);
    char path[MAX_PATH] = {};
    if (chosen) {
        ::SHGetPathFromIDListA(chosen, path);
        ::CoTaskMemFree(chosen);
    }
    SetStatus(chosen ? std::string("picked ") + path : "picked nothing");
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (HIWORD(wParam) != BN_CLICKED) break;
            if (LOWORD(wParam) == kGreet || LOWORD(wParam) == IDOK) SetStatus("Hello, " + TextOf(kName));
            if (LOWORD(wParam) == kAsk) Ask();
            if (LOWORD(wParam) == kBrowse) Browse();
            if (LOWORD(wParam) == IDCANCEL) SetStatus("escape");
            return 0;
        case WM_DESTROY:
            ::PostQuitMessage(7);
            return 0;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    ::CoInitialize(nullptr);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = "DriverTargetWindow";
    ::RegisterClassA(&windowClass);
    gMain = ::CreateWindowExA(0, windowClass.lpszClassName, "Driver Target", WS_OVERLAPPEDWINDOW, 40, 40, 340, 180,
                              nullptr, nullptr, instance, nullptr);
    for (const ControlRow& row : kLayout)
        ::CreateWindowExA(0, row.className, row.text, row.style, row.x, row.y, row.width, row.height, gMain,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.id)), instance, nullptr);
    ::ShowWindow(gMain, SW_SHOW);
    ::SetFocus(::GetDlgItem(gMain, kName));
    MSG message;
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (::IsDialogMessageA(gMain, &message)) continue;
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
    ::CoUninitialize();
    return static_cast<int>(message.wParam);
}
