// The install run meeting faults of the world around it, under Wine: a package
// file cut short while it is read, a target another process holds, a full
// disk and a read-only drive. Each run must end with its error, report nothing
// it did not do, and leave an existing file of a failed target as it was.
//
// FullDisk.* and ReadOnlyDrive.* need drives that faults-mounts.sh maps into
// the prefix; they fail when run without them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "package/CompressedReading.h"
#include "package/ZodiDuradad.h"
#include "system/Errors.h"
#include "system/FileStream.h"
#include "system/Handles.h"
#include "tests/package/EngineTestSupport.h"

namespace {


// The names in a folder, sorted: shows a leftover temporary file.
std::vector<std::string> Listing(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The package file as a failing drive or a file system cut under Wine would
// give it: once cut, it ends at the given length. (No other program can cut
// it: the package object holds the file against writers.)
class TCuttableSource final : public ByteSource {
public:
    explicit TCuttableSource(const std::string& path) : file_(TFileStream::OpenRead(path)) {}
    void Cut(std::uint64_t length) { length_ = length; }
    std::uint64_t Size() override { return std::min(file_.Size(), length_); }
    void Seek(std::uint64_t position) override {
        position_ = position;
        file_.Seek(position);
    }
    std::size_t Read(void* buffer, std::size_t count) override {
        const std::uint64_t size = Size();
        if (position_ >= size) return 0;
        const std::size_t got = file_.Read(buffer, static_cast<std::size_t>(std::min<std::uint64_t>(count, size - position_)));
        position_ += got;
        return got;
    }

private:
    TFileStream file_;
    std::uint64_t length_ = UINT64_MAX;
    std::uint64_t position_ = 0;
};

// Cuts the package to `length` bytes when the install reports `trigger`.
class CutPackageOnReport {
public:
    CutPackageOnReport(TCuttableSource& package, std::string trigger, std::uint64_t length)
        : package_(package), trigger_(std::move(trigger)), length_(length) {}
    TProgressEvent Event() { return TProgressEvent::Bind<&CutPackageOnReport::On>(this); }
    void On(TVazuravAzoz*, std::int32_t, const std::string& text) {
        Texts.push_back(text);
        if (text != trigger_) return;
        package_.Cut(length_);
        Cut = true;
    }

    std::vector<std::string> Texts;
    bool Cut = false;

private:
    TCuttableSource& package_;
    std::string trigger_;
    std::uint64_t length_;
};

class InstallFault : public ::testing::Test {
protected:
    // Writes the package and opens it for an install into `dir`; `cuttable`
    // reads it through a source the test can cut.
    void Open(const PackageBuilder& builder, const std::string& dir, bool cuttable = false) {
        WriteFileBytes(packagePath, builder.Build());
        if (cuttable) {
            source.emplace(packagePath);
            ASSERT_TRUE(pack.LoadPackage(*source, kFullReading));
        } else {
            ASSERT_TRUE(pack.OpenPackage(packagePath, kFullReading));
        }
        installDir = dir;
        pack.SetInstallDir(dir);
        pack.SetOnProgress(log.Event());
    }
    std::string At(const std::string& name) const { return installDir + "\\" + name; }
    template <typename E>
    std::string InstallFailsWith() {
        return InstallFailureOf<E>(pack);
    }
    // What a failed run must not have done: the later steps.
    void ExpectRunEndedInTheCopyStep(const std::string& app) {
        EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, UninstallContract::RegistrationKeyOf(app))) << "the registry step ran";
        EXPECT_FALSE(FileExists(At(kUninstallDataFile))) << "uninstall data after a failed run";
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const auto& r : log.Reports) texts.push_back(r.Text);
        return texts;
    }

    TempDir temp;
    std::string packagePath = temp.File("setup.exe");
    std::string installDir;
    std::optional<TCuttableSource> source;
    TVazuravAzoz pack;
    ProgressLog log;
};

// ---- the package file cut short while the install reads it -----------------

