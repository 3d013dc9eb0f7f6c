// Setup.exe /S: the install without any window. Every step goes to the log
// (/LOG=), every failure to the log and the exit code (unattended/ExitCodes.h).
#pragma once

#include "unattended/Switches.h"

// Runs the whole program unattended and returns its exit code; shows nothing
// and lets no error escape.
int RunSilentInstall(const TSwitches& switches);
