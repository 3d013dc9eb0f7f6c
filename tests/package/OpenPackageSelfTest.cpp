// A running executable opens itself as its own package, as Setup.exe does.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "package/CompressedReading.h"
#include "package/ZodiDuradad.h"
#include "tests/support/PlainPrinter.h"
#include "tests/support/TestFiles.h"

namespace {

std::string OwnPath() {
    char path[MAX_PATH];
    const DWORD n = ::GetModuleFileNameA(nullptr, path, sizeof path);
    return std::string(path, n);
}

// Runs `exe` with `args` and returns its exit code.
DWORD RunAndWait(const std::string& exe, const std::string& args) {
    std::string commandLine = "\"" + exe + "\" " + args;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process))
        return 0xDEAD;
    ::WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 0xBEEF;
    ::GetExitCodeProcess(process.hProcess, &code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return code;
}

// In the child: open the running executable and report through the exit code.
int OpenSelf() {
    try {
        TVazuravAzoz pack;
        if (!pack.OpenPackage(OwnPath(), kFullReading)) return 200;
        return pack.GetAppName() == "Self" ? pack.GetTotalSteps() : 201;
    } catch (...) {
        return 202;
    }
}

}  // namespace

TEST(OpenPackageSelf, RunningExecutableWithoutPayloadIsNoPackage) {
    TVazuravAzoz pack;
    EXPECT_FALSE(pack.OpenPackage(OwnPath(), kFullReading));
}

TEST(OpenPackageSelf, RunningExecutableWithPayloadOpensItself) {
    TempDir dir;
    const std::string copy = dir.File("selfpack.exe");
    PackageBuilder()
        .App("Self")
        .Stub(ReadFileBytes(OwnPath()))
        .File("a.txt", "InstallDir", "", TextBytes("hello"))
        .Dir("InstallDir", "")
        .Reg(0x80000001u, "Software\\Self", "x", "y")
        .WriteTo(copy);
    EXPECT_EQ(RunAndWait(copy, "--open-self"), 3u);
}

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--open-self") == 0) return OpenSelf();
    ::testing::InitGoogleTest(&argc, argv);
    UsePlainPrinter();
    return RUN_ALL_TESTS();
}
