#include "package/CompressedForm.h"

#include <gtest/gtest.h>

#include "package/PackageWriter.h"

using namespace RecordHead;
using CompressedForm::PlanSources;
using CompressedForm::TFileSource;

namespace {

TFileItem Item(const char* name, std::uint32_t offset, std::uint32_t size) {
    return MakeFileItem(name, "InstallDir", "", offset, size);
}

}  // namespace

TEST(CompressedForm, NextBytesAreStreamedAndEarlierOnesCopiedFromTheLatestHolder) {
    const std::vector<TFileItem> files = {Item("a", 0, 10), Item("b", 10, 5), Item("c", 0, 10),
                                          Item("empty", 999, 0), Item("d", 0, 10), Item("e", 15, 1)};
    const std::vector<TFileSource> plan = PlanSources(files, 16);
    EXPECT_EQ(plan[0].How, TFileSource::Stream);
    EXPECT_EQ(plan[1].How, TFileSource::Stream);
    EXPECT_EQ(plan[2].How, TFileSource::Copy);
    EXPECT_EQ(plan[2].From, 0u);
    EXPECT_EQ(plan[3].How, TFileSource::Empty);  // its offset says nothing
    EXPECT_EQ(plan[4].How, TFileSource::Copy);
    EXPECT_EQ(plan[4].From, 2u);  // the latest file that wrote those bytes
    EXPECT_EQ(plan[5].How, TFileSource::Stream);
}

TEST(CompressedForm, RefusesRecordsThatNeitherFollowTheStreamNorRepeatAnEarlierOne) {
    const std::vector<std::vector<TFileItem>> bad = {
        {Item("gap", 4, 4)},                      // skips bytes of the stream
        {Item("a", 0, 8), Item("part", 2, 4)},    // inside an earlier content, not one
        {Item("a", 0, 8), Item("more", 0, 9)},    // reaches into bytes not yet decoded
        {Item("a", 0, 8), Item("past", 8, 9)},    // beyond the decoded data
    };
    for (const auto& files : bad) EXPECT_THROW(PlanSources(files, 16), EReadError) << files.back().FileName.Text();
}

TEST(CompressedForm, Crc32IsZlibs) {
    const char check[] = "123456789";  // the polynomial's published check value
    EXPECT_EQ(CompressedForm::Crc32(0, check, 9), 0xCBF43926u);
    EXPECT_EQ(CompressedForm::Crc32(CompressedForm::Crc32(0, check, 4), check + 4, 5), 0xCBF43926u);
}
