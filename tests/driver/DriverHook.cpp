// windriver-hook.dll: loaded into the driven program by a WH_CALLWNDPROC
// hook; reads a tree-view item's label there and sends it back.
#include <windows.h>
#include <commctrl.h>

#include "DriverHook.h"

namespace {

void ReplyLabel(HWND tree, HTREEITEM item, HWND replyTo) {
    wchar_t wide[520] = {};
    TVITEMW query{};
    query.mask = TVIF_TEXT;
    query.hItem = item;
    query.pszText = wide;
    query.cchTextMax = static_cast<int>(sizeof wide / sizeof wide[0]);
    if (!::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&query))) wide[0] = L'\0';
    const wchar_t* text = query.pszText && query.pszText != LPSTR_TEXTCALLBACKW ? query.pszText : wide;
    char ansi[1040];
    const int length = ::WideCharToMultiByte(CP_ACP, 0, text, -1, ansi, sizeof ansi, nullptr, nullptr);
    COPYDATASTRUCT reply{kTreeLabelReply, static_cast<DWORD>(length > 0 ? length - 1 : 0), ansi};
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutA(replyTo, WM_COPYDATA, reinterpret_cast<WPARAM>(tree), reinterpret_cast<LPARAM>(&reply),
                          SMTO_ABORTIFHUNG, 5000, &ignored);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK WinDriverCallWndProc(int code, WPARAM wParam, LPARAM lParam) {
    static const UINT query = ::RegisterWindowMessageA(kTreeLabelQuery);
    if (code == HC_ACTION) {
        const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (call->message == query)
            ReplyLabel(call->hwnd, reinterpret_cast<HTREEITEM>(call->wParam), reinterpret_cast<HWND>(call->lParam));
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}
