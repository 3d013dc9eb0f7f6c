// The Program Manager's commands as the setup program and the uninstaller
// send them, and the characters makesetup warns about.
#include <gtest/gtest.h>

#include "package/ProgManCommands.h"

namespace PM = ProgManCommands;

TEST(ProgManCommands, MacrosCarryTheirArgumentsUnescaped) {
    EXPECT_EQ(PM::CreateGroup("Demo App"), "[CreateGroup(Demo App,Demo App)]");
    EXPECT_EQ(PM::AddItem("C:\\Demo\\demo.exe", "Demo"), "[AddItem(C:\\Demo\\demo.exe,Demo)]");
    EXPECT_EQ(PM::DeleteGroup("Demo (x)"), "[DeleteGroup(Demo (x))]");
}

TEST(ProgManCommands, FindsTheFirstSyntaxCharacter) {
    EXPECT_EQ(PM::SyntaxChar("Demo"), std::nullopt);
    EXPECT_EQ(PM::SyntaxChar("Demo (x), y"), '(');
    EXPECT_EQ(PM::SyntaxChar("a]b[c"), ']');
    EXPECT_EQ(PM::SyntaxChar("a,b"), ',');
}
