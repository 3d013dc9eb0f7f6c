#include "Serve.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cstdio>
#include <exception>
#include <fstream>

#include "Commands.h"
#include "WindowFind.h"
#include "system/Handles.h"

namespace driver {

namespace {

bool Exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

struct ChangeNotificationTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { ::FindCloseChangeNotification(h); }
};

// Waits for a file to appear in the served folder. A poll every few ms costs
// the emulated driver and the Wine server CPU for the whole session, which
// the program under test then lacks; a change in the folder wakes the wait,
// and a short time-out covers a change the notification did not deliver.
class FolderWatch {
public:
    explicit FolderWatch(const std::string& folder)
        : change_(::FindFirstChangeNotificationA(folder.c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME)) {}

    void WaitForChange() {
        if (!change_) {
            ::Sleep(20);
            return;
        }
        if (::WaitForSingleObject(change_.get(), 250) == WAIT_OBJECT_0) ::FindNextChangeNotification(change_.get());
    }

private:
    UniqueHandle<ChangeNotificationTraits> change_;
};

// Points stdout and stderr at one script's output file while it runs.
class OutputTo {
public:
    explicit OutputTo(const std::string& path) {
        std::fflush(stdout);
        std::fflush(stderr);
        const int file = ::_open(path.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE);
        if (file < 0) throw CommandFailed("cannot write " + path);
        savedOut_ = ::_dup(1);
        savedErr_ = ::_dup(2);
        ::_dup2(file, 1);
        ::_dup2(file, 2);
        ::_close(file);
    }
    ~OutputTo() {
        std::fflush(stdout);
        std::fflush(stderr);
        ::_dup2(savedOut_, 1);
        ::_dup2(savedErr_, 2);
        ::_close(savedOut_);
        ::_close(savedErr_);
    }
    OutputTo(const OutputTo&) = delete;
    OutputTo& operator=(const OutputTo&) = delete;

private:
    int savedOut_ = -1;
    int savedErr_ = -1;
};

int RunOne(Context& context, const std::string& base) {
    OutputTo output(base + ".out");
    try {
        return RunScript(context, base + ".txt");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "windriver: %s.txt: %s\n", base.c_str(), e.what());
        return 1;
    }
}

// The exit code appears whole, and only after the output file is closed.
void PublishExitCode(const std::string& base, int code) {
    const std::string partial = base + ".rc.part";
    {
        std::ofstream file(partial, std::ios::binary | std::ios::trunc);
        file << code << '\n';
    }
    ::MoveFileExA(partial.c_str(), (base + ".rc").c_str(), MOVEFILE_REPLACE_EXISTING);
}

}  // namespace

int Serve(const std::string& folder) {
    const std::string stop = folder + "\\stop";
    // The scripts are one scenario's steps: the program one started and the
    // window one used are the next one's, as in one long script.
    Context context;
    context.endProgramOnFailure = false;
    FolderWatch watch(folder);
    for (int n = 1;; ++n) {
        const std::string base = folder + "\\" + std::to_string(n);
        while (!Exists(base + ".txt")) {
            if (Exists(stop)) return 0;
            watch.WaitForChange();
        }
        int code = 1;
        try {
            code = RunOne(context, base);
        } catch (const CommandFailed& e) {
            std::fprintf(stderr, "windriver: serve: %s\n", e.what());
        }
        PublishExitCode(base, code);
    }
}

}  // namespace driver
