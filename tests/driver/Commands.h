// The driver's commands: a table of names, options and handlers, and the
// state one run (a single command or a whole script) carries between them.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "DriverParse.h"
#include "system/Handles.h"

namespace driver {

struct Context {
    std::optional<HWND> current;  // the window the last command worked on
    UniqueKernelHandle process;   // the program `start` launched
    DWORD processId = 0;
    // Seconds every wait may take: a wait ends as soon as its condition
    // holds, and a busy machine can take many seconds to start a program.
    double timeout = 60;
    bool inScript = false;
    // A failed script ends the program it started, unless the test's session
    // ends it after a look at what the screen shows (windriver serve).
    bool endProgramOnFailure = true;
};

// Runs one command given as words (name first). Raises UsageError for a bad
// command line and CommandFailed for a command that did not succeed.
void RunCommand(Context& context, const std::vector<std::string>& words);

// Runs a script file, one command per line; returns the exit code and says
// on stderr which line failed.
int RunScript(Context& context, const std::string& path);

// Prints the list of commands, or the options of one.
void PrintHelp(const std::string& command);

}  // namespace driver
