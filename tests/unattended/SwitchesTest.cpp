#include "unattended/Switches.h"

#include <gtest/gtest.h>

namespace {

std::optional<TSwitches> SetupSwitches(std::string_view arguments) { return ParseSwitches(arguments, true); }

}  // namespace

TEST(Switches, SilentInAnyCaseAndOrderWithALog) {
    for (const char* line : {"/S", "/s", "  /S  ", "\"/S\""}) {
        const auto switches = SetupSwitches(line);
        ASSERT_TRUE(switches) << line;
        EXPECT_EQ(switches->LogPath, "") << line;
        EXPECT_FALSE(switches->Folder) << line;
    }
    for (const char* line : {"/LOG=C:\\Logs\\app.log /S", "/S /log=C:\\Logs\\app.log"}) {
        const auto switches = SetupSwitches(line);
        ASSERT_TRUE(switches) << line;
        EXPECT_EQ(switches->LogPath, "C:\\Logs\\app.log") << line;
    }
    // A log path with blanks comes quoted, whole or from the equals sign on.
    for (const char* line : {"/S \"/LOG=C:\\My Logs\\a.log\"", "/S /LOG=\"C:\\My Logs\\a.log\""})
        EXPECT_EQ(SetupSwitches(line)->LogPath, "C:\\My Logs\\a.log") << line;
}

TEST(Switches, FolderIsTheRestOfTheLineBlanksIncluded) {
    const auto switches = SetupSwitches("/S /LOG=x.log /D=C:\\Program Files\\My  App ");
    ASSERT_TRUE(switches);
    EXPECT_EQ(*switches->Folder, "C:\\Program Files\\My  App");
    EXPECT_EQ(switches->LogPath, "x.log");
    EXPECT_EQ(*SetupSwitches("/s /d=\"C:\\Quoted App\"")->Folder, "C:\\Quoted App");
    EXPECT_EQ(*SetupSwitches("/S \"/D=C:\\Quoted Whole\"")->Folder, "C:\\Quoted Whole");
    // Whatever follows /D= is the folder, switches included.
    EXPECT_EQ(*SetupSwitches("/S /D=C:\\App /LOG=x")->Folder, "C:\\App /LOG=x");
    // An empty folder is given, not left to the default: the folder rules refuse it.
    EXPECT_EQ(*SetupSwitches("/S /D=")->Folder, "");
}

TEST(Switches, AnythingElseLeavesTheProgramAsItWas) {
    for (const char* line : {"", "   ", "/LOG=x.log", "/D=C:\\App /S", "/S extra", "extra /S", "/S /SILENT",
                             "/S /LOG=", "/S /D", "-S", "/S /D:C:\\App", "/S/LOG=x"})
        EXPECT_FALSE(SetupSwitches(line)) << line;
    // The uninstaller has no install folder to choose.
    EXPECT_FALSE(ParseSwitches("/S /D=C:\\App", false));
    EXPECT_TRUE(ParseSwitches("/S /LOG=u.log", false));
}

TEST(Switches, ArgumentsFollowTheProgramName) {
    EXPECT_EQ(ArgumentsOf("\"C:\\Program Files\\Setup.exe\" /S /D=C:\\A B"), "/S /D=C:\\A B");
    EXPECT_EQ(ArgumentsOf("C:\\Setup.exe  /S"), "/S");
    EXPECT_EQ(ArgumentsOf("Setup.exe"), "");
    EXPECT_EQ(ArgumentsOf("\"C:\\Setup.exe\"/S"), "/S");
}

TEST(Switches, HandedOnTheyReadTheSame) {
    const auto given = ParseSwitches("/S \"/LOG=C:\\My Logs\\u.log\"", false);
    ASSERT_TRUE(given);
    const auto again = ParseSwitches(SwitchArguments(*given), false);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->LogPath, "C:\\My Logs\\u.log");
    EXPECT_EQ(SwitchArguments(TSwitches{}), "/S");
}
