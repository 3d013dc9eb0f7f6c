// The plain-text log of an unattended run (/LOG=PATH): one line per step,
// written as it happens, so a run that stops leaves the lines up to there.
#pragma once

#include <exception>
#include <optional>
#include <string>
#include <string_view>

#include "system/FileStream.h"
#include "unattended/ExitCodes.h"

class TRunLog {
public:
    // Writes nothing until opened.
    TRunLog() = default;
    // Creates (or empties) the file; raises EFCreateError.
    void Open(const std::string& path);

    // Writes `text` and a line break. A log that can no longer be written
    // is given up; the run does not fail for it.
    void Line(std::string_view text);

    // "Error: <type name>: <message>" of the error being handled (in a
    // handler of std::exception), the message as the wizard's error box
    // would show it.
    void Error();

private:
    std::optional<TFileStream> file_;
};

// Runs `body(log)` with the log of `logPath` (none when empty) and returns
// its exit code, which ends the log as "Exit code N". A log that cannot be
// made is kLogNotWritten, and `body` does not run; an error `body` raises is
// logged and is kUnexpected.
template <typename Body>
int RunLogged(const std::string& logPath, Body body) {
    TRunLog log;
    if (!logPath.empty()) {
        try {
            log.Open(logPath);
        } catch (const std::exception&) {
            return ExitCode::kLogNotWritten;
        }
    }
    int code = ExitCode::kUnexpected;
    try {
        code = body(log);
    } catch (const std::exception&) {
        log.Error();
    }
    log.Line("Exit code " + std::to_string(code));
    return code;
}
