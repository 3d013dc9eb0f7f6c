// The folder helpers on the real file system of a Wine prefix.
#include "system/uCustomModule.h"

#include <gtest/gtest.h>

#include <set>

#include "package/RegistryRoots.h"
#include "system/Errors.h"
#include "system/Handles.h"
#include "tests/support/TestFiles.h"

namespace {

void MakeFile(const std::string& path) { WriteFileBytes(path, TextBytes("x")); }

// A drive letter that names no drive in this prefix.
std::string MissingDrive() {
    const DWORD drives = ::GetLogicalDrives();
    for (char letter = 'R'; letter <= 'Y'; ++letter)
        if (!(drives & (1u << (letter - 'A')))) return std::string(1, letter) + ":";
    return {};
}

// The names in a folder as the file system stores them (wide), without . and ..
std::set<std::wstring> NamesIn(const std::string& folder) {
    std::set<std::wstring> names;
    WIN32_FIND_DATAW found;
    const std::string pattern = folder + "\\*";
    std::wstring widePattern(pattern.size() * 2 + 1, L'\0');
    widePattern.resize(static_cast<std::size_t>(::MultiByteToWideChar(
        CP_ACP, 0, pattern.c_str(), -1, widePattern.data(), static_cast<int>(widePattern.size())) - 1));
    UniqueFind find(::FindFirstFileW(widePattern.c_str(), &found));
    if (!find) return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") names.insert(name);
    } while (::FindNextFileW(find.get(), &found));
    return names;
}

// Runs `body` with `folder` as the current folder, restoring the previous one.
template <typename F>
void InFolder(const std::string& folder, F body) {
    char previous[MAX_PATH];
    ::GetCurrentDirectoryA(sizeof previous, previous);
    ::SetCurrentDirectoryA(folder.c_str());
    body();
    ::SetCurrentDirectoryA(previous);
}

void ExpectCreateDirectoryError(const std::string& dir) {
    try {
        ForceDirs(dir);
        ADD_FAILURE() << "ForceDirs(\"" << dir << "\") raised nothing";
    } catch (const EInOutError& e) {
        EXPECT_STREQ(e.TypeName(), "EInOutError");
        EXPECT_EQ(e.Message(), "Unable to create directory");
        EXPECT_EQ(e.ErrorCode(), 3);
    }
}

}  // namespace

TEST(SystemFolders, AsThePrefixHasThemWithoutTrailingBackslash) {
    EXPECT_EQ(GetWindowsDir(), "C:\\windows");
    EXPECT_EQ(GetSystemDir(), "C:\\windows\\system32");
    EXPECT_TRUE(DirExists(GetSystemDir()));
}

TEST(DirExists, FoldersOnlyNeverFiles) {
    TempDir dir;
    MakeFile(dir.File("file.txt"));
    EXPECT_TRUE(DirExists(dir.Path().string()));
    EXPECT_TRUE(DirExists(dir.Path().string() + "\\"));
    EXPECT_TRUE(DirExists("C:\\"));
    EXPECT_FALSE(DirExists(dir.File("file.txt")));
    EXPECT_FALSE(DirExists(dir.File("missing")));
    EXPECT_FALSE(DirExists(""));
    ASSERT_FALSE(MissingDrive().empty());
    EXPECT_FALSE(DirExists(MissingDrive() + "\\"));
}

TEST(ForceDirs, DriveRootsCreateNothingAndAnswerTrue) {
    EXPECT_TRUE(ForceDirs("C:\\"));
    EXPECT_TRUE(ForceDirs("C:"));
    // Shorter than three characters once the backslash is gone: true even
    // for a drive that does not exist.
    EXPECT_TRUE(ForceDirs(MissingDrive() + "\\"));
}

TEST(ForceDirs, CreatesAThreeLevelChain) {
    TempDir dir;
    const std::string a = dir.File("A"), b = a + "\\B", c = b + "\\C";
    EXPECT_TRUE(ForceDirs(c));
    EXPECT_TRUE(DirExists(a));
    EXPECT_TRUE(DirExists(b));
    EXPECT_TRUE(DirExists(c));
    EXPECT_TRUE(ForceDirs(c));  // all there already
    EXPECT_EQ(NamesIn(c).size(), 0u);
}

TEST(ForceDirs, OneTrailingBackslashNamesTheSameChain) {
    TempDir dir;
    EXPECT_TRUE(ForceDirs(dir.File("A") + "\\B\\"));
    EXPECT_TRUE(DirExists(dir.File("A") + "\\B"));
    EXPECT_EQ(NamesIn(dir.Path().string()), (std::set<std::wstring>{L"A"}));
    EXPECT_EQ(NamesIn(dir.File("A")), (std::set<std::wstring>{L"B"}));
}

TEST(ForceDirs, BelowAMissingDriveFailsWithoutRaising) {
    const std::string drive = MissingDrive();
    ASSERT_FALSE(drive.empty());
    EXPECT_FALSE(ForceDirs(drive + "\\Setup\\Demo"));
    EXPECT_FALSE(ForceDirs(drive + "\\Setup\\"));
}

