#include "tools/description/SourceFiles.h"

#include <gtest/gtest.h>

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <fstream>

#include "tests/support/TestFiles.h"

namespace {

class SourceFilesTest : public ::testing::Test {
protected:
    std::string Put(const std::string& relative, const Bytes& bytes) {
        const auto path = dir.Path() / relative;
        std::filesystem::create_directories(path.parent_path());
        WriteFileBytes(path, bytes);
        return path.string();
    }
    // A file of `size` bytes that takes no room: the checks need its size only.
    std::string Sparse(const std::string& name, long long size) {
        const std::string path = dir.File(name);
        { std::ofstream(path, std::ios::binary).put('x'); }
        EXPECT_EQ(::truncate(path.c_str(), size), 0);
        return path;
    }
    TempDir dir;
};

TEST(SourceFilesFolderOf, IsThePathBeforeTheLastSeparator) {
    EXPECT_EQ(SourceFiles::FolderOf("a/b/c.toml"), "a/b");
    EXPECT_EQ(SourceFiles::FolderOf("a\\b\\c.toml"), "a\\b");
    EXPECT_EQ(SourceFiles::FolderOf("/c.toml"), "/");
    EXPECT_EQ(SourceFiles::FolderOf("c.toml"), "");
}

TEST_F(SourceFilesTest, ASourceIsAReadableFileWhoseSizeFits32Bits) {
    const SourceFiles::TSource ok = SourceFiles::Examine(Put("a.txt", TextBytes("hello")));
    EXPECT_TRUE(ok.Problem.empty()) << ok.Problem;
    EXPECT_EQ(ok.Size, 5u);

    const std::string gone = dir.File("gone.txt");
    EXPECT_EQ(SourceFiles::Examine(gone).Problem, "source file \"" + gone + "\" not found");
    EXPECT_EQ(SourceFiles::Examine(dir.Path().string()).Problem,
              "source \"" + dir.Path().string() + "\" is not a file (a pattern such as \"dir/**\" takes a folder's files)");

    const SourceFiles::TSource largest = SourceFiles::Examine(Sparse("largest.bin", 0xFFFFFFFFLL));
    EXPECT_TRUE(largest.Problem.empty()) << largest.Problem;
    EXPECT_EQ(largest.Size, 0xFFFFFFFFu);
    const std::string huge = Sparse("huge.bin", 0x100000000LL);
    EXPECT_EQ(SourceFiles::Examine(huge).Problem,
              "source file \"" + huge + "\" is 4294967296 bytes; a package records sizes in 32 bits (at most 4294967295)");

    // A file of the system that says 0 bytes and has content was once packed empty.
    const SourceFiles::TSource empty = SourceFiles::Examine(Put("empty.txt", {}));
    EXPECT_TRUE(empty.Problem.empty()) << empty.Problem;
    if (std::filesystem::exists("/proc/self/status")) {
        EXPECT_NE(SourceFiles::Examine("/proc/self/status").Problem.find("reads as longer than the 0 bytes"),
                  std::string::npos);
    }
}

// Root reads every file through its permission overrides; without them it
// meets file modes as any user does. Only this (forked) process loses them.
bool DropPermissionOverrides() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (::syscall(SYS_capget, &header, data) != 0) return false;
    for (const int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH})
        data[capability / 32].effective &= ~(1u << (capability % 32));
    return ::syscall(SYS_capset, &header, data) == 0;
}

