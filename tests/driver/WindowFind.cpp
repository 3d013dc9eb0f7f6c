#include "WindowFind.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "DriverParse.h"
#include "system/Handles.h"

namespace driver {

namespace {

// Cross-process messages may meet a busy or hung target; never wait longer.
constexpr UINT kSendTimeoutMs = 3000;

BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

bool HasDescendantOfClass(HWND top, const std::string& className) {
    for (HWND child : Descendants(top))
        if (ClassOf(child) == className) return true;
    return false;
}

// `root` and the processes it started, and theirs, as the system lists them
// now. A process's parent id stays recorded after the parent has ended, and
// the driver holds the root's handle, so its id is not reused meanwhile.
std::set<DWORD> ProcessTree(DWORD root) {
    std::multimap<DWORD, DWORD> children;
    const UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    if (snapshot && ::Process32First(snapshot.get(), &entry)) {
        do {
            if (entry.th32ProcessID != root) children.emplace(entry.th32ParentProcessID, entry.th32ProcessID);
        } while (::Process32Next(snapshot.get(), &entry));
    }
    std::set<DWORD> tree{root};
    std::vector<DWORD> open{root};
    while (!open.empty()) {
        const DWORD parent = open.back();
        open.pop_back();
        const auto [first, last] = children.equal_range(parent);
        for (auto child = first; child != last; ++child)
            if (tree.insert(child->second).second) open.push_back(child->second);
    }
    return tree;
}

// The program's processes, listed only when a window outside its first
// process would otherwise match (a listing costs the server a round).
class ProgramProcesses {
public:
    explicit ProgramProcesses(std::optional<DWORD> root) : root_(root) {}
    bool Holds(DWORD process) {
        if (!root_ || process == *root_) return true;
        if (!tree_) tree_ = ProcessTree(*root_);
        return tree_->count(process) != 0;
    }

private:
    std::optional<DWORD> root_;
    std::optional<std::set<DWORD>> tree_;
};

bool Matches(HWND window, const WindowSelector& s, ProgramProcesses& program) {
    if (s.handle && window != *s.handle) return false;
    if (!s.includeHidden && !::IsWindowVisible(window)) return false;
    if (s.processId && ProcessOf(window) != *s.processId) return false;
    if (s.className && ClassOf(window) != *s.className) return false;
    if (!program.Holds(ProcessOf(window))) return false;
    if (s.title || s.titleContains) {
        const std::string title = TitleOf(window);
        if (s.title && title != *s.title) return false;
        if (s.titleContains && title.find(*s.titleContains) == std::string::npos) return false;
    }
    if (s.hasControlClass && !HasDescendantOfClass(window, *s.hasControlClass)) return false;
    return true;
}

bool TextMatches(const std::string& actual, const std::string& wanted) {
    return actual == wanted || StripAccessMarker(actual) == wanted;
}

}  // namespace

std::string WindowSelector::Describe() const {
    std::string out;
    auto add = [&](const char* name, const std::string& value) { out += std::string(out.empty() ? "" : " ") + name + "=" + value; };
    if (handle) add("hwnd", HandleText(*handle));
    if (title) add("title", Quote(*title));
    if (titleContains) add("title-contains", Quote(*titleContains));
    if (className) add("class", Quote(*className));
    if (processId) add("pid", std::to_string(*processId));
    if (programId) add("program", std::to_string(*programId));
    if (hasControlClass) add("with-control", Quote(*hasControlClass));
    return out.empty() ? "any window" : "window " + out;
}

std::string ControlSelector::Describe() const {
    std::string out;
    auto add = [&](const char* name, const std::string& value) { out += std::string(out.empty() ? "" : " ") + name + "=" + value; };
    if (handle) add("hwnd", HandleText(*handle));
    if (id) add("id", std::to_string(*id));
    if (text) add("text", Quote(*text));
    if (className) add("class", Quote(*className));
    if (index) add("index", std::to_string(*index));
    return "control " + out;
}

std::vector<HWND> FindTopWindows(const WindowSelector& selector) {
    std::vector<HWND> all;
    ::EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&all));
    ProgramProcesses program(selector.programId);
    std::vector<HWND> found;
    for (HWND window : all)
        if (Matches(window, selector, program)) found.push_back(window);
    return found;
}

bool WaitUntil(double seconds, const std::function<bool()>& done, const std::function<bool()>& hint) {
    constexpr ULONGLONG kPollMs = 50, kHintMs = 5;
    const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000);
    bool trustHint = static_cast<bool>(hint);
    while (true) {
        if (done()) return true;
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) return false;
        const ULONGLONG next = std::min(now + kPollMs, deadline);
        bool hinted = false;
        if (trustHint) {
            while (!(hinted = hint()) && ::GetTickCount64() < next) ::Sleep(kHintMs);
        } else {
            ::Sleep(static_cast<DWORD>(next - now));
        }
        trustHint = hint && !hinted;
    }
}

std::vector<HWND> Descendants(HWND top) {
    std::vector<HWND> all;
    ::EnumChildWindows(top, &CollectWindow, reinterpret_cast<LPARAM>(&all));
    return all;
}

HWND FindControl(HWND top, const ControlSelector& s) {
    std::vector<HWND> matches;
    for (HWND child : Descendants(top)) {
        if (s.handle && child != *s.handle) continue;
        if (s.id && ::GetDlgCtrlID(child) != *s.id) continue;
        if (s.className && ClassOf(child) != *s.className) continue;
        if (s.text && !TextMatches(WindowText(child), *s.text)) continue;
        matches.push_back(child);
    }
    if (s.text) {
        // A caption names the control a person sees: of a wizard's pages, each
        // with its own "&Next >", the one shown. Two shown at once is a page
        // still changing, so no choice is made until it has.
        const auto hidden = std::stable_partition(matches.begin(), matches.end(),
                                                  [](HWND c) { return ::IsWindowVisible(c) != FALSE; });
        if (!s.index && hidden - matches.begin() > 1) return nullptr;
    }
    const auto n = static_cast<std::size_t>(s.index.value_or(0));
    return n < matches.size() ? matches[n] : nullptr;
}

std::string WindowText(HWND window) {
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &length)) return {};
    std::string text(length + 1, '\0');
    DWORD_PTR got = 0;
    if (!::SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                               SMTO_ABORTIFHUNG, kSendTimeoutMs, &got))
        return {};
    text.resize(got < length ? got : length);
    return text;
}

std::string TitleOf(HWND window) {
    char title[512];
    const int length = ::GetWindowTextA(window, title, sizeof title);
    return std::string(title, length > 0 ? static_cast<std::size_t>(length) : 0);
}

std::string ClassOf(HWND window) {
    char name[256];
    const int length = ::GetClassNameA(window, name, sizeof name);
    return std::string(name, length > 0 ? static_cast<std::size_t>(length) : 0);
}

DWORD ProcessOf(HWND window) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    return pid;
}

HWND FocusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

RECT RectInClientOf(HWND top, HWND window) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    ::MapWindowPoints(HWND_DESKTOP, top, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

bool SetWindowTextTo(HWND window, const std::string& text) {
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG,
                                 kSendTimeoutMs, &result) != 0 &&
           result != 0;
}

std::string HandleText(HWND window) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(window)));
    return text;
}

}  // namespace driver
