// The agreement between windriver and its hook library, which runs inside
// the driven program and answers questions only that program can answer
// (tree-view messages carry pointers that are not carried across processes).
#pragma once

// Registered message sent to a tree view: wParam the item, lParam the window
// that receives the item's label as WM_COPYDATA.
inline constexpr const char* kTreeLabelQuery = "WinDriver.TreeLabel";
// dwData of the WM_COPYDATA that carries the label (ANSI, no NUL).
inline constexpr unsigned long kTreeLabelReply = 0x57445254;
// The hook procedure the library exports (WH_CALLWNDPROC).
inline constexpr const char* kHookProcName = "WinDriverCallWndProc";
inline constexpr const char* kHookLibraryName = "windriver-hook.dll";
