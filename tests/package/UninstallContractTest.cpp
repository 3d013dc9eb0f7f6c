// The names the setup program and the uninstaller share, held to what the
// test scripts expect.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>

#include "package/RegistryRoots.h"
#include "package/UninstallContract.h"

namespace {

// NAME=VALUE lines of the scripts' contract file, quotes taken off.
std::map<std::string, std::string> ScriptValues() {
    std::map<std::string, std::string> values;
    std::ifstream in(SETUP_SOURCE_DIR "/tests/support/uninstall-contract.sh");
    std::string line;
    while (std::getline(in, line)) {
        const auto equals = line.find('=');
        if (line.empty() || line[0] == '#' || equals == std::string::npos) continue;
        std::string value = line.substr(equals + 1);
        if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'') value = value.substr(1, value.size() - 2);
        values[line.substr(0, equals)] = value;
    }
    return values;
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return text;
}

}  // namespace

TEST(UninstallContract, MatchesWhatTheScriptsExpect) {
    const auto values = ScriptValues();
    ASSERT_EQ(values.count("uninstall_data_file"), 1u) << "contract file not read";
    EXPECT_EQ(UninstallContract::kDataFileName, values.at("uninstall_data_file"));

    const std::string registrations = values.at("uninstall_registrations");
    const auto slash = registrations.find('\\');
    ASSERT_NE(slash, std::string::npos);
    EXPECT_EQ(RegistryRoots::ByName(registrations.substr(0, slash)), UninstallContract::kRegistrationRoot);
    // Registry names compare without case.
    EXPECT_EQ(Lower(std::string(UninstallContract::kRegistrationParent)), Lower(registrations.substr(slash + 1)));
}

TEST(UninstallContract, NamesTheApplicationsKeyAndDataFile) {
    const std::string parent(UninstallContract::kRegistrationParent);
    EXPECT_EQ(UninstallContract::RegistrationKeyOf("Demo App"), parent + "\\Demo App");
    EXPECT_EQ(UninstallContract::DataFileIn("C:\\Demo"), "C:\\Demo\\" + std::string(UninstallContract::kDataFileName));
}
