#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <utility>

#include "tools/examine/SafeFolder.h"

namespace {

class TFd {
public:
    explicit TFd(int fd = -1) : fd_(fd) {}
    TFd(TFd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    TFd& operator=(TFd&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    ~TFd() {
        if (fd_ >= 0) ::close(fd_);
    }
    int Get() const { return fd_; }
    int Release() { return std::exchange(fd_, -1); }
    explicit operator bool() const { return fd_ >= 0; }

private:
    int fd_;
};

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

// The folder `name` below `parent`, created when missing; never a link.
TFd OpenFolder(int parent, const std::string& name) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        TFd fd(::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (fd) return fd;
        // With O_DIRECTORY a link is refused as "not a folder" too: look at what is there.
        struct stat there {};
        if ((errno == ELOOP || errno == ENOTDIR) && ::fstatat(parent, name.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISLNK(there.st_mode))
            throw ESafeFolder(Quoted(name) + " is a link; links are not followed");
        if (errno == ELOOP || errno == ENOTDIR) throw ESafeFolder(Quoted(name) + " is a file, not a folder");
        if (errno != ENOENT) throw ESafeFolder("cannot open folder " + Quoted(name) + ": " + std::strerror(errno));
        if (::mkdirat(parent, name.c_str(), 0777) != 0 && errno != EEXIST)
            throw ESafeFolder("cannot create folder " + Quoted(name) + ": " + std::strerror(errno));
    }
    throw ESafeFolder("folder " + Quoted(name) + " keeps changing");
}

std::string TemporaryName() {
    static std::atomic<unsigned> counter{0};
    return ".extract-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

}  // namespace

struct TSafeFolder::TImpl {
    TFd Root;
};

TSafeFolder::TSafeFolder(const std::string& root) : impl_(std::make_unique<TImpl>()) {
    if (::mkdir(root.c_str(), 0777) != 0 && errno != EEXIST)
        throw ESafeFolder("cannot create " + Quoted(root) + ": " + std::strerror(errno));
    impl_->Root = TFd(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!impl_->Root) throw ESafeFolder("cannot open folder " + Quoted(root) + ": " + std::strerror(errno));
}

TSafeFolder::~TSafeFolder() = default;

void TSafeFolder::WriteFile(const std::vector<std::string>& folders, const std::string& name, const TFill& fill) {
    std::vector<TFd> chain;
    int parent = impl_->Root.Get();
    for (const std::string& folder : folders) {
        chain.push_back(OpenFolder(parent, folder));
        parent = chain.back().Get();
    }
    const std::string temporary = TemporaryName();
    TFd file(::openat(parent, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!file) throw ESafeFolder("cannot create a file beside " + Quoted(name) + ": " + std::strerror(errno));
    const auto discard = [&] { ::unlinkat(parent, temporary.c_str(), 0); };
    try {
        fill([&](const void* data, std::size_t size) {
            const char* at = static_cast<const char*>(data);
            while (size > 0) {
                const ssize_t written = ::write(file.Get(), at, size);
                if (written < 0 && errno == EINTR) continue;
                if (written <= 0) throw ESafeFolder("cannot write " + Quoted(name) + ": " + std::strerror(errno));
                at += written;
                size -= static_cast<std::size_t>(written);
            }
        });
    } catch (...) {
        discard();
        throw;
    }
    if (::close(file.Release()) != 0) {
        const int error = errno;
        discard();
        throw ESafeFolder("cannot write " + Quoted(name) + ": " + std::strerror(error));
    }
    // Renaming replaces a link at the target instead of writing through it.
    if (::renameat(parent, temporary.c_str(), parent, name.c_str()) != 0) {
        const int error = errno;
        discard();
        throw ESafeFolder(error == EISDIR || error == ENOTEMPTY || error == EEXIST
                              ? Quoted(name) + " is a folder"
                              : "cannot write " + Quoted(name) + ": " + std::strerror(error));
    }
}