TEST_F(SourceFilesTest, AnUnreadableSourceIsNamed) {
    const std::string secret = Put("secret.txt", TextBytes("s"));
    ASSERT_EQ(::chmod(secret.c_str(), 0), 0);
    EXPECT_EXIT(
        {
            const bool dropped = DropPermissionOverrides();
            const std::string problem = SourceFiles::Examine(secret).Problem;
            std::fprintf(stderr, "%s", problem.c_str());
            std::_Exit(dropped && problem.rfind("source file cannot be read: ", 0) == 0 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(SourceFilesTest, AStubIsAFileAndIsWarnedAboutWhenItIsNoBareSetupProgram) {
    const SourceFiles::TStub plain = SourceFiles::ExamineStub(Put("Setup.exe", TextBytes("MZ and the rest")));
    EXPECT_TRUE(plain.Problem.empty()) << plain.Problem;
    EXPECT_TRUE(plain.Warnings.empty());
    EXPECT_EQ(plain.Size, 15u);

    for (const char* content : {"", "M", "ZM..."}) {
        const SourceFiles::TStub odd = SourceFiles::ExamineStub(Put("odd.exe", TextBytes(content)));
        ASSERT_EQ(odd.Warnings.size(), 1u) << '"' << content << '"';
        EXPECT_NE(odd.Warnings[0].find("does not begin like a Windows executable (\"MZ\")"), std::string::npos);
    }

    const std::string gone = dir.File("gone.exe");
    EXPECT_EQ(SourceFiles::ExamineStub(gone).Problem, "stub \"" + gone + "\" not found");
    EXPECT_EQ(SourceFiles::ExamineStub(dir.Path().string()).Problem, "stub \"" + dir.Path().string() + "\" is not a file");
}

TEST_F(SourceFilesTest, AStubThatAlreadyCarriesAPackageIsWarnedAbout) {
    const std::string carrying = Put("carrying.exe", PackageBuilder().App("Old").Stub(TextBytes("MZ stub")).Build());
    const SourceFiles::TStub stub = SourceFiles::ExamineStub(carrying);
    EXPECT_TRUE(stub.Problem.empty()) << stub.Problem;
    ASSERT_EQ(stub.Warnings.size(), 1u);
    EXPECT_NE(stub.Warnings[0].find("already carries a package"), std::string::npos) << stub.Warnings[0];

    // "qzx" followed by anything but a NUL is no package trailer.
    Bytes almost = PackageBuilder().App("Old").Stub(TextBytes("MZ stub")).Build();
    almost[almost.size() - 552 + 3] = 'y';
    EXPECT_TRUE(SourceFiles::ExamineStub(Put("almost.exe", almost)).Warnings.empty());
}

TEST_F(SourceFilesTest, TheStubAndTheUninstallerAreFoundBesideTheirNeighbours) {
    EXPECT_EQ(SourceFiles::FindToolFile("", "Setup.exe"), "");
    EXPECT_EQ(SourceFiles::FindToolFile(dir.File("tool/makesetup"), "Setup.exe"), "");
    const std::string setup = Put("tool/Setup.exe", TextBytes("MZ"));
    EXPECT_EQ(std::filesystem::path(SourceFiles::FindToolFile(dir.File("tool/makesetup"), "Setup.exe")), setup);

    const std::string stub = dir.File("stubs/Setup.exe"), tool = dir.File("tool/makesetup");
    EXPECT_EQ(SourceFiles::UninstallerBeside({stub, tool}), "");
    const std::string besideTool = Put("tool/Uninstall.exe", TextBytes("MZ tool's"));
    EXPECT_EQ(std::filesystem::path(SourceFiles::UninstallerBeside({"", stub, tool})), besideTool);
    const std::string besideStub = Put("stubs/Uninstall.exe", TextBytes("MZ stub's"));
    EXPECT_EQ(std::filesystem::path(SourceFiles::UninstallerBeside({stub, tool})), besideStub);  // the first wins
    std::filesystem::create_directory(dir.Path() / "other");
    std::filesystem::create_directory(dir.Path() / "other" / "Uninstall.exe");  // a folder is not one
    EXPECT_EQ(std::filesystem::path(SourceFiles::UninstallerBeside({dir.File("other/x"), tool})), besideTool);
}

TEST_F(SourceFilesTest, AnInstalledToolFindsItsFilesInTheDataFolderAfterThoseBesideIt) {
    const std::string tool = dir.File("prefix/bin/makesetup");
    const std::string shared = Put("prefix/share/makesetup/Setup.exe", TextBytes("MZ shared"));
    EXPECT_EQ(SourceFiles::FindToolFile(tool, "Setup.exe"), shared);  // no "bin/.." in the path
    const std::string beside = Put("prefix/bin/Setup.exe", TextBytes("MZ beside"));
    EXPECT_EQ(SourceFiles::FindToolFile(tool, "Setup.exe"), beside);
    std::filesystem::create_directories(dir.Path() / "prefix/share/makesetup/Uninstall.exe");  // a folder is none
    EXPECT_EQ(SourceFiles::FindToolFile(tool, "Uninstall.exe"), "");
}

TEST(ToolFilePlaces, BesideTheToolThenTheDataFolder) {
    using List = std::vector<std::string>;
    EXPECT_EQ(SourceFiles::ToolFilePlaces("/opt/ms/bin/makesetup", "Setup.exe"),
              (List{"/opt/ms/bin/Setup.exe", "/opt/ms/share/makesetup/Setup.exe"}));
    EXPECT_EQ(SourceFiles::ToolFilePlaces("/makesetup", "Setup.exe"), (List{"/Setup.exe", "/share/makesetup/Setup.exe"}));
    // Where no parent can be named, the ".." stays for the system to resolve.
    EXPECT_EQ(SourceFiles::ToolFilePlaces("bin/makesetup", "Setup.exe")[1], "bin/../share/makesetup/Setup.exe");
    EXPECT_EQ(SourceFiles::ToolFilePlaces("C:\\makesetup.exe", "Setup.exe")[1], "C:/../share/makesetup/Setup.exe");
    EXPECT_EQ(SourceFiles::ToolFilePlaces("makesetup", "Setup.exe")[0], "./Setup.exe");
    EXPECT_TRUE(SourceFiles::ToolFilePlaces("", "Setup.exe").empty());
}

}  // namespace
