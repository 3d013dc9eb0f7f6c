// winget's manifests: every value the format refuses is an error naming its
// source, and the registration is read as the setup program writes it.
// (The manifests' form is checked against the format by winget-manifests.sh.)
#include "tools/deploy/Winget.h"

#include <functional>

#include <gtest/gtest.h>

#include "package/PackageWriter.h"
#include "package/UninstallContract.h"

namespace {

struct TCase {
    const char* Name;
    std::function<void(TCatalogTexts&, Winget::TRegistration&, Winget::TRequest&)> Change;
    const char* Error;  // nullptr: accepted
};

class WingetRefusals : public ::testing::TestWithParam<TCase> {};

TEST_P(WingetRefusals, NameWhereTheValueCameFrom) {
    TCatalogTexts texts;
    texts.Name = "Notes", texts.Author = "Ann", texts.Version = "1.2.3", texts.License = "MIT";
    texts.Description = "Takes notes", texts.Where = {"notes.toml", 1};
    Winget::TRegistration registration{"Notes", "Notes", "Ann", "1.2.3"};
    Winget::TRequest request{"Ann.Notes", "https://example.com/notes.exe", std::string(64, 'A'), "notes.exe"};
    GetParam().Change(texts, registration, request);
    TDiagnostics d;
    const auto manifests = Winget::Manifests(texts, registration, request, d);
    std::string errors;
    for (const TDiagnostic& item : d.Items()) errors += item.Format() + "\n";
    if (!GetParam().Error) {
        EXPECT_EQ(manifests.size(), 3u) << errors;
        return;
    }
    EXPECT_TRUE(manifests.empty());
    EXPECT_NE(errors.find(GetParam().Error), std::string::npos) << errors;
}

using T = TCatalogTexts;
using R = Winget::TRegistration;
using Q = Winget::TRequest;
INSTANTIATE_TEST_SUITE_P(
    Winget, WingetRefusals,
    ::testing::Values(
        TCase{"Complete", [](T&, R&, Q&) {}, nullptr},
        TCase{"NoLicense", [](T& t, R&, Q&) { t.License.clear(); },
              "notes.toml:1: error: the winget manifests need license = \"...\" in [package] (their License)"},
        TCase{"NoDescription", [](T& t, R&, Q&) { t.Description.clear(); }, "need description = "},
        TCase{"NoAuthor", [](T& t, R&, Q&) { t.Author.clear(); }, "need author = \"...\" in [package] (their Publisher)"},
        TCase{"NoVersion", [](T& t, R& r, Q&) { t.Version.clear(), r.DisplayVersion.clear(); }, "need version = "},
        TCase{"NameTooShort", [](T& t, R& r, Q&) { t.Name = r.KeyName = "N"; },
              "name \"N\" is 1 character long; winget's PackageName takes 2 to 256"},
        TCase{"LicenseTooShort", [](T& t, R&, Q&) { t.License = "GP"; }, "license \"GP\" is 2 characters long"},
        // Lengths are counted in characters, not in UTF-8's bytes.
        TCase{"DescriptionOfFullLength", [](T& t, R&, Q&) {
                  t.Description.clear();
                  for (int i = 0; i < 256; ++i) t.Description += "\xC3\xA9";
              }, nullptr},
        TCase{"DescriptionTooLong", [](T& t, R&, Q&) { t.Description = std::string(257, 'x'); },
              "is 257 characters long; winget's ShortDescription takes 3 to 256"},
        TCase{"WebsiteNoUrl", [](T& t, R&, Q&) { t.Website = "example.com"; }, "website \"example.com\" is not an http://"},
        TCase{"IdOnePart", [](T&, R&, Q& q) { q.Identifier = "Notes"; },
              "makesetup winget: error: --id \"Notes\" is not a winget package identifier"},
        TCase{"IdEmptyPart", [](T&, R&, Q& q) { q.Identifier = "Ann..Notes"; }, "is not a winget package identifier"},
        TCase{"IdBlank", [](T&, R&, Q& q) { q.Identifier = "Ann.My Notes"; }, "is not a winget package identifier"},
        TCase{"IdPartTooLong", [](T&, R&, Q& q) { q.Identifier = "Ann." + std::string(33, 'n'); },
              "is not a winget package identifier"},
        TCase{"IdNineParts", [](T&, R&, Q& q) { q.Identifier = "a.b.c.d.e.f.g.h.i"; }, "is not a winget package identifier"},
        TCase{"IdEightParts", [](T&, R&, Q& q) { q.Identifier = "a.b.c.d.e.f.g.h"; }, nullptr},
        TCase{"UrlNotHttp", [](T&, R&, Q& q) { q.InstallerUrl = "ftp://example.com/n.exe"; }, "--url \"ftp://"},
        TCase{"AnotherPackage", [](T&, R& r, Q&) { r.KeyName = "Other"; },
              "notes.exe: error: holds the package \"Other\", not \"Notes\" of notes.toml"},
        TCase{"AnotherVersion", [](T&, R& r, Q&) { r.DisplayVersion = "1.2.2"; },
              "notes.exe: error: registers version \"1.2.2\", not \"1.2.3\" of notes.toml (build it again)"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(WingetRegistration, IsWhatTheSetupProgramWritesLastInItsCodePage) {
    using namespace UninstallContract;
    const std::string app = "\x83\x81\x83\x82";  // メモ in Shift-JIS
    const std::string key = RegistrationKeyOf(app);
    const std::vector<RecordHead::TRegItem> items = {
        MakeRegItem(kRegistrationRoot, key, "Publisher", "Ann"),
        MakeRegItem(kRegistrationRoot, key, "DisplayVersion", "1.0"),
        MakeRegItem(0x80000001u, key, "DisplayName", "not the registration's"),
        MakeRegItem(kRegistrationRoot, "\\" + key, "publisher", "\x8E\x52\x93\x63"),  // 山田, written last
    };
    const Winget::TRegistration r = Winget::RegistrationOf(MakeHeader(app), items, 932);
    EXPECT_EQ(r.KeyName, "\xE3\x83\xA1\xE3\x83\xA2");
    EXPECT_EQ(r.DisplayName, r.KeyName);
    EXPECT_EQ(r.Publisher, "\xE5\xB1\xB1\xE7\x94\xB0");
    EXPECT_EQ(r.DisplayVersion, "1.0");
    EXPECT_EQ(Winget::RegistrationOf(MakeHeader("Plain"), {}, 1252).Publisher, "");
}

}  // namespace
