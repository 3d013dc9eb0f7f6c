#include <windows.h>

#include <array>
#include <cstdio>

#include "system/Errors.h"
#include "system/Handles.h"
#include "tools/platform/Platform.h"

namespace Platform {

namespace {

// Text from one code page to another through UTF-16.
std::string Convert(const std::string& text, UINT from, UINT to) {
    if (text.empty()) return text;
    const int wideLength = ::MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (wideLength <= 0) return text;
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    ::MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), wide.data(), wideLength);
    const int length = ::WideCharToMultiByte(to, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return text;
    std::string result(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(to, 0, wide.data(), wideLength, result.data(), length, nullptr, nullptr);
    return result;
}

EntryKind KindOf(DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return EntryKind::Folder;
    if (attributes & FILE_ATTRIBUTE_DEVICE) return EntryKind::Other;
    return EntryKind::File;
}

}  // namespace

int RunShellCommand(const std::string& command) {
    std::fflush(nullptr);  // the signer's output comes after ours
    // /s: cmd takes everything between the first and the last quote as it is.
    std::string line = "cmd.exe /d /s /c \"" + ToNative(command) + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
        return -1;
    const UniqueKernelHandle processHandle(process.hProcess), threadHandle(process.hThread);
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    return ::GetExitCodeProcess(process.hProcess, &code) ? static_cast<int>(code) : -1;
}

std::string ShellQuote(const std::string& path) { return "\"" + path + "\""; }  // no quote can be in a Windows path

std::string ToNative(const std::string& utf8) { return Convert(utf8, CP_UTF8, CP_ACP); }
std::string FromNative(const std::string& native) { return Convert(native, CP_ACP, CP_UTF8); }

TEntryInfo Examine(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExA(ToNative(path).c_str(), GetFileExInfoStandard, &data)) return {};
    return {KindOf(data.dwFileAttributes), (std::uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow};
}

std::vector<TDirEntry> ListFolder(const std::string& folder) {
    std::vector<TDirEntry> entries;
    WIN32_FIND_DATAA data{};
    const UniqueFind find(::FindFirstFileA((ToNative(folder) + "\\*").c_str(), &data));
    if (!find) return entries;
    do {
        const std::string name = data.cFileName;
        if (name == "." || name == "..") continue;
        entries.push_back({FromNative(name), KindOf(data.dwFileAttributes)});
    } while (::FindNextFileA(find.get(), &data));
    return entries;
}

bool RemoveFile(const std::string& path) { return ::DeleteFileA(ToNative(path).c_str()) != 0; }

bool MakeFolder(const std::string& path) {
    return ::CreateDirectoryA(ToNative(path).c_str(), nullptr) || Examine(path).Kind == EntryKind::Folder;
}

void RenameOver(const std::string& from, const std::string& to) {
    if (!::MoveFileExA(ToNative(from).c_str(), ToNative(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        Raise(EFCreateError(ErrorText::FileCreate(to, LastSystemErrorText())));
}

std::optional<TFileId> Identify(const std::string& path) {
    // Backup semantics open folders too; without the reparse flag links are followed.
    const UniqueFile file(::CreateFileA(ToNative(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file || !::GetFileInformationByHandle(file.get(), &info)) return std::nullopt;
    return TFileId{info.dwVolumeSerialNumber, (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

std::string Absolute(const std::string& path) {
    std::array<char, MAX_PATH + 1> buffer{};
    const DWORD length = ::GetFullPathNameA(ToNative(path).c_str(), MAX_PATH, buffer.data(), nullptr);
    return length > 0 && length < MAX_PATH ? FromNative(std::string(buffer.data(), length)) : path;
}

std::string ExecutablePath() {
    std::array<char, MAX_PATH + 1> buffer{};
    const DWORD length = ::GetModuleFileNameA(nullptr, buffer.data(), MAX_PATH);
    return length > 0 && length < MAX_PATH ? FromNative(std::string(buffer.data(), length)) : std::string();
}

std::uint32_t ProcessId() { return ::GetCurrentProcessId(); }

bool StderrIsTerminal() {
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

// The temporary file is held open exclusively while it is written, so a
// console handler could not delete it; the caller's clean-up covers errors.
void RemoveOnInterrupt(const std::string&) {}
void ForgetOnInterrupt() {}

}  // namespace Platform
