// The exit codes of the unattended runs (/S), for deployment tools and
// scripts. The setup program, the uninstaller and makesetup's winget
// manifests take them from here.
#pragma once

namespace ExitCode {

// Setup.exe /S
inline constexpr int kInstalled = 0;
inline constexpr int kUnexpected = 1;          // an error no step names (out of memory, ...)
inline constexpr int kNotAPackage = 2;         // no package, a damaged one, or its signature refused
inline constexpr int kFolderRefused = 3;       // the install folder breaks the wizard's folder rules
inline constexpr int kInstallFailed = 4;       // a step failed; what was done stays, as after the wizard's error box
inline constexpr int kNoProgramManager = 5;    // installed, but no Program Manager answered: no shell items
inline constexpr int kLogNotWritten = 6;       // the /LOG= file cannot be created; nothing was done

// Uninstall.exe /S
inline constexpr int kRemoved = 0;
inline constexpr int kNoDataFile = 2;          // the uninstall data file is missing or unreadable; nothing removed
inline constexpr int kNotAllRemoved = 3;       // something the package put down could not be removed
inline constexpr int kRemovedAtRestart = 3010; // removed; the uninstaller's own file goes when Windows next starts

}  // namespace ExitCode
