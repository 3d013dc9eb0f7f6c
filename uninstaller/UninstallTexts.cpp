#include "uninstaller/UninstallTexts.h"

namespace UninstallText {

namespace {

// A summary longer than this would not fit a message box on the screen.
constexpr std::size_t kMaxLeftLines = 15;

std::string JoinedList(const std::vector<std::string>& parts) {
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) text += i + 1 == parts.size() ? " and " : ", ";
        text += parts[i];
    }
    return text;
}

std::string QuotedNames(const std::vector<std::string>& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) text += ", ";
        text += "\"" + names[i] + "\"";
    }
    return text;
}

}  // namespace

std::string Counted(std::size_t count, std::string_view singular, std::string_view plural) {
    return std::to_string(count) + " " + std::string(count == 1 ? singular : plural);
}

std::string Title(std::string_view appName) { return appName.empty() ? "Uninstall" : std::string(appName); }

std::string Question(std::string_view appName, std::string_view installDir, const TUninstallPlan& plan) {
    std::vector<std::string> parts;
    if (!plan.FilesToRemove.empty()) parts.push_back(Counted(plan.FilesToRemove.size(), "file", "files"));
    if (!plan.FoldersToRemove.empty())
        parts.push_back(Counted(plan.FoldersToRemove.size(), "folder", "folders") + " (when empty)");
    if (!plan.GroupsToDelete.empty())
        parts.push_back((plan.GroupsToDelete.size() == 1 ? "the Start Menu group " : "the Start Menu groups ") +
                        QuotedNames(plan.GroupsToDelete));
    if (!plan.RegistryValues.empty())
        parts.push_back(Counted(plan.RegistryValues.size(), "registry value", "registry values"));
    if (!plan.RegistrationKey.empty()) parts.push_back("its entry in the list of installed programs");

    std::string text = "Remove " + Title(appName) + " from " + std::string(installDir) + "?";
    if (!parts.empty()) text += "\r\n\r\nThis removes " + JoinedList(parts) + ".";
    text += " Files you added to the folder stay.";
    return text;
}

std::string Summary(std::string_view appName, std::string_view installDir, const TRemovalReport& report) {
    std::string text = Title(appName) + " has been removed from " + std::string(installDir) + ".";
    if (report.Left.empty()) return text;
    text += "\r\n\r\nLeft in place:";
    const std::size_t shown = report.Left.size() < kMaxLeftLines ? report.Left.size() : kMaxLeftLines;
    for (std::size_t i = 0; i < shown; ++i) text += "\r\n    " + report.Left[i];
    if (report.Left.size() > shown) text += "\r\n    ... and " + Counted(report.Left.size() - shown, "more", "more");
    return text;
}

std::string NothingToDo(std::string_view appName, std::string_view installDir) {
    return Title(appName) + " is no longer installed in " + std::string(installDir) +
           ": there is nothing to remove.";
}

std::string DataFileMissing(std::string_view dataFile) {
    return "The uninstall data file \"" + std::string(dataFile) +
           "\" is missing, so the uninstaller cannot tell what was installed. Nothing has been removed.";
}

std::string DataFileUnreadable(std::string_view dataFile, std::string_view reason) {
    return "The uninstall data file \"" + std::string(dataFile) + "\" cannot be used: " + std::string(reason) +
           ". Nothing has been removed.";
}

std::string LeftLine(std::string_view item, std::string_view why) {
    return std::string(item) + " (" + std::string(why) + ")";
}

}  // namespace UninstallText
