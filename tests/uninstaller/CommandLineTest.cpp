#include "uninstaller/CommandLine.h"

#include <gtest/gtest.h>

TEST(WorkingCopyArguments, RoundTripWithBlanksInPaths) {
    const TWorkingCopyArguments given{"C:\\Program Files\\Demo App\\Uninstall.exe", 0x1A4, ""};
    const std::string line = WorkingCopyCommandLine("C:\\Temp Dir\\Uninstall-7.exe", given);
    const auto parsed = ParseWorkingCopyArguments(line);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->Original, given.Original);
    EXPECT_EQ(parsed->Parent, given.Parent);
}

TEST(WorkingCopyArguments, AnyOtherCommandLineIsTheOriginal) {
    for (const char* line : {"", "C:\\PROGRA~1\\DEMO\\UNINST~1.EXE", "\"C:\\a b\\Uninstall.exe\" /S",
                             "x /original \"\" /parent 5", "x /original y /parent 5z", "x /original y /parent",
                             "x /parent 5 /original y"})
        EXPECT_FALSE(ParseWorkingCopyArguments(line)) << line;
}

TEST(WorkingCopyArguments, FolderOfAPath) {
    EXPECT_EQ(FolderOf("C:\\Program Files\\Demo\\Uninstall.exe"), "C:\\Program Files\\Demo");
    EXPECT_EQ(FolderOf("C:\\Uninstall.exe"), "C:");
    EXPECT_EQ(FolderOf("Uninstall.exe"), "");
}

TEST(WorkingCopyArguments, CarryTheOriginalsSwitches) {
    const TWorkingCopyArguments given{"C:\\App\\Uninstall.exe", 12, "/S \"/LOG=C:\\My Logs\\u.log\""};
    const auto parsed = ParseWorkingCopyArguments(WorkingCopyCommandLine("C:\\Temp\\Uninstall-7.exe", given));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->Original, given.Original);
    EXPECT_EQ(parsed->Switches, given.Switches);
    EXPECT_EQ(ParseWorkingCopyArguments(WorkingCopyCommandLine("C:\\T.exe", {"C:\\U.exe", 3, ""}))->Switches, "");
}
