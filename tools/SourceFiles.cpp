#include "tools/SourceFiles.h"

#include <array>
#include <cstring>
#include <string_view>

#include "package/RecordHead.h"
#include "system/Errors.h"
#include "system/FileStream.h"
#include "tools/Diagnostics.h"
#include "tools/PackagePlan.h"
#include "tools/Platform.h"

namespace SourceFiles {

namespace {

bool IsFile(const std::string& path) { return Platform::Examine(path).Kind == Platform::EntryKind::File; }

}  // namespace

std::string FolderOf(const std::string& path) {
    const std::size_t at = path.find_last_of("/\\");
    if (at == std::string::npos) return "";
    return at == 0 ? path.substr(0, 1) : path.substr(0, at);
}

TSource Examine(const std::string& path) {
    const Platform::TEntryInfo info = Platform::Examine(path);
    if (info.Kind == Platform::EntryKind::Missing) return {0, "source file " + Quoted(path) + " not found"};
    if (info.Kind != Platform::EntryKind::File) {
        const bool folder = info.Kind == Platform::EntryKind::Folder;
        return {0, "source " + Quoted(path) + " is not a file" +
                       (folder ? " (a pattern such as \"dir/**\" takes a folder's files)" : "")};
    }
    try {
        TFileStream probe = TFileStream::OpenRead(Platform::ToNative(path));
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

std::string StubBeside(const std::string& toolPath) {
    if (toolPath.empty()) return {};
    const std::string candidate = FolderOf(Platform::Absolute(toolPath)) + "/Setup.exe";
    return IsFile(candidate) ? candidate : std::string();
}

std::string UninstallerBeside(const std::vector<std::string>& files) {
    for (const std::string& beside : files) {
        if (beside.empty()) continue;
        const std::string candidate = FolderOf(Platform::Absolute(beside)) + "/Uninstall.exe";
        if (IsFile(candidate)) return candidate;
    }
    return {};
}

}  // namespace SourceFiles
