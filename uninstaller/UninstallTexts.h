// The uninstaller's own texts: the question before anything is removed, the
// summary afterwards and the messages that end it early. Portable, so each
// wording is checked without Windows.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "uninstaller/UninstallPlan.h"

// What an uninstall run did, for the closing summary.
struct TRemovalReport {
    int FilesRemoved = 0;
    int FoldersRemoved = 0;
    int GroupsRemoved = 0;
    int ValuesRemoved = 0;
    bool RegistrationRemoved = false;
    std::vector<std::string> Left;  // one line each: the item and why it stays
    int Failed = 0;                 // of Left, the items of the package that could not be removed
    bool AtRestart = false;         // the uninstaller (and its folder) go when Windows next starts
};

namespace UninstallText {

// The title of every box: the application's name, or "Uninstall" without one.
std::string Title(std::string_view appName);

// "Remove <App> from <folder>?" and what will go, counted.
std::string Question(std::string_view appName, std::string_view installDir, const TUninstallPlan& plan);

// "<App> has been removed ..." and, when anything stays, a list of it.
std::string Summary(std::string_view appName, std::string_view installDir, const TRemovalReport& report);

// Nothing of the package is left to remove.
std::string NothingToDo(std::string_view appName, std::string_view installDir);

// The data file is missing, or is no uninstall data file (`reason` says why).
std::string DataFileMissing(std::string_view dataFile);
std::string DataFileUnreadable(std::string_view dataFile, std::string_view reason);

// Reasons for the lines of TRemovalReport::Left.
std::string LeftLine(std::string_view item, std::string_view why);

// "1 file", "3 files": a count and its noun, singular or plural.
std::string Counted(std::size_t count, std::string_view singular, std::string_view plural);

}  // namespace UninstallText