TEST(ForceDirs, AFileWhereAFolderIsExpectedFails) {
    TempDir dir;
    const std::string file = dir.File("file.txt");
    MakeFile(file);
    EXPECT_FALSE(ForceDirs(file));
    EXPECT_FALSE(ForceDirs(file + "\\sub"));
    EXPECT_FALSE(DirExists(file));
    EXPECT_EQ(ReadFileBytes(file), TextBytes("x"));
}

TEST(ForceDirs, EmptyNameRaisesUnableToCreateDirectory) { ExpectCreateDirectoryError(""); }

TEST(ForceDirs, RelativeNamesReachTheEmptyParent) {
    TempDir dir;
    ::CreateDirectoryA(dir.File("have").c_str(), nullptr);
    InFolder(dir.Path().string(), [&] {
        ExpectCreateDirectoryError("newone");
        ExpectCreateDirectoryError("missing\\sub");
        EXPECT_TRUE(ForceDirs("have"));       // exists: nothing to create
        EXPECT_TRUE(ForceDirs("have\\sub"));  // the parent exists
        EXPECT_TRUE(ForceDirs("ab"));         // too short to be created
    });
    EXPECT_EQ(NamesIn(dir.Path().string()), (std::set<std::wstring>{L"have"}));
    EXPECT_TRUE(DirExists(dir.File("have") + "\\sub"));
}

TEST(GetShortPath, ShortFormsOfExistingPathsOnly) {
    TempDir dir;
    const std::string longFolder = dir.File("A rather long folder name");
    const std::string longFile = longFolder + "\\some long file name.text";
    ASSERT_TRUE(ForceDirs(longFolder));
    MakeFile(longFile);
    for (const std::string& path : {longFolder, longFile, std::string("C:\\Program Files")}) {
        const std::string shortPath = GetShortPath(path);
        ASSERT_FALSE(shortPath.empty()) << path;
        EXPECT_EQ(shortPath.find(' '), std::string::npos) << shortPath;
        EXPECT_LT(shortPath.size(), path.size()) << shortPath;
        EXPECT_EQ(LongPath(shortPath), path);
    }
    EXPECT_EQ(GetShortPath("C:\\"), "C:\\");
    EXPECT_EQ(GetShortPath(longFolder + "\\missing file.txt"), "");
    EXPECT_EQ(GetShortPath(""), "");
}

TEST(LongPath, AMissingPathComesBackAsItIs) {
    TempDir dir;
    const std::string missing = dir.File("no such folder") + "\\PROGRA~1";
    EXPECT_EQ(LongPath(missing), missing);
    EXPECT_EQ(LongPath(""), "");
}

TEST(ExecutablePath, NamesThisTestProgram) {
    const std::string self = ExecutablePath();
    ASSERT_GT(self.size(), 4u);
    EXPECT_EQ(self.substr(1, 2), ":\\") << self;
    EXPECT_EQ(::GetFileAttributesA(self.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u) << self;
    EXPECT_EQ(GetApplicationTitle(), ApplicationTitleOf(self));
}

// A record's root value opens the predefined key it names: a value written
// below it lands where the system's own handle finds it.
TEST(RootKeyOf, ARecordsRootValueIsThePredefinedKey) {
    EXPECT_EQ(RootKeyOf(RegistryRoots::kClassesRoot), HKEY_CLASSES_ROOT);
    EXPECT_EQ(RootKeyOf(RegistryRoots::kCurrentUser), HKEY_CURRENT_USER);
    EXPECT_EQ(RootKeyOf(RegistryRoots::kLocalMachine), HKEY_LOCAL_MACHINE);
    EXPECT_EQ(RootKeyOf(RegistryRoots::kUsers), HKEY_USERS);
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(RootKeyOf(RegistryRoots::kCurrentUser), "Software\\RootKeyOfTest", 0, nullptr, 0,
                                KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ::RegCloseKey(key);
    EXPECT_EQ(::RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\RootKeyOfTest"), ERROR_SUCCESS);
}

// Run only under a double-byte system code page (Japanese, 932): a
// backslash byte that ends a double-byte character is no separator.
class DoubleByte : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(::IsDBCSLeadByte(0x95)) << "code page " << ::GetACP() << " is not double-byte";
    }
};

TEST_F(DoubleByte, TrailingByteBackslashIsPartOfTheName) {
    TempDir dir;
    const std::string base = dir.Path().string();
    const std::string hyou = base + "\\\x95\x5C";  // U+8868, its second byte is 0x5C
    EXPECT_TRUE(ForceDirs(hyou));
    EXPECT_EQ(NamesIn(base), (std::set<std::wstring>{L"\u8868"}));
    EXPECT_TRUE(DirExists(hyou));
}

TEST_F(DoubleByte, ChainThroughDoubleByteNames) {
    TempDir dir;
    const std::string base = dir.Path().string();
    const std::string so = "\x83\x5C";  // U+30BD
    EXPECT_TRUE(ForceDirs(base + "\\" + so + "\\sub\\" + so + "\\"));
    EXPECT_EQ(NamesIn(base), (std::set<std::wstring>{L"\u30BD"}));
    EXPECT_EQ(NamesIn(base + "\\" + so), (std::set<std::wstring>{L"sub"}));
    EXPECT_EQ(NamesIn(base + "\\" + so + "\\sub"), (std::set<std::wstring>{L"\u30BD"}));
}
