// The uninstaller hands its work to a copy of itself in the temporary folder,
// so that the install folder and the original program can be removed. These
// are the arguments that copy gets, portable so the round trip is tested.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct TWorkingCopyArguments {
    std::string Original;        // the uninstaller in the install folder
    std::uintptr_t Parent = 0;   // inherited handle of the original's process
    std::string Switches;        // the original's unattended switches, as arguments
};

// `"<copy>" /original "<path>" /parent <handle>`, then the switches.
std::string WorkingCopyCommandLine(std::string_view copyPath, const TWorkingCopyArguments& arguments);

// The arguments of a working copy; nothing for any other command line
// (the program started from the install folder). Whatever follows the
// handle is the switches.
std::optional<TWorkingCopyArguments> ParseWorkingCopyArguments(std::string_view commandLine);

// The folder part of a path ("C:\App\Uninstall.exe" gives "C:\App").
std::string FolderOf(std::string_view path);
