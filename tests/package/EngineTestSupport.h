// Helpers for the install engine's tests under Wine: message pumping, the
// progress log, registry and file reads, package patching, and the two
// recording stand-ins (Active Desktop object, display control panel).
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "package/UninstallContract.h"
#include "package/ZodiDuradad.h"
#include "system/Errors.h"
#include "tests/support/TestFiles.h"

// Handles every pending message of the thread (the progress report's hook).
void PumpMessages();
// Pumps until `done` holds or `timeoutMs` has passed; returns `done()`.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);

// Milliseconds from an arbitrary start, at sub-millisecond resolution.
double NowMs();

struct ProgressReport {
    std::int32_t Position;
    std::string Text;
    double AtMs;
};

// Records what the package object reports.
class ProgressLog {
public:
    TProgressEvent Event() { return TProgressEvent::Bind<&ProgressLog::On>(this); }
    void On(TVazuravAzoz* Sender, std::int32_t Position, const std::string& Text);

    std::vector<ProgressReport> Reports;
    TVazuravAzoz* LastSender = nullptr;
};

// The string value `name` of `root\key` (and its type); nullopt when absent.
std::optional<std::string> ReadRegString(HKEY root, const std::string& key, const std::string& name,
                                         DWORD* type = nullptr);
bool RegKeyExists(HKEY root, const std::string& key);

bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);
std::string ReadText(const std::string& path);
std::string ShortPathOf(const std::string& path);
// The folder of the running test program.
std::string ModuleDir();

// The uninstall data file's name in the install folder.
inline const std::string kUninstallDataFile{UninstallContract::kDataFileName};
// The current user's Start Menu programs folder.
std::string ProgramsFolder();
// Closes the shell's folder windows (Wine opens one per group command);
// false when one is still open after a time-out.
bool CloseFolderWindows();
// The target path stored in a shell link.
std::string LinkTarget(const std::string& linkPath);

// Sets the Offset and Size of file record `index` in built package bytes.
void PatchFileItem(Bytes& package, std::size_t index, std::uint32_t offset, std::uint32_t size);

// The recording Active Desktop object registered under the shell's class
// identifier, logging to `log`; Unregister removes the class altogether.
void RegisterWallpaperRecorder(const std::string& log);
void UnregisterActiveDesktop();

// The recording desk.cpl placed in the system folder, logging to `log`.
void InstallDeskCplRecorder(const std::string& log);
// Reads the recorder's log once `minLines` lines have arrived (or after a time-out).
std::vector<std::string> WaitForLogLines(const std::string& log, std::size_t minLines, DWORD timeoutMs = 20000);

// Runs Install and returns the message of the error of kind E it raises, or
// what it did instead.
template <typename E>
std::string InstallFailureOf(TVazuravAzoz& pack) {
    try {
        pack.Install();
    } catch (const E& error) {
        return error.Message();
    } catch (const Exception& other) {
        return std::string("unexpected ") + other.TypeName() + ": " + other.Message();
    }
    return "no error";
}
