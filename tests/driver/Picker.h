// The tree view of another process, read and driven by messages: those
// without pointers directly, the labels through the hook library inside the
// tree's process. How the shell's folder picker is worked.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "system/Handles.h"

namespace driver {

class RemoteTree {
public:
    // Raises CommandFailed when the hook library cannot be set on the tree's thread.
    explicit RemoteTree(HWND tree);
    RemoteTree(const RemoteTree&) = delete;
    RemoteTree& operator=(const RemoteTree&) = delete;

    // The top-level items for a null parent.
    std::vector<HTREEITEM> Children(HTREEITEM parent);
    std::string Label(HTREEITEM item);
    bool IsExpanded(HTREEITEM item);
    // Expands as a user would: the owner fills in the children on first use.
    void Expand(HTREEITEM item);
    // Selects (and scrolls to) the item; false when the selection did not move there.
    bool Select(HTREEITEM item);
    HTREEITEM Selected();
    HTREEITEM Parent(HTREEITEM item);
    // Labels from the top level down to `item`, joined by backslashes.
    std::string LabelPath(HTREEITEM item);

    // Finds the item for a path of labels separated by backslashes. The first
    // label is looked for among the top-level items and then, expanding, up
    // to three levels below them (so "C:\\windows" is found under Desktop, My
    // Computer); each further label among the children of the one before. A
    // drive label "X:" also matches an item labelled "... (X:)". Null when a
    // label is not found; `missing` then names it.
    HTREEITEM FindPath(const std::string& path, std::string& missing);

private:
    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam);

    struct HookTraits {
        using Type = HHOOK;
        static Type Invalid() noexcept { return nullptr; }
        static void Close(Type h) noexcept { ::UnhookWindowsHookEx(h); }
    };

    HWND tree_;
    UINT query_;
    std::string reply_;  // the last label the hook sent
    UniqueModule library_;
    UniqueHandle<HookTraits> hook_;
    UniqueWindow replyWindow_;
};

}  // namespace driver
