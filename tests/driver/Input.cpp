#include "Input.h"

#include <cstdlib>

#include "WindowFind.h"

namespace driver {

namespace {

// Gives the target time to take one input before the next arrives.
constexpr DWORD kPauseBetweenInputsMs = 30;

bool IsExtendedKey(BYTE vk) {
    switch (vk) {
        case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN:
        case VK_HOME: case VK_END: case VK_PRIOR: case VK_NEXT:
        case VK_INSERT: case VK_DELETE:
            return true;
        default:
            return false;
    }
}

INPUT KeyInput(BYTE vk, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = static_cast<WORD>(::MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (IsExtendedKey(vk) ? KEYEVENTF_EXTENDEDKEY : 0);
    return input;
}

void Send(std::vector<INPUT>& inputs) {
    if (::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) != inputs.size())
        throw CommandFailed("SendInput refused the input (error " + std::to_string(::GetLastError()) + ")");
    ::Sleep(kPauseBetweenInputsMs);
}

void SendRealKey(const KeyStroke& key) {
    std::vector<INPUT> inputs;
    const BYTE modifiers[] = {static_cast<BYTE>(key.ctrl ? VK_CONTROL : 0), static_cast<BYTE>(key.alt ? VK_MENU : 0),
                              static_cast<BYTE>(key.shift ? VK_SHIFT : 0)};
    for (BYTE m : modifiers)
        if (m) inputs.push_back(KeyInput(m, false));
    inputs.push_back(KeyInput(key.virtualKey, false));
    inputs.push_back(KeyInput(key.virtualKey, true));
    for (int i = 2; i >= 0; --i)
        if (modifiers[i]) inputs.push_back(KeyInput(modifiers[i], true));
    Send(inputs);
}

HWND PostTarget(HWND top) {
    HWND focus = FocusOf(top);
    return focus ? focus : top;
}

void PostKey(HWND target, const KeyStroke& key) {
    if (key.ctrl || key.shift)
        throw CommandFailed("posted keys cannot carry Ctrl or Shift (the target's key state stays up); use real input");
    const LPARAM scan = static_cast<LPARAM>(::MapVirtualKeyA(key.virtualKey, MAPVK_VK_TO_VSC)) << 16;
    const LPARAM extended = IsExtendedKey(key.virtualKey) ? (1 << 24) : 0;
    const UINT down = key.alt ? WM_SYSKEYDOWN : WM_KEYDOWN;
    const UINT up = key.alt ? WM_SYSKEYUP : WM_KEYUP;
    const LPARAM context = key.alt ? (1 << 29) : 0;
    ::PostMessageA(target, down, key.virtualKey, 1 | scan | extended | context);
    ::PostMessageA(target, up, key.virtualKey, 1 | scan | extended | context | (1u << 30) | (1u << 31));
    ::Sleep(kPauseBetweenInputsMs);
}

std::wstring Widen(const std::string& text) {
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

}  // namespace

bool BringToFront(HWND top, double seconds) {
    return WaitUntil(seconds, [top] {
        if (::GetForegroundWindow() == top) return true;
        ::SetForegroundWindow(top);
        return ::GetForegroundWindow() == top;
    });
}

void PressKeys(HWND top, const std::vector<KeyStroke>& keys, Delivery delivery) {
    if (delivery == Delivery::Posted) {
        for (const KeyStroke& key : keys) PostKey(PostTarget(top), key);
        return;
    }
    if (!BringToFront(top, 3)) throw CommandFailed("window " + HandleText(top) + " did not come to the front");
    for (const KeyStroke& key : keys) SendRealKey(key);
}

void TypeText(HWND top, const std::string& text, Delivery delivery) {
    if (delivery == Delivery::Posted) {
        const HWND target = PostTarget(top);
        for (const char c : text) ::PostMessageA(target, WM_CHAR, static_cast<unsigned char>(c), 1);
        ::Sleep(kPauseBetweenInputsMs);
        return;
    }
    if (!BringToFront(top, 3)) throw CommandFailed("window " + HandleText(top) + " did not come to the front");
    for (const wchar_t c : Widen(text)) {
        std::vector<INPUT> inputs(2);
        for (int i = 0; i < 2; ++i) {
            inputs[i].type = INPUT_KEYBOARD;
            inputs[i].ki.wScan = c;
            inputs[i].ki.dwFlags = KEYEVENTF_UNICODE | (i ? KEYEVENTF_KEYUP : 0);
        }
        Send(inputs);
    }
}

void ClickByMessage(HWND control) { ::PostMessageA(control, BM_CLICK, 0, 0); }

void ClickByMouse(HWND top, HWND control) {
    if (!BringToFront(top, 3)) throw CommandFailed("window " + HandleText(top) + " did not come to the front");
    RECT rect{};
    ::GetWindowRect(control, &rect);
    const int x = (rect.left + rect.right) / 2, y = (rect.top + rect.bottom) / 2;
    // A click lands on whatever lies under the point: wait until that is our
    // window and the control is enabled (a raised window or a page switch may
    // still be under way). A plain label lets the hit through to its form.
    const bool reachable = WaitUntil(3, [top, control, x, y] {
        const HWND hit = ::WindowFromPoint(POINT{x, y});
        return hit && ::GetAncestor(hit, GA_ROOT) == top && ::IsWindowEnabled(control);
    });
    if (!reachable) throw CommandFailed("control " + HandleText(control) + " is covered or disabled at its middle");
    const int width = ::GetSystemMetrics(SM_CXSCREEN), height = ::GetSystemMetrics(SM_CYSCREEN);
    // Every event carries the point: under load a late pointer motion from
    // the display can move the cursor back between the move and the press,
    // and a press without a point lands where the cursor was before.
    std::vector<INPUT> inputs(3);
    const DWORD flags[] = {0, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP};
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        inputs[i].type = INPUT_MOUSE;
        inputs[i].mi.dx = static_cast<LONG>(x * 65535LL / (width - 1));
        inputs[i].mi.dy = static_cast<LONG>(y * 65535LL / (height - 1));
        inputs[i].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | flags[i];
    }
    std::vector<INPUT> move(inputs.begin(), inputs.begin() + 1);
    Send(move);
    const bool arrived = WaitUntil(3, [x, y] {
        POINT at{};
        return ::GetCursorPos(&at) && std::abs(at.x - x) <= 1 && std::abs(at.y - y) <= 1;  // scaling may round
    });
    if (!arrived) throw CommandFailed("the mouse did not reach control " + HandleText(control));
    inputs.erase(inputs.begin());
    Send(inputs);
}

}  // namespace driver
