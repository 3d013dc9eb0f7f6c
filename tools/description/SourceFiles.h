// A package's files on this machine: where the stub and the companion
// uninstaller are looked for, and whether a source or a stub can be packed.
// Problems come back as message texts; the caller knows where in the
// description they arise.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace SourceFiles {

// The folder part of a path; empty for a bare name (the current folder).
std::string FolderOf(const std::string& path);

struct TSource {
    std::uint64_t Size = 0;
    std::string Problem;  // empty when the file can be packed
};
// A source file's size, or why it cannot be packed: missing, not a regular
// file, unreadable, or larger than a package's 32-bit sizes.
TSource Examine(const std::string& path);

struct TStub {
    std::uint64_t Size = 0;
    std::string Problem;                // empty when the stub can be copied
    std::vector<std::string> Warnings;  // it does not look like a bare setup program
};
// The stub's size, or why it cannot be used; warns when it does not begin
// like a Windows executable or already carries a package.
TStub ExamineStub(const std::string& path);

// Where a file that ships with the tool (Setup.exe, Uninstall.exe) is looked
// for, first match wins: beside the running tool `toolPath`, as in a folder
// that holds all three, then in the installed layout's data folder
// (PREFIX/bin/makesetup with PREFIX/share/makesetup/NAME). None when the
// tool's path is unknown.
std::vector<std::string> ToolFilePlaces(const std::string& toolPath, const std::string& fileName);
// The first of ToolFilePlaces that is a file; empty when none is.
std::string FindToolFile(const std::string& toolPath, const std::string& fileName);
// Uninstall.exe beside the first of `files` that has one beside it; empty
// when none does.
std::string UninstallerBeside(const std::vector<std::string>& files);

}  // namespace SourceFiles
