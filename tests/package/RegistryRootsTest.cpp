#include "package/RegistryRoots.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

TEST(RegistryRoots, NamesAndNumbersRoundTripForEveryRoot) {
    std::set<std::uint32_t> numbers;
    for (const RegistryRoots::TRoot& root : RegistryRoots::kRoots) {
        EXPECT_EQ(RegistryRoots::ByName(root.Short), root.Value) << root.Short;
        EXPECT_EQ(RegistryRoots::ByName(root.Long), root.Value) << root.Long;
        EXPECT_EQ(RegistryRoots::NameOf(root.Value), root.Long) << root.Long;
        numbers.insert(root.Value);
    }
    EXPECT_EQ(numbers.size(), RegistryRoots::kRoots.size()) << "two roots share a number";
}

TEST(RegistryRoots, NamesMatchInAnyCaseButOnlyWhole) {
    EXPECT_EQ(RegistryRoots::ByName("hkcu"), 0x80000001u);
    EXPECT_EQ(RegistryRoots::ByName("Hkey_Local_Machine"), 0x80000002u);
    for (const char* wrong : {"", "HK", "HKCUX", "HKEY_CURRENT", "HKEY_CURRENT_USER ", " HKLM", "HKEY-USERS"})
        EXPECT_EQ(RegistryRoots::ByName(wrong), 0u) << '"' << wrong << '"';
}

TEST(RegistryRoots, NumbersOutsideThePredefinedRangeHaveNoName) {
    for (const std::uint32_t value : {0u, 1u, 0x7FFFFFFFu, 0x80000007u, 0x80000050u, 0xFFFFFFFFu})
        EXPECT_TRUE(RegistryRoots::NameOf(value).empty()) << std::hex << value;
}

#ifdef _WIN32
// The numbers are what Windows itself uses as the predefined handles, so a
// record's RootKey can be passed to the registry functions as it is.
TEST(RegistryRoots, NumbersAreWindowsOwnHandles) {
    const auto number = [](HKEY key) { return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(key)); };
    EXPECT_EQ(RegistryRoots::ByName("HKCR"), number(HKEY_CLASSES_ROOT));
    EXPECT_EQ(RegistryRoots::ByName("HKCU"), number(HKEY_CURRENT_USER));
    EXPECT_EQ(RegistryRoots::ByName("HKLM"), number(HKEY_LOCAL_MACHINE));
    EXPECT_EQ(RegistryRoots::ByName("HKU"), number(HKEY_USERS));
    EXPECT_EQ(RegistryRoots::ByName("HKPD"), number(HKEY_PERFORMANCE_DATA));
    EXPECT_EQ(RegistryRoots::ByName("HKCC"), number(HKEY_CURRENT_CONFIG));
    EXPECT_EQ(RegistryRoots::ByName("HKDD"), number(HKEY_DYN_DATA));
}
#endif

}  // namespace
