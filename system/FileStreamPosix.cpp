#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "system/Errors.h"
#include "system/FileStream.h"

// POSIX has no share modes: an open file keeps its bytes through a rename or
// an unlink, not through a write. Only the tools run here.
TFileStream TFileStream::OpenRead(const std::string& path, TSharing) {
    // Without O_NONBLOCK, opening a FIFO waits for a writer that may never come.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) Raise(EFOpenError(ErrorText::FileOpen(path, LastSystemErrorText())));
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        const bool folder = S_ISDIR(info.st_mode);
        ::close(fd);
        errno = EISDIR;
        Raise(EFOpenError(ErrorText::FileOpen(path, folder ? LastSystemErrorText() : ErrorText::NotRegularFile)));
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return TFileStream(fd);
}

TFileStream TFileStream::Create(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) Raise(EFCreateError(ErrorText::FileCreate(path, LastSystemErrorText())));
    return TFileStream(fd);
}

std::optional<TFileStream> TFileStream::CreateNew(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return std::nullopt;
    return TFileStream(fd);
}

TFileStream::~TFileStream() {
    if (handle_ != kClosed) ::close(static_cast<int>(handle_));
}

std::uint64_t TFileStream::Size() {
    struct stat info {};
    if (::fstat(static_cast<int>(handle_), &info) != 0) return 0;
    return static_cast<std::uint64_t>(info.st_size);
}

void TFileStream::Seek(std::uint64_t position) {
    if (::lseek(static_cast<int>(handle_), static_cast<off_t>(position), SEEK_SET) < 0) RaiseReadError();
}

std::size_t TFileStream::Read(void* buffer, std::size_t count) {
    for (;;) {
        const ssize_t got = ::read(static_cast<int>(handle_), buffer, count);
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno != EINTR) return 0;
    }
}

void TFileStream::Write(const void* buffer, std::size_t count) {
    const auto* in = static_cast<const char*>(buffer);
    while (count > 0) {
        const ssize_t put = ::write(static_cast<int>(handle_), in, count);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) RaiseWriteError();
        in += put;
        count -= static_cast<std::size_t>(put);
    }
}

TTemporaryFile::TTemporaryFile(std::string target) : target_(std::move(target)) {
    static unsigned counter = 0;
    for (;;) {
        std::string name = target_ + ".part-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
        const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            path_ = std::move(name);
            file_.emplace(TFileStream(fd));
            return;
        }
        if (errno != EEXIST) Raise(EFCreateError(ErrorText::FileCreate(target_, LastSystemErrorText())));
    }
}

TTemporaryFile::~TTemporaryFile() {
    file_.reset();
    if (!path_.empty()) ::unlink(path_.c_str());
}

void TTemporaryFile::Commit() {
    file_.reset();
    if (::rename(path_.c_str(), target_.c_str()) != 0)
        Raise(EFCreateError(ErrorText::FileCreate(target_, LastSystemErrorText())));
    path_.clear();  // the target's name now
}
