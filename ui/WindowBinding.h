// The one window procedure of the framework's own window classes: it finds
// the object a window was created for and hands it the messages, showing an
// error that escapes in the event error box, as a click handler's would be.
#pragma once

#include <windows.h>

#include "ui/Application.h"

namespace ui {

// The object whose address was the window's creation parameter, kept in the
// window's user data from WM_NCCREATE on.
template <typename T>
T* BoundObject(HWND window, UINT message, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    return reinterpret_cast<T*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
}

// Messages reach `Handler` once the object holds its window; those before
// (during creation) get the default handling.
template <typename T, LRESULT (T::*Handler)(UINT, WPARAM, LPARAM)>
LRESULT CALLBACK WindowProcOf(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    T* self = BoundObject<T>(window, message, lParam);
    if (!self || !self->Handle()) return ::DefWindowProcA(window, message, wParam, lParam);
    LRESULT result = 0;
    SafeCall([&] { result = (self->*Handler)(message, wParam, lParam); });
    return result;
}

}  // namespace ui
