// Keyboard and mouse input for another process's windows: real input
// through SendInput (the window is brought to the front first), or messages
// posted to the control that has the focus.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "DriverParse.h"

namespace driver {

enum class Delivery { Real, Posted };

// Makes `top` the foreground window; false when it did not become so in time.
bool BringToFront(HWND top, double seconds);

// Presses each key in turn. Posted delivery goes to the focus control of
// `top`'s thread and knows only the Alt modifier (the target's key state is
// not changed by posted messages). Raises CommandFailed.
void PressKeys(HWND top, const std::vector<KeyStroke>& keys, Delivery delivery);
// Types characters (WM_CHAR in effect) into the focus control of `top`.
void TypeText(HWND top, const std::string& text, Delivery delivery);

// BM_CLICK, posted so that a modal loop the click opens does not block us.
void ClickByMessage(HWND control);
// A real left click in the middle of `control` (moves the mouse there).
void ClickByMouse(HWND top, HWND control);

}  // namespace driver
