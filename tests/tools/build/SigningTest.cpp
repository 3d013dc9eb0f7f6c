// Signing at build time: the [sign] table, the signer's command line, the
// signer run, and the refusal of a package too large to sign.
#include "tools/build/Signing.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "system/FileStream.h"
#include "tests/tools/ToolTestFiles.h"
#include "tools/platform/Platform.h"

namespace {

TPackagePlan ReadSign(TDescribedPackage& pkg, const std::string& sign, TDiagnostics& d) {
    pkg.Put("Setup.exe", TextBytes("MZ setup"));
    pkg.Put("Uninstall.exe", TextBytes("MZ companion"));
    pkg.Options.Stub = pkg.Dir().File("Setup.exe");
    pkg.Describe("[package]\nname = \"D\"\nuninstaller = true\n" + sign);
    return pkg.Read(d);
}

TEST(DescriptionSign, CertificateAndKeyMakeAnOsslsigncodeCommand) {
    ::unsetenv("SOURCE_DATE_EPOCH");
    TDescribedPackage pkg;
    TDiagnostics d;
    const TPackagePlan plan = ReadSign(pkg, "[sign]\ncertificate = \"keys/c.pem\"\nkey = \"keys/k.pem\"\n", d);
    EXPECT_FALSE(d.HasErrors()) << ErrorsOf(d);
    const std::string folder = Platform::Absolute(pkg.Dir().File("keys"));
    EXPECT_EQ(Signing::CommandFor(plan.Sign), "osslsigncode sign -certs '" + folder + "/c.pem' -key '" + folder +
                                    "/k.pem' -in {in} -out {out}");
    // The companion uninstaller is known, to be signed before it is packed.
    ASSERT_TRUE(plan.UninstallerFile);
    EXPECT_EQ(plan.Files.at(*plan.UninstallerFile).Record.FileName.Text(), "Uninstall.exe");

    TDescribedPackage p12;
    TDiagnostics d2;
    const TPackagePlan withPassword =
        ReadSign(p12, "[sign]\npkcs12 = \"c.pfx\"\npassword_env = \"SIGN_PASS\"\n", d2);
    EXPECT_FALSE(d2.HasErrors()) << ErrorsOf(d2);
    EXPECT_NE(Signing::CommandFor(withPassword.Sign).find("-pkcs12 '"), std::string::npos) << Signing::CommandFor(withPassword.Sign);
    EXPECT_NE(Signing::CommandFor(withPassword.Sign).find("-pass \"$SIGN_PASS\""), std::string::npos) << Signing::CommandFor(withPassword.Sign);

    // A fixed signing time for repeatable builds; anything but digits is ignored.
    ::setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
    EXPECT_NE(Signing::OsslsigncodeCommand("c", "k", "", "").find(" -time 1700000000 -in"), std::string::npos);
    ::setenv("SOURCE_DATE_EPOCH", "1700000000; rm -rf x", 1);
    EXPECT_EQ(Signing::OsslsigncodeCommand("c", "k", "", "").find("-time"), std::string::npos);
    ::unsetenv("SOURCE_DATE_EPOCH");
}

TEST(DescriptionSign, CommandIsTakenWithDefines) {
    TDescribedPackage pkg;
    pkg.Options.Defines["SIGNER"] = "signtool";
    TDiagnostics d;
    const TPackagePlan plan = ReadSign(pkg, "[sign]\ncommand = \"${SIGNER} sign /a {in}\"\n", d);
    EXPECT_FALSE(d.HasErrors()) << ErrorsOf(d);
    EXPECT_EQ(Signing::CommandFor(plan.Sign), "signtool sign /a {in}");
}

TEST(DescriptionSign, Refusals) {
    const struct {
        const char* Sign;
        unsigned Line;
        const char* Part;
    } cases[] = {
        {"[sign]\ncommand = \"s {in}\"\ncertificate = \"c.pem\"\nkey = \"k.pem\"\n", 5, "either a command or a certificate"},
        {"[sign]\ncertificate = \"c.pem\"\n", 4, "needs command"},
        {"[sign]\npkcs12 = \"c.pfx\"\nkey = \"k.pem\"\n", 4, "needs command"},
        {"[sign]\ncomand = \"s {in}\"\n", 5, "did you mean \"command\""},
        {"[[sign]]\ncommand = \"s {in}\"\n", 4, "must be a table"},
    };
    for (const auto& c : cases) {
        TDescribedPackage pkg;
        TDiagnostics d;
        ReadSign(pkg, c.Sign, d);
        EXPECT_TRUE(Reports(d, true, c.Line, c.Part)) << c.Sign << ErrorsOf(d);
    }
}

TEST(SignCommand, PlaceholdersBecomeQuotedPaths) {
    EXPECT_EQ(Signing::CommandLine("sign -in {in} -out {out} # {in}", "/a b/in.exe", "/o/out.exe"),
              "sign -in '/a b/in.exe' -out '/o/out.exe' # '/a b/in.exe'");
    // A path that holds a placeholder or a quote stays one word, as it is.
    EXPECT_EQ(Signing::CommandLine("s {in} {out}", "/x/{out}", "/it's"), "s '/x/{out}' '/it'\\''s'");
}

class SignerRun : public ::testing::Test {
protected:
    std::string File(const std::string& name, const std::string& text) {
        const std::string path = dir.File(name);
        WriteFileBytes(path, TextBytes(text));
        return path;
    }
    TempDir dir;
};

TEST_F(SignerRun, WritesOutOrSignsACopyInPlace) {
    const std::string in = File("in.exe", "unsigned");
    Signing::RunSigner("cp {in} {out} && printf '+sig' >> {out}", in, dir.File("out.exe"));
    EXPECT_EQ(ReadFileBytes(dir.File("out.exe")), TextBytes("unsigned+sig"));
    // Without {out}: the signer works on a copy, the input stays as it was.
    Signing::RunSigner("printf '+sig' >> {in}", in, dir.File("copy.exe"));
    EXPECT_EQ(ReadFileBytes(dir.File("copy.exe")), TextBytes("unsigned+sig"));
    EXPECT_EQ(ReadFileBytes(in), TextBytes("unsigned"));
}

TEST_F(SignerRun, FailuresAreReported) {
    const std::string in = File("in.exe", "unsigned");
    try {
        Signing::RunSigner("exit 3 # {in} {out}", in, dir.File("out.exe"));
        ADD_FAILURE() << "a failing signer was not noticed";
    } catch (const EBuildError& e) {
        EXPECT_NE(std::string(e.what()).find("the signer failed with exit code 3"), std::string::npos) << e.what();
    }
    EXPECT_THROW(Signing::RunSigner("true {in} {out}", in, dir.File("none.exe")), EBuildError);  // wrote nothing
}

TEST_F(SignerRun, TooLargeToSignIsRefusedBeforeAnythingRuns) {
    TPackagePlan plan;
    plan.StubPath = File("stub.exe", "MZ");
    plan.StubSize = Signing::SignableLimit - sizeof(RecordHead::TPackHeader);  // the trailer reaches the limit
    const std::string marker = dir.File("signer-ran");
    try {
        Signing::WriteSignedPackage(plan, dir.File("out.exe"), "touch '" + marker + "' {in} {out}");
        ADD_FAILURE() << "a package at the limit was built";
    } catch (const EBuildError& e) {
        EXPECT_NE(std::string(e.what()).find("Windows cannot sign a file of 2 GiB or more"), std::string::npos);
    }
    EXPECT_FALSE(std::filesystem::exists(marker));
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.exe")));
    plan.StubSize -= 1;
    EXPECT_LT(Signing::PlannedSize(plan), Signing::SignableLimit);
}

}  // namespace