struct CutCase {
    const char* name;
    bool duringCopy;         // after the first file, or before the copy step
    std::uint32_t keptBytes; // of the victim's data
};

class TruncatedWhileRead : public InstallFault, public ::testing::WithParamInterface<CutCase> {};

TEST_P(TruncatedWhileRead, ExistingTargetOfTheCutFileKeepsItsContent) {
    const CutCase& cut = GetParam();
    const std::string dir = temp.File("App");
    const Bytes victim = PatternBytes(5 * 0xF000 + 17, 3);
    Open(PackageBuilder()
             .App("Cut Package Demo")
             .Dir("InstallDir", "")
             .File("first.bin", "InstallDir", "", PatternBytes(1000, 1))
             .File("victim.bin", "InstallDir", "", victim)
             .File("last.bin", "InstallDir", "", PatternBytes(10, 2)),
         dir, true);
    ::CreateDirectoryA(dir.c_str(), nullptr);  // an earlier install's folder
    const Bytes old = TextBytes("an older version, which must survive");
    WriteFileBytes(At("victim.bin"), old);
    const std::uint64_t victimAt = pack.GetFiles()[1].Offset.Get();
    CutPackageOnReport cutter(*source, (cut.duringCopy ? "Copy file " + At("first.bin") : "Create directory " + dir),
                              victimAt + cut.keptBytes);
    pack.SetOnProgress(cutter.Event());

    EXPECT_EQ(InstallFailsWith<EReadError>(), "Stream read error");
    ASSERT_TRUE(cutter.Cut) << "the package was not cut";
    EXPECT_TRUE(ReadFileBytes(At("victim.bin")) == old) << "a failed extraction destroyed the file it was to replace";
    EXPECT_EQ(ReadFileBytes(At("first.bin")), PatternBytes(1000, 1));
    EXPECT_EQ(Listing(dir), (std::vector<std::string>{"first.bin", "victim.bin"})) << "a leftover temporary file";
    EXPECT_EQ(cutter.Texts.back(), "Copy file " + At("first.bin")) << "the failed file was reported";
    ExpectRunEndedInTheCopyStep("Cut Package Demo");
}

