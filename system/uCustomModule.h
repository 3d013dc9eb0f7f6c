// The system helpers: version class, system folders, folder chains, short
// paths, the folder picker and the Yes/No question box. Each reports its own
// failures by an empty string or false unless it says otherwise.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "system/SystemRules.h"

// The class of the version figures taken once when the program started.
TWinVersionClass GetWinVersion();

// The Windows folder and the system folder as the system gives them; empty on failure.
std::string GetWindowsDir();
std::string GetSystemDir();

// True when `Dir` names an existing folder (false for files and for "").
bool DirExists(const std::string& Dir);

// Creates every missing folder of the chain, outermost first. True when the
// folder exists at the end; raises EInOutError "Unable to create directory"
// (code 3) for an empty name, also reached through a relative name.
bool ForceDirs(const std::string& Dir);

// The short (8.3) form of an existing path; empty when there is none.
std::string GetShortPath(const std::string& Path);
// The long form of an existing path (the uninstall registration holds the
// short one); the path itself when there is none.
std::string LongPath(const std::string& Path);

// The running executable's path; empty when it does not fit MAX_PATH.
std::string ExecutablePath();

// The predefined root a package's registry record names by its handle value.
inline HKEY RootKeyOf(std::uint32_t value) { return reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(value)); }

// The shell's folder picker, rooted at `Root` when that folder exists. The
// program's windows are disabled meanwhile. Empty on Cancel or failure.
std::string BrowseForFolder(const std::string& Title, const std::string& Root);

// A Yes/No question (MB_ICONQUESTION | MB_YESNO) titled with the application
// title; true only for Yes, false also when the box cannot be shown.
bool ConfirmYesNo(HWND Owner, const std::string& Text);

// The running executable's application title (SETUP.EXE gives Setup).
std::string GetApplicationTitle();

// The user-interface framework's hidden application window: owner of the
// folder picker. Null until the framework sets it.
HWND GetApplicationWindow();
void SetApplicationWindow(HWND window);
