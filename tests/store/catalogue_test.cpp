#include "store/catalogue.hpp"

#include <gtest/gtest.h>

#include "platform/utf8_path.hpp"
#include "store/cp932.hpp"
#include "support/temp_dir.hpp"

namespace tolven {
namespace {

using namespace tolven::testing;

std::string listing(const std::filesystem::path& data, DateFilter date, int course,
                    const DateTime& today) {
    std::string text;
    for (const auto& day : list_race_days(data, date, course, today)) {
        text += cp932::to_utf8(day) + "\n";
    }
    return text;
}

TEST(Catalogue, MaskOfEachFilter) {
    DateTime monday{2026, 12, 7};
    EXPECT_EQ(cp932::to_utf8(catalogue_mask(DateFilter::Today, 6, monday)),
              "2026年12月07日中山*.jvRA");
    EXPECT_EQ(cp932::to_utf8(catalogue_mask(DateFilter::Yesterday, 0, monday)),
              "2026年12月06日*.jvRA");
    EXPECT_EQ(cp932::to_utf8(catalogue_mask(DateFilter::Any, 0, monday)), "**.jvRA");
    EXPECT_EQ(cp932::to_utf8(catalogue_mask(DateFilter::Any, 10, DateTime{2027, 1, 1})),
              "*小倉*.jvRA");
    EXPECT_EQ(cp932::to_utf8(catalogue_mask(DateFilter::Yesterday, 1, DateTime{2027, 1, 1})),
              "2026年12月31日札幌*.jvRA");
}

TEST(Catalogue, GlobMatching) {
    EXPECT_TRUE(mask_matches("**.jvRA", "x.jvRA"));
    EXPECT_TRUE(mask_matches("a*b*.jvRA", "aXXbYY.jvRA"));
    EXPECT_FALSE(mask_matches("a*b*.jvRA", "aXX.jvRA"));
    EXPECT_FALSE(mask_matches("**.jvRA", "x.jvSEr"));
    EXPECT_FALSE(mask_matches("**.jvRA", "x.jvRA.bak"));
    EXPECT_TRUE(mask_matches("a?c", "abc"));
}

class CatalogueFolder : public ::testing::Test {
  protected:
    TempDir dir;
    std::filesystem::path data = dir.path() / "Data";
    void SetUp() override {
        for (const char* name : {"2026年12月05日中山", "2026年12月05日阪神", "2026年12月06日中山",
                                 "2026年12月06日阪神", "2026年12月06日中京", "2026年11月29日東京",
                                 "2025年12月28日中山"}) {
            write_bytes(data / utf8_path(std::string(name) + ".jvRA"), "");
            write_bytes(data / utf8_path(std::string(name) + ".jvSEr"), "");
        }
        write_bytes(data / u8"2026年12月06日中山.User", "");
    }
};

TEST_F(CatalogueFolder, YesterdayOnAMondayListsOnlySunday) {
    EXPECT_EQ(listing(data, DateFilter::Yesterday, 0, DateTime{2026, 12, 7}),
              "2026年12月06日中山\n2026年12月06日中京\n2026年12月06日阪神\n");
}

TEST_F(CatalogueFolder, ARacecourseFilterLeavesOtherCoursesOut) {
    EXPECT_EQ(listing(data, DateFilter::Any, 6, DateTime{2026, 12, 7}),
              "2026年12月06日中山\n2026年12月05日中山\n2025年12月28日中山\n");
    EXPECT_EQ(listing(data, DateFilter::Today, 9, DateTime{2026, 12, 5}), "2026年12月05日阪神\n");
    EXPECT_EQ(listing(data, DateFilter::Today, 9, DateTime{2026, 12, 7}), "");
}

TEST_F(CatalogueFolder, AllDatesAllCoursesNewestFirstInCp932Order) {
    // Within a date the courses come in descending CP932 order: 中山 (92 86 8E),
    // 中京 (92 86 8B), 阪神 (8D E3). UTF-8 order would put 阪神 (E9) first.
    EXPECT_EQ(listing(data, DateFilter::Any, 0, DateTime{2026, 12, 7}),
              "2026年12月06日中山\n2026年12月06日中京\n2026年12月06日阪神\n"
              "2026年12月05日中山\n2026年12月05日阪神\n2026年11月29日東京\n"
              "2025年12月28日中山\n");
    // The same selection again gives the same list.
    EXPECT_EQ(listing(data, DateFilter::Any, 0, DateTime{2026, 12, 7}),
              listing(data, DateFilter::Any, 0, DateTime{2026, 12, 7}));
}

TEST(Catalogue, MissingFolderListsNothing) {
    TempDir dir;
    EXPECT_TRUE(list_race_days(dir.path() / "Data", DateFilter::Any, 0, DateTime{}).empty());
}

}  // namespace
}  // namespace tolven
