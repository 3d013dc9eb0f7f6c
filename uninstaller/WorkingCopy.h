// A running program cannot delete itself. The uninstaller started from the
// install folder copies itself to the temporary folder, starts that copy and
// ends; the copy waits for it, removes the install (the original program
// included) and has its own file deleted when Windows next starts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Starts a copy of `self` in the temporary folder with the working-copy
// arguments and `switches`; nothing when it cannot (the caller then works
// in place). With `wait` (an unattended run, whose caller waits for this
// process) gives the copy's exit code once it has ended, else 0 at once.
std::optional<int> StartWorkingCopy(const std::string& self, const std::string& switches = {}, bool wait = false);

// In the working copy: waits (bounded) until the original's process ends.
void WaitForOriginal(std::uintptr_t parentHandle);

// Marks `path` for deletion when Windows next starts.
bool RemoveAtRestart(const std::string& path);

// The running original, which waits for its working copy and so cannot be
// deleted yet: moved out of the install folder into the temporary folder
// (on the same drive a running program can be renamed) and marked for
// deletion at the next start of Windows. False when it could not be moved.
bool MoveAwayAndRemoveAtRestart(const std::string& path);
