// Names formed from record and list text stay inside their folder.
#include <gtest/gtest.h>

#include "platform/utf8_path.hpp"
#include "store/code_tables.hpp"
#include "store/cp932.hpp"
#include "store/data_store.hpp"

namespace fs = std::filesystem;

namespace tolven {
namespace {

TEST(PathSafety, FileInTakesOnlyAPlainName) {
    const fs::path folder = "/base/Data";
    for (const char* name : {"2026年12月05日中山.jvRA", "..jvRA", "a..b", "...", " "}) {
        EXPECT_EQ(file_in(folder, name), folder / utf8_path(name)) << name;
    }
    // "\\" separates folders and ":" names a drive or a stream on Windows; a
    // store must read the same everywhere, so both are refused on every system.
    for (std::string name : {std::string(), std::string("."), std::string(".."),
                             std::string("/abc年12月07日阪神.User"), std::string("../x"),
                             std::string("a/"), std::string("a\0b", 3), std::string("a\\b"),
                             std::string("..\\x"), std::string("C:x"), std::string("x.jvRA:s"),
                             std::string("\\\\server\\share")}) {
        EXPECT_THROW(file_in(folder, name), UnsafePathError) << name;
    }
    try {
        file_in(folder, "../x");
        FAIL();
    } catch (const FileError& e) {
        EXPECT_STREQ(e.what(), "refusing a file name that leaves its folder /base/Data: \"../x\"");
    }
}

TEST(PathSafety, StorePathsRefuseSeparatorsAndDotDot) {
    DataStore store("/base");
    EXPECT_EQ(store.day_file(sj("2026年12月05日中山"), ".User"),
              fs::path("/base/Data") / utf8_path("2026年12月05日中山.User"));
    EXPECT_THROW(store.day_file(sj("/abc年12月07日阪神"), ".User"), UnsafePathError);
    EXPECT_THROW(store.day_file("..", ""), UnsafePathError);
    EXPECT_THROW(store.horse_file("../../../x"), UnsafePathError);
    EXPECT_THROW(store.horse_file("2022/00001"), UnsafePathError);
    EXPECT_THROW(store.horse_file(".."), UnsafePathError);
    EXPECT_THROW(store.meeting_file("/../", "1205", "06"), UnsafePathError);
    EXPECT_THROW(store.meeting_file("..", "", ""), UnsafePathError);
    EXPECT_THROW(store.meeting_file("2026", "12/.", "06"), UnsafePathError);
}

TEST(PathSafety, DayEntryIsADayKey) {
    for (const char* good : {"2026年12月05日中山", "2003年04月12日    ", "2026年12月05日約  ",
                             "1999年00月00日小倉", "2026年12月05日東ド"}) {
        EXPECT_EQ(day_entry_problem(sj(good)), std::nullopt) << good;
    }
    for (const char* bad :
         {"", "../../x", "/abc年12月07日阪神", "2026年12月05日中山/..", "2026年12月05日",
          "20a6年12月05日中山", "2026年12月05日中山 ", "2026年1205日中山", "2026年12月05日..  ",
          "2026年12月05日/   ", "２０２６年12月05日中山", "2026年12月05日中"}) {
        auto problem = day_entry_problem(sj(bad));
        ASSERT_TRUE(problem.has_value()) << bad;
        EXPECT_EQ(cp932::to_utf8(*problem),
                  std::string("レース日の指定が不正です:\"") + bad + "\"");
    }
}

TEST(PathSafety, RacecourseNamesOfTheTable) {
    for (const char* code : {"01", "10", "C4", "M6", "ZZ", "//"}) {
        EXPECT_TRUE(is_racecourse_name(racecourse_name(code))) << code;
    }
    for (const char* name : {"", "中", "中山 ", "..  ", "  /."}) {
        EXPECT_FALSE(is_racecourse_name(sj(name))) << name;
    }
}

TEST(PathSafety, PedigreeNumbersThatNameAFile) {
    EXPECT_TRUE(pedigree_names_a_file("2022100001"));
    for (const char* bad : {"", "202210000", "20221000011", "2022/00001", "../../../x",
                            "          ", "２０２２1000"}) {
        EXPECT_FALSE(pedigree_names_a_file(bad)) << bad;
    }
}

}  // namespace
}  // namespace tolven
