// Finding top-level windows and their controls in any process of the
// session, and reading what they show.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace driver {

// A fault the script should hear about (a window not found, an expectation
// not met); the driver exits with code 1.
class CommandFailed : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct WindowSelector {
    std::optional<HWND> handle;
    std::optional<std::string> title;          // exact
    std::optional<std::string> titleContains;  // part of the title
    std::optional<std::string> className;      // exact
    std::optional<DWORD> processId;
    // The program `start` launched (or `attach` took): its process and every
    // process it started, such as a working copy of itself.
    std::optional<DWORD> programId;
    std::optional<std::string> hasControlClass;  // a descendant of that class
    bool includeHidden = false;

    bool Empty() const {
        return !handle && !title && !titleContains && !className && !processId && !hasControlClass;
    }
    // A class (or nothing) alone: in any process that can be another window.
    bool NamesOnlyAKind() const { return !handle && !title && !titleContains && !processId && !programId; }
    std::string Describe() const;
};

// Visible (or, with includeHidden, all) top-level windows that match, in
// z-order, topmost first.
std::vector<HWND> FindTopWindows(const WindowSelector& selector);

// Polls every 50 ms until `done` holds or `seconds` have passed. Given a
// `hint`, a cheap guess that `done` may hold now, it asks that every 5 ms in
// between and polls at once when it says yes: a wait for a change ends
// within a few ms of it, not up to 50 ms later. A hint that `done` then
// denies is not asked again until the next poll.
bool WaitUntil(double seconds, const std::function<bool()>& done, const std::function<bool()>& hint = {});

struct ControlSelector {
    std::optional<HWND> handle;
    std::optional<int> id;
    std::optional<std::string> text;  // exact, with or without the & marker
    std::optional<std::string> className;
    std::optional<int> index;  // the n-th match (0 = first)

    bool Empty() const { return !handle && !id && !text && !className; }
    std::string Describe() const;
};

// Every descendant of `top`, parents before their children.
std::vector<HWND> Descendants(HWND top);
// The control that matches, or null.
HWND FindControl(HWND top, const ControlSelector& selector);

std::string WindowText(HWND window);  // WM_GETTEXT, bounded by a time-out
// A top-level window's title as the window manager keeps it: no message is
// sent, so a hung program (ours or the shell's) cannot stall a listing.
std::string TitleOf(HWND window);
std::string ClassOf(HWND window);
DWORD ProcessOf(HWND window);
// The window with the keyboard focus in the thread that owns `window`; null if none.
HWND FocusOf(HWND window);
// `window`'s rectangle in the client coordinates of `top`.
RECT RectInClientOf(HWND top, HWND window);
// Sets a control's text (WM_SETTEXT, bounded by a time-out).
bool SetWindowTextTo(HWND window, const std::string& text);

std::string HandleText(HWND window);  // "0x0001002A"

}  // namespace driver
