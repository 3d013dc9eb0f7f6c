// The names the setup program and the uninstaller share.
#include <gtest/gtest.h>

#include <string>

#include "package/UninstallContract.h"

TEST(UninstallContract, NamesTheApplicationsKeyAndDataFile) {
    const std::string parent(UninstallContract::kRegistrationParent);
    EXPECT_EQ(UninstallContract::RegistrationKeyOf("Demo App"), parent + "\\Demo App");
    EXPECT_EQ(UninstallContract::DataFileIn("C:\\Demo"), "C:\\Demo\\" + std::string(UninstallContract::kDataFileName));
}
