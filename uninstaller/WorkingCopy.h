// A running program cannot delete itself. The uninstaller started from the
// install folder copies itself to the temporary folder, starts that copy and
// ends; the copy waits for it, removes the install (the original program
// included) and has its own file deleted when Windows next starts.
#pragma once

#include <cstdint>
#include <string>

// Starts a copy of `self` in the temporary folder with the working-copy
// arguments; false when it cannot (the caller then works in place).
bool StartWorkingCopy(const std::string& self);

// In the working copy: waits (bounded) until the original's process ends.
void WaitForOriginal(std::uintptr_t parentHandle);

// Marks `path` for deletion when Windows next starts.
bool RemoveAtRestart(const std::string& path);
