// The few operating-system services the packaging tool needs beyond the
// core's file streams. Paths are UTF-8 inside the tool; the Windows build
// converts them to and from the ANSI code page at this boundary.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Platform {

enum class EntryKind { Missing, File, Folder, Other };

struct TEntryInfo {
    EntryKind Kind = EntryKind::Missing;
    std::uint64_t Size = 0;
};

struct TDirEntry {
    std::string Name;
    EntryKind Kind = EntryKind::Other;
};

// What a path names; Missing when it cannot be examined.
TEntryInfo Examine(const std::string& path);
// The entries of a folder without "." and "..", in no particular order;
// empty when the folder cannot be read.
std::vector<TDirEntry> ListFolder(const std::string& folder);
// True when the file was removed.
bool RemoveFile(const std::string& path);
// True when `path` is a folder afterwards (made here when missing; its
// parent must exist).
bool MakeFolder(const std::string& path);
// Moves `from` onto `to`, replacing it; raises EFCreateError on failure.
void RenameOver(const std::string& from, const std::string& to);
// What tells one file or folder from every other on this machine, links resolved.
struct TFileId {
    std::uint64_t Volume = 0, Index = 0;
    bool operator==(const TFileId&) const = default;
};
// The identity of what `path` names; nothing when it cannot be examined.
std::optional<TFileId> Identify(const std::string& path);
// True when both paths name the same existing file.
bool SameFile(const std::string& a, const std::string& b);
// `path` made absolute against the current folder (not otherwise changed).
std::string Absolute(const std::string& path);
// The running program's own file; empty when unknown.
std::string ExecutablePath();
std::uint32_t ProcessId();
bool StderrIsTerminal();

// Path text for the core's TFileStream (ANSI on Windows, unchanged elsewhere).
std::string ToNative(const std::string& utf8);
// A command-line argument as UTF-8.
std::string FromNative(const std::string& native);

// A file name beside `outPath` that nothing holds yet, unique to this
// process: where an output is written before it is renamed into place.
std::string TemporaryPathFor(const std::string& outPath);

// Runs `command` through the system's shell (/bin/sh, or cmd.exe on
// Windows) and returns its exit code; -1 when it could not run or was killed.
int RunShellCommand(const std::string& command);
// `path` quoted as one word for that shell.
std::string ShellQuote(const std::string& path);

// Removes `path` if the process is interrupted (Ctrl-C, SIGTERM) before
// ForgetOnInterrupt; one path at a time. Does nothing where unsupported.
void RemoveOnInterrupt(const std::string& path);
void ForgetOnInterrupt();

// RemoveOnInterrupt for as long as it lives.
class TRemovedOnInterrupt {
public:
    explicit TRemovedOnInterrupt(const std::string& path) { RemoveOnInterrupt(path); }
    ~TRemovedOnInterrupt() { ForgetOnInterrupt(); }
    TRemovedOnInterrupt(const TRemovedOnInterrupt&) = delete;
    TRemovedOnInterrupt& operator=(const TRemovedOnInterrupt&) = delete;
};

}  // namespace Platform
