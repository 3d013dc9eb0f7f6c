#include "unattended/SilentInstall.h"

#include <windows.h>

#include "package/DdeInstance.h"
#include "package/CompressedReading.h"
#include "package/ZodiDuradad.h"
#include "system/Errors.h"
#include "system/uCustomModule.h"
#include "ui/Application.h"
#include "unattended/ExitCodes.h"
#include "unattended/RunLog.h"
#include "wizard/DestinationRules.h"

using namespace RecordHead;

namespace {

// What the shell step reports for every kind of item, and what the log says instead.
constexpr char kShellReport[] = "Create group";

std::string ShellItemText(TVazuravAzoz& pack, const TShellItem& item) {
    const std::string caption = "\"" + item.Caption.Text() + "\"";
    const auto target = [&] { return pack.ResolvePath(item.BaseDir.Text(), item.SubDir.Text(), item.FileName.Text()); };
    switch (item.Kind) {
        case skCreateGroup: return "Create Program Manager group " + caption;
        case skAddItem: return "Add Program Manager item " + caption + " for " + target();
        case skScreenSaver: return "Set the screen saver " + target();
        case skWallpaper: return "Set the wallpaper " + target();
        default: return "Shell item of kind " + std::to_string(item.Kind) + ": nothing to do";
    }
}

// Watches the install run through its two reports and writes each step to
// the log; it is the run's only observer, as the wizard is in the wizard.
class TInstallObserver {
public:
    explicit TInstallObserver(TRunLog& log) : log_(log) {}

    void Progress(TVazuravAzoz* pack, std::int32_t, const std::string& text) {
        if (text != kShellReport) return log_.Line(text);
        const auto& items = pack->GetShellItems();
        if (shellReports_ < items.size()) log_.Line(ShellItemText(*pack, items[shellReports_]));
        ++shellReports_;
    }
    void Step(TVazuravAzoz*, std::int32_t, const std::string& text) { log_.Line(text); }

    std::size_t ShellReports() const { return shellReports_; }

private:
    TRunLog& log_;
    std::size_t shellReports_ = 0;
};

int Install(const TSwitches& switches, TRunLog& log) {
    TDdeInstance dde;
    TApplication application;  // never shown; COM and the message pump as in the wizard
    SetProcessMessages([] { TApplication::Current()->ProcessMessagesAfterItem(); });
    struct TPumpReset {
        ~TPumpReset() { SetProcessMessages(nullptr); }
    } pumpReset;

    const std::string self = ExecutablePath();
    log.Line("Setup program " + self);
    TVazuravAzoz pack;
    try {
        if (!pack.OpenPackage(self, kFullReading)) {
            log.Line("No package is appended to this program. Nothing has been installed.");
            return ExitCode::kNotAPackage;
        }
    } catch (const std::exception&) {
        log.Error();
        log.Line("The package cannot be used. Nothing has been installed.");
        return ExitCode::kNotAPackage;
    }
    log.Line("Application " + pack.GetAppName());

    // (value_or here makes the cross compiler's link-time optimiser fail.)
    const std::string folder = switches.Folder ? *switches.Folder : "C:\\Program Files\\" + pack.GetAppName();
    if (!IsUsableInstallFolder(folder)) {
        log.Line("Install folder refused: \"" + folder + "\". " + kUnusableFolderMessage);
        log.Line("Nothing has been installed.");
        return ExitCode::kFolderRefused;
    }
    pack.SetInstallDir(folder);
    log.Line("Install folder " + pack.GetInstallDir());

    TInstallObserver observer(log);
    pack.SetOnProgress(TProgressEvent::Bind<&TInstallObserver::Progress>(&observer));
    pack.SetOnStep(TProgressEvent::Bind<&TInstallObserver::Step>(&observer));
    try {
        pack.Install();
    } catch (const std::exception&) {
        log.Error();
        log.Line("The install stopped at this step. What it did before stays in place; the uninstall data file "
                 "is written only by a complete install.");
        return ExitCode::kInstallFailed;
    }
    // The shell step reports every item once the Program Manager answers,
    // and nothing when none does.
    if (!pack.GetShellItems().empty() && observer.ShellReports() == 0) {
        log.Line("No Program Manager answered, so none of the " + std::to_string(pack.GetShellItems().size()) +
                 " shell items (Start Menu groups and items, screen saver, wallpaper) was carried out. "
                 "Everything else has been installed.");
        return ExitCode::kNoProgramManager;
    }
    log.Line("Installed.");
    return ExitCode::kInstalled;
}

}  // namespace

int RunSilentInstall(const TSwitches& switches) {
    return RunLogged(switches.LogPath, [&](TRunLog& log) { return Install(switches, log); });
}
