// The unattended switches of the setup program and the uninstaller, read
// from the process's command line. Portable, so every form is tested natively.
//
//   /S           run without any window (any case)
//   /LOG=PATH    write a plain-text log of every step to PATH
//   /D=PATH      (setup only, last) the install folder: the rest of the
//                command line, blanks included, without quotes
//
// A command line without /S, or with any argument that is not one of these,
// gives nothing: the program then does exactly what it does without switches.
#pragma once

#include <optional>
#include <string>
#include <string_view>

struct TSwitches {
    std::string LogPath;  // empty: no log
    std::optional<std::string> Folder;  // none: the folder the wizard would propose
};

// The arguments of a whole command line, after the program's name (which
// may be quoted, as Windows writes it).
std::string_view ArgumentsOf(std::string_view commandLine);

// `arguments` as the setup program (`withFolder`) or the uninstaller reads
// them; nothing unless /S is among them and every argument is a switch.
std::optional<TSwitches> ParseSwitches(std::string_view arguments, bool withFolder);

// The switches written back as arguments, for a program that hands them on
// (the uninstaller to its working copy): "/S" and a quoted "/LOG=PATH".
std::string SwitchArguments(const TSwitches& switches);
