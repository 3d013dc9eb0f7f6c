// Carries out an uninstall plan on the running system: files, folders,
// Program Manager groups, registry values and the uninstall registration.
#pragma once

#include <functional>
#include <string>

#include "uninstaller/UninstallPlan.h"
#include "uninstaller/UninstallTexts.h"

// Told before each step, with what is about to be removed.
using TRemovalProgress = std::function<void(const std::string& what)>;

class TRemoval {
public:
    // `installDir`: the folder the uninstaller belongs to; `uninstaller`: the
    // program in it, removed by the caller once it no longer runs.
    TRemoval(const std::string& installDir, const std::string& uninstaller);

    // The plan without what is gone already, and without a registration that
    // now names another copy of the program. Empty: nothing to do.
    TUninstallPlan WhatIsLeft(const TUninstallPlan& plan) const;

    // True when `left` (from WhatIsLeft) holds nothing this run could
    // remove: no file, group, value or registration, and every folder holds
    // something that is not the package's.
    static bool NothingToDo(const TUninstallPlan& left);

    // Number of steps Run reports.
    static int StepCount(const TUninstallPlan& plan);

    // Removes what the plan names; whatever stays is listed in the report
    // with the reason. Never raises for a single item.
    TRemovalReport Run(const TUninstallPlan& plan, const TRemovalProgress& progress);

    // The data files, the uninstaller (retried while its process ends; when
    // `uninstallerRuns`, deleted at the next start of Windows; when
    // `originalWaits`, moved out of the way while its process waits for this
    // one) and the install folder when nothing else is left in it.
    void RemoveOwnFiles(TRemovalReport& report, bool uninstallerRuns, bool originalWaits = false);

    const std::string& DataFile() const { return dataFile_; }

private:
    void RemoveFile(const std::string& path, TRemovalReport& report, bool retryWhileInUse = false);
    void RemoveFolder(const std::string& path, TRemovalReport& report);
    void ReportFolderLeft(const std::string& path, TRemovalReport& report);
    void RemoveGroup(const std::string& name, TRemovalReport& report);
    void RemoveValue(const TRegistryValueRef& value, TRemovalReport& report);
    void RemoveRegistration(const std::string& key, TRemovalReport& report);
    bool RegistrationIsOurs(const std::string& key) const;

    std::string installDir_;
    std::string uninstaller_;
    std::string longUninstaller_;  // compared with every file of the plan
    std::string dataFile_;
    std::string earlierDataFile_;
    std::vector<std::string> leftFolders_;
};
