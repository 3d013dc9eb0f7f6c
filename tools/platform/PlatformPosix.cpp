#include <array>
#include <cstdio>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "system/Errors.h"
#include "tools/platform/Platform.h"

namespace Platform {

namespace {

EntryKind KindOf(mode_t mode) {
    if (S_ISREG(mode)) return EntryKind::File;
    if (S_ISDIR(mode)) return EntryKind::Folder;
    return EntryKind::Other;
}

// The interrupt handler may only touch async-signal-safe state.
std::array<char, 4096> gInterruptPath{};
volatile std::sig_atomic_t gInterruptArmed = 0;

extern "C" void RemoveAndReraise(int signal) {
    if (gInterruptArmed) ::unlink(gInterruptPath.data());
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

}  // namespace

TEntryInfo Examine(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return {};
    return {KindOf(info.st_mode), static_cast<std::uint64_t>(info.st_size)};
}

std::vector<TDirEntry> ListFolder(const std::string& folder) {
    std::vector<TDirEntry> entries;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return entries;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        entries.push_back({name, Examine(folder + "/" + name).Kind});
    }
    ::closedir(dir);
    return entries;
}

int RunShellCommand(const std::string& command) {
    std::fflush(nullptr);  // the signer's output comes after ours
    const int status = std::system(command.c_str());
    return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ShellQuote(const std::string& path) {
    std::string quoted = "'";
    for (const char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool MakeFolder(const std::string& path) {
    return ::mkdir(path.c_str(), 0777) == 0 || Examine(path).Kind == EntryKind::Folder;
}

void RenameOver(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) != 0)
        Raise(EFCreateError(ErrorText::FileCreate(to, LastSystemErrorText())));
}

std::optional<TFileId> Identify(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return TFileId{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

std::string Absolute(const std::string& path) {
    if (!path.empty() && path[0] == '/') return path;
    std::array<char, 4096> buffer{};
    if (::getcwd(buffer.data(), buffer.size()) == nullptr) return path;
    return std::string(buffer.data()) + "/" + path;
}

std::string ExecutablePath() {
    std::array<char, 4096> buffer{};
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    return length > 0 ? std::string(buffer.data(), static_cast<std::size_t>(length)) : std::string();
}

std::uint32_t ProcessId() { return static_cast<std::uint32_t>(::getpid()); }

bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

std::string ToNative(const std::string& utf8) { return utf8; }
std::string FromNative(const std::string& native) { return native; }

void RemoveOnInterrupt(const std::string& path) {
    gInterruptArmed = 0;
    if (path.size() >= gInterruptPath.size()) return;  // too long to remember: left to the caller's clean-up
    std::memcpy(gInterruptPath.data(), path.c_str(), path.size() + 1);
    gInterruptArmed = 1;
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) std::signal(signal, RemoveAndReraise);
}

void ForgetOnInterrupt() {
    gInterruptArmed = 0;
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) std::signal(signal, SIG_DFL);
}

}  // namespace Platform