INSTANTIATE_TEST_SUITE_P(Cuts, TruncatedWhileRead,
                         ::testing::Values(CutCase{"BeforeTheCopyStepNoBytesLeft", false, 0},
                                           CutCase{"BeforeTheCopyStepHalfLeft", false, 2 * 0xF000 + 5},
                                           CutCase{"DuringTheCopyNoBytesLeft", true, 0},
                                           CutCase{"DuringTheCopyHalfLeft", true, 2 * 0xF000 + 5},
                                           CutCase{"DuringTheCopyOneByteShort", true, 5 * 0xF000 + 16}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(InstallFault, NewTargetCutShortKeepsWhatWasCopied) {
    const std::string dir = temp.File("App");
    const Bytes data = PatternBytes(4 * 0xF000, 4);
    Open(PackageBuilder()
             .App("Cut New Target Demo")
             .Dir("InstallDir", "")
             .File("first.bin", "InstallDir", "", PatternBytes(100, 1))
             .File("new.bin", "InstallDir", "", data),
         dir, true);
    CutPackageOnReport cutter(*source, "Copy file " + At("first.bin"), pack.GetFiles()[1].Offset.Get() + 0xF000 + 9);
    pack.SetOnProgress(cutter.Event());

    EXPECT_EQ(InstallFailsWith<EReadError>(), "Stream read error");
    // Nothing older was there to keep: the partly written file stays.
    const Bytes partial = ReadFileBytes(At("new.bin"));
    EXPECT_LT(partial.size(), data.size());
    EXPECT_TRUE(std::equal(partial.begin(), partial.end(), data.begin())) << "not the start of the file's data";
    ExpectRunEndedInTheCopyStep("Cut New Target Demo");
}

TEST_F(InstallFault, ReplacedTargetsLeaveNoTemporaryFiles) {
    const std::string dir = temp.File("App");
    ::CreateDirectoryA(dir.c_str(), nullptr);
    WriteFileBytes(dir + "\\a.txt", PatternBytes(3 * 0xF000, 9));  // longer than its replacement
    WriteFileBytes(dir + "\\b.txt", TextBytes("b"));
    Open(PackageBuilder()
             .App("Replace Demo")
             .File("a.txt", "InstallDir", "", TextBytes("new a"))
             .File("b.txt", "InstallDir", "", PatternBytes(0xF000 + 1, 5))
             .File("b.txt", "InstallDir", "", TextBytes("second b")),
         dir);
    pack.Install();
    EXPECT_EQ(ReadText(At("a.txt")), "new a");
    EXPECT_EQ(ReadText(At("b.txt")), "second b");
    EXPECT_EQ(Listing(dir), (std::vector<std::string>{"a.txt", "b.txt", kUninstallDataFile}));
}

// ---- a target held by another process --------------------------------------

// Runs hold_file.exe (beside this program) on `path` until destroyed.
class HeldByAnotherProcess {
public:
    explicit HeldByAnotherProcess(const std::string& path) {
        const std::string tag = std::to_string(::GetCurrentProcessId());
        const std::string heldName = "SetupFaultHeld" + tag, releaseName = "SetupFaultRelease" + tag;
        held_.reset(::CreateEventA(nullptr, TRUE, FALSE, heldName.c_str()));
        release_.reset(::CreateEventA(nullptr, TRUE, FALSE, releaseName.c_str()));
        std::string command = "\"" + ModuleDir() + "\\hold_file.exe\" \"" + path + "\" " + heldName + " " + releaseName;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
            return;
        process_.reset(info.hProcess);
        ::CloseHandle(info.hThread);
        const HANDLE waits[] = {held_.get(), process_.get()};
        holding_ = ::WaitForMultipleObjects(2, waits, FALSE, 60000) == WAIT_OBJECT_0;
    }
    ~HeldByAnotherProcess() { Release(); }
    bool Holding() const { return holding_; }
    // Lets go of the file and waits for the helper to end; its exit code.
    DWORD Release() {
        DWORD code = 0xFFFFFFFF;
        if (!process_) return code;
        ::SetEvent(release_.get());
        ::WaitForSingleObject(process_.get(), 60000);
        ::GetExitCodeProcess(process_.get(), &code);
        process_.reset();
        return code;
    }

private:
    UniqueKernelHandle held_, release_, process_;
    bool holding_ = false;
};

TEST_F(InstallFault, TargetHeldByAnotherProcessStopsTheRunAndKeepsItsContent) {
    const std::string dir = temp.File("App");
    ::CreateDirectoryA(dir.c_str(), nullptr);
    WriteFileBytes(dir + "\\held.dll", TextBytes("in use elsewhere"));
    Open(PackageBuilder()
             .App("Held Target Demo")
             .Dir("InstallDir", "")
             .File("first.txt", "InstallDir", "", TextBytes("1"))
             .File("held.dll", "InstallDir", "", PatternBytes(0xF000 * 2, 6))
             .File("after.txt", "InstallDir", "", TextBytes("2")),
         dir);
    HeldByAnotherProcess holder(At("held.dll"));
    ASSERT_TRUE(holder.Holding()) << "hold_file.exe did not take the file";

    EXPECT_EQ(InstallFailsWith<EFCreateError>(), "Cannot create file \"" + At("held.dll") + "\". Sharing violation");
    EXPECT_EQ(holder.Release(), 0u) << "the helper lost its hold or timed out";
    EXPECT_EQ(ReadText(At("held.dll")), "in use elsewhere");
    EXPECT_EQ(ReadText(At("first.txt")), "1");
    EXPECT_FALSE(FileExists(At("after.txt")));
    EXPECT_EQ(Texts(), (std::vector<std::string>{"Create directory " + dir, "Copy file " + At("first.txt")}));
    EXPECT_EQ(Listing(dir), (std::vector<std::string>{"first.txt", "held.dll"}));
    ExpectRunEndedInTheCopyStep("Held Target Demo");
}

// ---- a full disk -------------------------------------------------------------

// A folder of this test's own below the drive a script mapped, removed again
// afterwards so that the next test finds the space free.
class MappedDriveTest : public InstallFault {
protected:
    // The folder named by the environment variable, or empty (the test fails).
    std::string DriveFolder(const char* variable) {
        const char* root = std::getenv(variable);
        if (!root || !*root) {
            ADD_FAILURE() << variable << " is not set: run this test through faults-mounts.sh";
            return {};
        }
        return std::string(root);
    }
    void TearDown() override {
        std::error_code ignored;  // a failed test may have left a file open
        if (!cleanUp.empty()) std::filesystem::remove_all(cleanUp, ignored);
    }
    static std::uint64_t FreeBytes(const std::string& folder) {
        ULARGE_INTEGER free{};
        return ::GetDiskFreeSpaceExA(folder.c_str(), &free, nullptr, nullptr) ? free.QuadPart : 0;
    }
    std::string cleanUp;
};

using FullDisk = MappedDriveTest;

TEST_F(FullDisk, FileLargerThanTheFreeSpaceStopsTheRunWithAWriteError) {
    const std::string root = DriveFolder("FAULTS_FULL_DIR");
    ASSERT_FALSE(root.empty());
    const std::string dir = cleanUp = root + "\\NewFile";
    const std::uint64_t free = FreeBytes(root + "\\");
    ASSERT_GT(free, 64u * 1024) << "the drive has no room to start with";
    ASSERT_LT(free, 64u * 1024 * 1024) << "not the small drive";
    Open(PackageBuilder()
             .App("Full Disk Demo")
             .Dir("InstallDir", "")
             .File("small.txt", "InstallDir", "", TextBytes("fits"))
             .File("huge.bin", "InstallDir", "", PatternBytes(free + 256 * 1024, 7))
             .File("after.txt", "InstallDir", "", TextBytes("never")),
         dir);

    EXPECT_EQ(InstallFailsWith<EWriteError>(), "Stream write error");
    EXPECT_EQ(ReadText(At("small.txt")), "fits");
    EXPECT_FALSE(FileExists(At("after.txt")));
    EXPECT_EQ(Texts(), (std::vector<std::string>{"Create directory " + dir, "Copy file " + At("small.txt")}));
    ExpectRunEndedInTheCopyStep("Full Disk Demo");
}

TEST_F(FullDisk, ExistingTargetSurvivesWhenItsReplacementDoesNotFit) {
    const std::string root = DriveFolder("FAULTS_FULL_DIR");
    ASSERT_FALSE(root.empty());
    const std::string dir = cleanUp = root + "\\Existing";
    ASSERT_TRUE(::CreateDirectoryA(dir.c_str(), nullptr));
    const Bytes old = PatternBytes(200 * 1024, 8);
    WriteFileBytes(dir + "\\keep.dat", old);
    const std::uint64_t free = FreeBytes(root + "\\");
    ASSERT_GT(free, 200u * 1024);
    // Once the filler is in, replacing keep.dat in place would have its old
    // 200 KiB plus 100 KiB: too little for the new 400 KiB.
    Open(PackageBuilder()
             .App("Full Disk Replace Demo")
             .File("filler.bin", "InstallDir", "", PatternBytes(free - 100 * 1024, 9))
             .File("keep.dat", "InstallDir", "", PatternBytes(400 * 1024, 10)),
         dir);

    EXPECT_EQ(InstallFailsWith<EWriteError>(), "Stream write error");
    EXPECT_TRUE(ReadFileBytes(At("keep.dat")) == old) << "a failed extraction destroyed the file it was to replace";
    EXPECT_EQ(Listing(dir), (std::vector<std::string>{"filler.bin", "keep.dat"})) << "a leftover temporary file";
    ExpectRunEndedInTheCopyStep("Full Disk Replace Demo");
}

// ---- a read-only drive -------------------------------------------------------

using ReadOnlyDrive = MappedDriveTest;

// The script leaves one file, existing.txt, in the drive's root folder.
TEST_F(ReadOnlyDrive, ExistingTargetCannotBeCreatedAndKeepsItsContent) {
    const std::string root = DriveFolder("FAULTS_READONLY_DIR");
    ASSERT_FALSE(root.empty());
    const std::string before = ReadText(root + "\\existing.txt");
    ASSERT_FALSE(before.empty());
    Open(PackageBuilder()
             .App("Read-only Demo")
             .Dir("InstallDir", "")
             .File("existing.txt", "InstallDir", "", TextBytes("replacement")),
         root);

    const std::string message = InstallFailsWith<EFCreateError>();
    const std::string start = "Cannot create file \"" + At("existing.txt") + "\". ";
    EXPECT_EQ(message.substr(0, start.size()), start);
    EXPECT_GT(message.size(), start.size()) << "no reason given";
    EXPECT_EQ(ReadText(root + "\\existing.txt"), before);
    EXPECT_EQ(Texts(), std::vector<std::string>{"Create directory " + root}) << "the folder exists already";
    ExpectRunEndedInTheCopyStep("Read-only Demo");
}

TEST_F(ReadOnlyDrive, NewFileCannotBeCreated) {
    const std::string root = DriveFolder("FAULTS_READONLY_DIR");
    ASSERT_FALSE(root.empty());
    Open(PackageBuilder().App("Read-only New File Demo").File("new.txt", "InstallDir", "", TextBytes("x")), root);
    const std::string message = InstallFailsWith<EFCreateError>();
    EXPECT_EQ(message.substr(0, message.find(". ") + 2), "Cannot create file \"" + At("new.txt") + "\". ");
    EXPECT_FALSE(FileExists(At("new.txt")));
    EXPECT_EQ(Listing(root), std::vector<std::string>{"existing.txt"});
}

TEST_F(ReadOnlyDrive, NewFolderIsAnErrorNotSilence) {
    const std::string root = DriveFolder("FAULTS_READONLY_DIR");
    ASSERT_FALSE(root.empty());
    Open(PackageBuilder().App("Read-only Folder Demo").Dir("InstallDir", "sub\\deeper"), root);
    EXPECT_EQ(InstallFailsWith<EInOutError>(), "Unable to create directory \"" + At("sub\\deeper") + "\"");
    EXPECT_TRUE(log.Reports.empty());
    EXPECT_FALSE(FolderExists(At("sub")));
}

}  // namespace

namespace {

// The read-only attribute alone (the drive itself takes writes).
TEST_F(InstallFault, TargetWithTheReadOnlyAttributeIsRefusedAndKept) {
    const std::string dir = temp.File("App");
    ::CreateDirectoryA(dir.c_str(), nullptr);
    WriteFileBytes(dir + "\\readonly.txt", TextBytes("read-only"));
    ASSERT_TRUE(::SetFileAttributesA((dir + "\\readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    // Wine run by root opens such a file for writing all the same.
    if (UniqueFile(::CreateFileA((dir + "\\readonly.txt").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                                 nullptr))) {
        ::SetFileAttributesA((dir + "\\readonly.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
        GTEST_SKIP() << "this system writes files with the read-only attribute (Wine run by root)";
    }
    Open(PackageBuilder().App("Read-only Attribute Demo").File("readonly.txt", "InstallDir", "", TextBytes("new")), dir);
    const std::string message = InstallFailsWith<EFCreateError>();
    ::SetFileAttributesA(At("readonly.txt").c_str(), FILE_ATTRIBUTE_NORMAL);  // so the folder can go
    EXPECT_EQ(message, "Cannot create file \"" + At("readonly.txt") + "\". Access denied");
    EXPECT_EQ(ReadText(At("readonly.txt")), "read-only");
    EXPECT_EQ(Listing(dir), std::vector<std::string>{"readonly.txt"});
}

}  // namespace
