#include "uninstaller/UninstallTexts.h"

#include <gtest/gtest.h>

TEST(UninstallTexts, QuestionNamesWhatGoesCountedAndTheGroups) {
    TUninstallPlan plan;
    plan.FilesToRemove = {"a", "b", "c"};
    plan.FoldersToRemove = {"d"};
    plan.GroupsToDelete = {"Demo App"};
    plan.RegistryValues = {{0x80000001u, "Software\\Demo", "Path"}};
    plan.RegistrationKey = "software\\...\\Demo App";
    EXPECT_EQ(UninstallText::Question("Demo App", "C:\\Program Files\\Demo", plan),
              "Remove Demo App from C:\\Program Files\\Demo?\r\n\r\nThis removes 3 files, 1 folder (when empty), "
              "the Start Menu group \"Demo App\", 1 registry value and its entry in the list of installed programs. "
              "Files you added to the folder stay.");

    TUninstallPlan two;
    two.GroupsToDelete = {"A", "B"};
    two.FilesToRemove = {"x"};
    EXPECT_EQ(UninstallText::Question("", "C:\\X", two),
              "Remove Uninstall from C:\\X?\r\n\r\nThis removes 1 file and the Start Menu groups \"A\", \"B\". "
              "Files you added to the folder stay.");
}

TEST(UninstallTexts, SummaryListsWhatStaysUpToAScreenful) {
    TRemovalReport report;
    EXPECT_EQ(UninstallText::Summary("Demo", "C:\\Demo", report), "Demo has been removed from C:\\Demo.");

    report.Left = {UninstallText::LeftLine("C:\\Demo", "still holds notes.txt")};
    EXPECT_EQ(UninstallText::Summary("Demo", "C:\\Demo", report),
              "Demo has been removed from C:\\Demo.\r\n\r\nLeft in place:\r\n    C:\\Demo (still holds notes.txt)");

    report.Left.assign(17, "x");
    const std::string text = UninstallText::Summary("Demo", "C:\\Demo", report);
    EXPECT_EQ(text.substr(text.rfind("\r\n") + 2), "    ... and 2 more");
    std::size_t lines = 0;
    for (std::size_t at = text.find("\r\n    x"); at != std::string::npos; at = text.find("\r\n    x", at + 1)) ++lines;
    EXPECT_EQ(lines, 15u);
}

TEST(UninstallTexts, EarlyEndsSayNothingWasRemoved) {
    EXPECT_EQ(UninstallText::NothingToDo("Demo", "C:\\Demo"),
              "Demo is no longer installed in C:\\Demo: there is nothing to remove.");
    EXPECT_NE(UninstallText::DataFileMissing("C:\\Demo\\d.dat").find("\"C:\\Demo\\d.dat\" is missing"), std::string::npos);
    EXPECT_EQ(UninstallText::DataFileUnreadable("C:\\d.dat", "Stream read error"),
              "The uninstall data file \"C:\\d.dat\" cannot be used: Stream read error. Nothing has been removed.");
}
