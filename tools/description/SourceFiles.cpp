#include "tools/description/SourceFiles.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "package/RecordHead.h"
#include "package/UninstallContract.h"
#include "system/Errors.h"
#include "system/FileStream.h"
#include "tools/description/Diagnostics.h"
#include "tools/description/PackagePlan.h"
#include "tools/platform/Platform.h"

#ifndef MAKESETUP_DATA_FROM_BIN
#define MAKESETUP_DATA_FROM_BIN "../share/makesetup"
#endif

namespace SourceFiles {

namespace {

bool IsFile(const std::string& path) { return Platform::Examine(path).Kind == Platform::EntryKind::File; }

// `relative` below `folder`, each leading "../" taken off `folder`, so that
// messages and ${STUB_DIR} show PREFIX/share/makesetup, not PREFIX/bin/../share.
std::string Below(std::string folder, std::string relative) {
    while (relative.rfind("../", 0) == 0) {
        if (folder != "/") {
            const std::size_t at = folder.find_last_of("/\\");
            if (at == std::string::npos) break;  // "bin" or "C:": the system resolves the ".." itself
            folder = at == 0 ? "/" : folder.substr(0, at);
        }
        relative.erase(0, 3);  // the root is its own parent
    }
    return folder == "/" ? "/" + relative : folder + "/" + relative;
}

char Fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// A name beside a missing file that differs from its name only in case
// (Windows would have taken it): "; only the case differs from "readme.txt" there".
std::string NearName(const std::string& path) {
    const std::size_t at = path.find_last_of("/\\");
    const std::string name = at == std::string::npos ? path : path.substr(at + 1);
    const std::string folder = at == std::string::npos ? "." : at == 0 ? path.substr(0, 1) : path.substr(0, at);
    for (const Platform::TDirEntry& entry : Platform::ListFolder(folder)) {
        if (entry.Name.size() == name.size() &&
            std::equal(name.begin(), name.end(), entry.Name.begin(), [](char a, char b) { return Fold(a) == Fold(b); }))
            return "; only the case differs from " + Quoted(entry.Name) + " there";
    }
    return "";
}

}  // namespace

std::string FolderOf(const std::string& path) {
    const std::size_t at = path.find_last_of("/\\");
    if (at == std::string::npos) return "";
    return at == 0 ? path.substr(0, 1) : path.substr(0, at);
}

TSource Examine(const std::string& path) {
    const Platform::TEntryInfo info = Platform::Examine(path);
    if (info.Kind == Platform::EntryKind::Missing) return {0, "source file " + Quoted(path) + " not found" + NearName(path)};
    if (info.Kind != Platform::EntryKind::File) {
        const bool folder = info.Kind == Platform::EntryKind::Folder;
        return {0, "source " + Quoted(path) + " is not a file" +
                       (folder ? " (a pattern such as \"dir/**\" takes a folder's files)" : "")};
    }
    try {
        TFileStream probe = TFileStream::OpenRead(Platform::ToNative(path));
        // Files of /proc and /sys say 0 bytes and still have content: the
        // package would hold none of it.
        char first = 0;
        if (info.Size == 0 && probe.Read(&first, 1) != 0)
            return {0, "source file " + Quoted(path) + " reads as longer than the 0 bytes it says it has (a file of "
                                                       "the system, such as those in /proc?); copy it into a regular "
                                                       "file first"};
    } catch (const Exception& e) {
        return {0, "source file cannot be read: " + e.Message()};
    }
    if (info.Size > kMaxPackageOffset)
        return {0, "source file " + Quoted(path) + " is " + std::to_string(info.Size) +
                       " bytes; a package records sizes in 32 bits (at most 4294967295)"};
    return {info.Size, {}};
}

TStub ExamineStub(const std::string& path) {
    const Platform::TEntryInfo info = Platform::Examine(path);
    if (info.Kind != Platform::EntryKind::File)
        return {0, "stub " + Quoted(path) + (info.Kind == Platform::EntryKind::Missing ? " not found" : " is not a file"), {}};
    RecordHead::TPackHeader tail{};
    std::array<char, 2> start{};
    try {
        TFileStream stream = TFileStream::OpenRead(Platform::ToNative(path));
        if (info.Size >= start.size()) stream.ReadExact(start.data(), start.size());
        if (info.Size >= sizeof tail) {
            stream.Seek(info.Size - sizeof tail);
            stream.ReadExact(&tail, sizeof tail);
        }
    } catch (const Exception& e) {
        return {0, "stub: " + e.Message(), {}};
    }
    TStub stub{info.Size, {}, {}};
    if (std::string_view(start.data(), start.size()) != "MZ")
        stub.Warnings.push_back("stub " + Quoted(path) + " does not begin like a Windows executable (\"MZ\")");
    if (RecordHead::IsValidHeader(tail))
        stub.Warnings.push_back("stub " + Quoted(path) + " already carries a package; the new package replaces it "
                                                         "at run time, but its bytes stay in the file");
    return stub;
}

std::vector<std::string> ToolFilePlaces(const std::string& toolPath, const std::string& fileName) {
    if (toolPath.empty()) return {};
    std::string folder = FolderOf(toolPath);
    if (folder.empty()) folder = ".";
    return {(folder == "/" ? "" : folder) + "/" + fileName, Below(folder, MAKESETUP_DATA_FROM_BIN) + "/" + fileName};
}

std::string FindToolFile(const std::string& toolPath, const std::string& fileName) {
    for (const std::string& place : ToolFilePlaces(toolPath.empty() ? toolPath : Platform::Absolute(toolPath), fileName))
        if (IsFile(place)) return place;
    return {};
}

std::string UninstallerBeside(const std::vector<std::string>& files) {
    for (const std::string& beside : files) {
        if (beside.empty()) continue;
        const std::string candidate =
            FolderOf(Platform::Absolute(beside)) + "/" + std::string(UninstallContract::kUninstallerName);
        if (IsFile(candidate)) return candidate;
    }
    return {};
}

}  // namespace SourceFiles
