#include <windows.h>

#include "system/Errors.h"
#include "system/FileStream.h"
#include "system/SystemRules.h"

namespace {
HANDLE AsHandle(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }
std::intptr_t FromHandle(HANDLE h) { return reinterpret_cast<std::intptr_t>(h); }
// A single ReadFile or WriteFile moves at most this much.
constexpr std::size_t kMaxTransfer = 1u << 30;

[[noreturn]] void RaiseCreateError(const std::string& path) {
    Raise(EFCreateError(ErrorText::FileCreate(path, LastSystemErrorText())));
}
}  // namespace

TFileStream TFileStream::OpenRead(const std::string& path, TSharing sharing) {
    // Without FILE_SHARE_DELETE no one can rename the file either.
    const DWORD share = sharing == TSharing::ReadOnly ? FILE_SHARE_READ : FILE_SHARE_READ | FILE_SHARE_WRITE;
    const HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) Raise(EFOpenError(ErrorText::FileOpen(path, LastSystemErrorText())));
    // A pipe, a console or a port: reads from it could wait forever.
    if (::GetFileType(h) != FILE_TYPE_DISK) {
        ::CloseHandle(h);
        Raise(EFOpenError(ErrorText::FileOpen(path, ErrorText::NotRegularFile)));
    }
    return TFileStream(FromHandle(h));
}

TFileStream TFileStream::Create(const std::string& path) {
    const HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) RaiseCreateError(path);
    return TFileStream(FromHandle(h));
}

std::optional<TFileStream> TFileStream::CreateNew(const std::string& path) {
    const HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    return TFileStream(FromHandle(h));
}

TFileStream::~TFileStream() {
    if (handle_ != kClosed) ::CloseHandle(AsHandle(handle_));
}

std::uint64_t TFileStream::Size() {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(AsHandle(handle_), &size)) return 0;
    return static_cast<std::uint64_t>(size.QuadPart);
}

void TFileStream::Seek(std::uint64_t position) {
    LARGE_INTEGER target{};
    target.QuadPart = static_cast<LONGLONG>(position);
    if (!::SetFilePointerEx(AsHandle(handle_), target, nullptr, FILE_BEGIN)) RaiseReadError();
}

std::size_t TFileStream::Read(void* buffer, std::size_t count) {
    DWORD got = 0;
    const DWORD ask = static_cast<DWORD>(count < kMaxTransfer ? count : kMaxTransfer);
    if (!::ReadFile(AsHandle(handle_), buffer, ask, &got, nullptr)) return 0;
    return got;
}

void TFileStream::Write(const void* buffer, std::size_t count) {
    const auto* in = static_cast<const char*>(buffer);
    while (count > 0) {
        DWORD put = 0;
        const DWORD ask = static_cast<DWORD>(count < kMaxTransfer ? count : kMaxTransfer);
        if (!::WriteFile(AsHandle(handle_), in, ask, &put, nullptr) || put == 0) RaiseWriteError();
        in += put;
        count -= put;
    }
}

TTemporaryFile::TTemporaryFile(std::string target) : target_(std::move(target)) {
    const std::size_t slash = FindLastOf(target_, "\\/", IsAnsiLeadByte);
    const std::string folder = slash == std::string::npos ? "." : target_.substr(0, slash);
    char name[MAX_PATH];
    if (::GetTempFileNameA(folder.c_str(), "stp", 0, name) == 0) RaiseCreateError(target_);
    path_ = name;
    const HANDLE h = ::CreateFileA(path_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        ::DeleteFileA(path_.c_str());
        ::SetLastError(code);
        RaiseCreateError(target_);
    }
    file_.emplace(TFileStream(FromHandle(h)));
}

TTemporaryFile::~TTemporaryFile() {
    file_.reset();
    if (!path_.empty()) ::DeleteFileA(path_.c_str());
}

void TTemporaryFile::Commit() {
    file_.reset();
    bool moved = ::MoveFileExA(path_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
    // Windows 95, 98 and Me have no MoveFileEx.
    if (!moved && ::GetLastError() == ERROR_CALL_NOT_IMPLEMENTED)
        moved = ::DeleteFileA(target_.c_str()) && ::MoveFileA(path_.c_str(), target_.c_str());
    if (!moved) RaiseCreateError(target_);
    path_.clear();  // the target's name now
}
