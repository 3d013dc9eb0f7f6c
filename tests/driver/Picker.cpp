#include "Picker.h"

#include <algorithm>
#include <cctype>
#include <deque>
#include <utility>

#include "DriverHook.h"
#include "WindowFind.h"

namespace driver {

namespace {

// Expanding a folder makes the picker list it; that may take a while, long
// enough on a busy machine for the picker to count as hung, so a hung
// picker is waited for too (within the time-out).
constexpr UINT kTreeTimeoutMs = 30000;
constexpr int kSearchDepth = 3;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

bool LabelMatches(const std::string& label, const std::string& wanted) {
    const std::string l = Lower(label), w = Lower(wanted);
    if (l == w) return true;
    const bool drive = (w.size() == 2 || (w.size() == 3 && w[2] == '\\')) && w[1] == ':';
    return drive && (l.find("(" + w.substr(0, 2) + ")") != std::string::npos || l == w.substr(0, 2) + "\\");
}

std::vector<std::string> SplitLabels(const std::string& path) {
    std::vector<std::string> labels;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('\\', start), path.size());
        if (end > start) labels.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return labels;
}

// The hook library lies beside the driver.
std::string LibraryPath() {
    char path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder(path, length);
    folder.resize(folder.find_last_of('\\') + 1);
    return folder + kHookLibraryName;
}

LRESULT CALLBACK ReplyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        auto* reply = reinterpret_cast<std::string*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
        if (reply && data->dwData == kTreeLabelReply) reply->assign(static_cast<const char*>(data->lpData), data->cbData);
        return TRUE;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

const char* ReplyWindowClass() {
    static const char* const name = [] {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = ReplyWindowProc;
        windowClass.hInstance = ::GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "WinDriverReply";
        ::RegisterClassA(&windowClass);
        return windowClass.lpszClassName;
    }();
    return name;
}

}  // namespace

RemoteTree::RemoteTree(HWND tree) : tree_(tree), query_(::RegisterWindowMessageA(kTreeLabelQuery)) {
    library_.reset(::LoadLibraryA(LibraryPath().c_str()));
    const auto procedure = library_ ? reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(::GetProcAddress(library_.get(), kHookProcName))) : nullptr;
    if (!procedure) throw CommandFailed("cannot load " + LibraryPath() + " (error " + std::to_string(::GetLastError()) + ")");
    hook_.reset(::SetWindowsHookExA(WH_CALLWNDPROC, procedure, library_.get(), ::GetWindowThreadProcessId(tree, nullptr)));
    if (!hook_) throw CommandFailed("cannot hook the thread of " + HandleText(tree) + " (error " +
                                    std::to_string(::GetLastError()) + ")");
    replyWindow_.reset(::CreateWindowExA(0, ReplyWindowClass(), "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                         ::GetModuleHandleA(nullptr), nullptr));
    ::SetWindowLongPtrA(replyWindow_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&reply_));
}

LRESULT RemoteTree::Send(UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutA(tree_, message, wParam, lParam, SMTO_NORMAL, kTreeTimeoutMs, &result))
        throw CommandFailed("the tree view " + HandleText(tree_) + " did not answer");
    return static_cast<LRESULT>(result);
}

std::vector<HTREEITEM> RemoteTree::Children(HTREEITEM parent) {
    std::vector<HTREEITEM> items;
    auto item = reinterpret_cast<HTREEITEM>(
        Send(TVM_GETNEXTITEM, parent ? TVGN_CHILD : TVGN_ROOT, reinterpret_cast<LPARAM>(parent)));
    while (item) {
        items.push_back(item);
        item = reinterpret_cast<HTREEITEM>(Send(TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)));
    }
    return items;
}

std::string RemoteTree::Label(HTREEITEM item) {
    reply_.clear();
    // The hook answers with WM_COPYDATA while we wait for the send to return.
    Send(query_, reinterpret_cast<WPARAM>(item), reinterpret_cast<LPARAM>(replyWindow_.get()));
    return reply_;
}

bool RemoteTree::IsExpanded(HTREEITEM item) {
    return (Send(TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
}

void RemoteTree::Expand(HTREEITEM item) {
    if (!IsExpanded(item)) Send(TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
}

bool RemoteTree::Select(HTREEITEM item) {
    Send(TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    Send(TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
    return Selected() == item;
}

HTREEITEM RemoteTree::Selected() { return reinterpret_cast<HTREEITEM>(Send(TVM_GETNEXTITEM, TVGN_CARET, 0)); }

HTREEITEM RemoteTree::Parent(HTREEITEM item) {
    return reinterpret_cast<HTREEITEM>(Send(TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(item)));
}

std::string RemoteTree::LabelPath(HTREEITEM item) {
    std::string path;
    for (; item; item = Parent(item)) path = Label(item) + (path.empty() ? "" : "\\" + path);
    return path;
}

HTREEITEM RemoteTree::FindPath(const std::string& path, std::string& missing) {
    const std::vector<std::string> labels = SplitLabels(path);
    if (labels.empty()) {
        missing = "(an empty path)";
        return nullptr;
    }
    // Breadth first, so that a top-level match wins over a deeper one.
    std::deque<std::pair<HTREEITEM, int>> queue;
    for (HTREEITEM root : Children(nullptr)) queue.emplace_back(root, 0);
    HTREEITEM current = nullptr;
    while (!queue.empty() && !current) {
        const auto [item, depth] = queue.front();
        queue.pop_front();
        if (LabelMatches(Label(item), labels[0])) {
            current = item;
        } else if (depth < kSearchDepth) {
            Expand(item);
            for (HTREEITEM child : Children(item)) queue.emplace_back(child, depth + 1);
        }
    }
    if (!current) {
        missing = labels[0];
        return nullptr;
    }
    for (std::size_t i = 1; i < labels.size(); ++i) {
        Expand(current);
        const std::vector<HTREEITEM> children = Children(current);
        const auto next = std::find_if(children.begin(), children.end(),
                                       [&](HTREEITEM child) { return LabelMatches(Label(child), labels[i]); });
        if (next == children.end()) {
            missing = labels[i];
            return nullptr;
        }
        current = *next;
    }
    return current;
}

}  // namespace driver
