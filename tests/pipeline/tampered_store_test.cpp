// Store files changed by hand or by another program: no field text may lead
// a read or a write out of the base folder.
#include <gtest/gtest.h>

#include "pipeline/day_loader.hpp"
#include "store/code_tables.hpp"
#include "store/cp932.hpp"
#include "store/data_store.hpp"
#include "store/lenient.hpp"
#include "store/record_builder.hpp"
#include "support/temp_dir.hpp"

namespace fs = std::filesystem;

namespace tolven {
namespace {

using namespace tolven::testing;

constexpr int kDate = 20261207;

std::string race_line(int number) {
    return std::string(without_line_break(RecordBuilder(RecordKind::Race)
                                              .race(kDate, "09", 5, 2, number)
                                              .text(ra::weekday, "2")
                                              .number(ra::distance, 1600)
                                              .number(ra::track, 17)
                                              .number(ra::entries, 2)
                                              .str()));
}

std::string run_record(int date, const char* pedigree, int race) {
    return RecordBuilder(RecordKind::Runner)
        .text(header::category, "7")
        .race(date, "05", 4, 1, race)
        .number(se::horse_number, 3)
        .text(se::pedigree, pedigree)
        .text(se::running_time, "1345")
        .text(se::last_three_furlongs, "345")
        .str();
}

// A day of three races at Hanshin; the base folder sits three levels down in
// the temporary folder, so a path that climbs out of it stays in the test's
// own folder.
class TamperedStore : public ::testing::Test {
  protected:
    TempDir dir;
    fs::path base = dir.path() / "a" / "b" / "base";
    DataStore store{base};
    std::string entry = sj("2026年12月07日阪神");
    std::set<std::string> root_before = folder_entries("/");

    void SetUp() override {
        store.create_folders();
        std::vector<std::string> races;
        for (int n = 1; n <= 3; ++n) {
            races.push_back(race_line(n));
            for (int h = 1; h <= 2; ++h) {
                ASSERT_TRUE(
                    store
                        .store(StoreFile::DayRunners, RecordBuilder(RecordKind::Runner)
                                                          .text(header::category, "2")
                                                          .race(kDate, "09", 5, 2, n)
                                                          .number(se::bracket, h)
                                                          .number(se::horse_number, h)
                                                          .number(se::pedigree, 2022100000LL + h)
                                                          .str())
                        .stored());
            }
        }
        write_bytes(store.day_file(entry, ".jvRA"), join_lines(races));
        // Horse 2 ran once before, with its race in a meeting file.
        ASSERT_TRUE(
            store.store(StoreFile::HorseRuns, run_record(20261101, "2022100002", 5)).stored());
        ASSERT_TRUE(store
                        .store(StoreFile::MeetingRaces, RecordBuilder(RecordKind::Race)
                                                            .text(header::category, "7")
                                                            .race(20261101, "05", 4, 1, 5)
                                                            .number(ra::distance, 1600)
                                                            .number(ra::track, 17)
                                                            .str())
                        .stored());
    }

    // Overwrites a field of line `line` of a store file.
    void tamper(const fs::path& file, std::size_t line, Field field, std::string_view text) {
        std::vector<std::string> lines = split_lines(read_bytes(file));
        ASSERT_LT(line, lines.size());
        lines[line].replace(field.offset, field.width, text);
        write_bytes(file, join_lines(lines));
    }

    // Every file under the test's folder that is not one of the store's own,
    // and every name new in "/" or beside the base folder.
    std::string stray_files() {
        std::string found;
        for (const auto& e : fs::recursive_directory_iterator(dir.path())) {
            if (!e.is_regular_file()) continue;
            fs::path relative = fs::relative(e.path(), base);
            std::string name = relative.string();
            bool store_file =
                name.rfind("../", 0) != 0 &&
                (e.path().extension() == ".jvRA" || e.path().extension() == ".jvSEr" ||
                 e.path().extension() == ".jvHR" || e.path().extension() == ".jvSEI" ||
                 e.path().extension() == ".jvSERA" ||
                 (e.path().extension() == ".User" && e.path().parent_path() == base / "Data"));
            if (!store_file) found += name + "\n";
        }
        for (const auto& name : folder_entries("/")) {
            if (!root_before.count(name)) found += "/" + name + "\n";
        }
        if (folder_entries(base.parent_path()) != std::set<std::string>{"base"}) {
            found += "beside the base\n";
        }
        return found;
    }
};

TEST_F(TamperedStore, TheUntouchedDayLoads) {
    RaceDay day;
    LoadOutcome outcome = load_race_day(day, base, entry);
    ASSERT_TRUE(outcome.built) << cp932::to_utf8(outcome.message);
    EXPECT_FALSE(fs::exists(base / "Data" / u8"2026年12月07日阪神.User"));
    EXPECT_EQ(day.past_run[0][1][1],
              overwrite(run_record(20261101, "2022100002", 5), "000000000", 3));
    EXPECT_EQ(field_int(day.past_race[0][1][1], ra::distance), 1600);
    EXPECT_EQ(stray_files(), "");
}

TEST_F(TamperedStore, RaceKeyFieldsThatCouldNameAnotherFileRefuseTheDay) {
    struct Case {
        std::size_t line;
        Field field;
        const char* text;
        const char* problem;  // the message after the file and line
    } cases[] = {
        {0, header::year, "/abc", "1行目 開催年が数字ではありません:\"/abc\""},
        {0, header::year, "/../", "1行目 開催年が数字ではありません:\"/../\""},
        {0, header::month_day, "/../", "1行目 月日が数字ではありません:\"/../\""},
        {0, header::course, ". ", "1行目 競馬場コードが不正です:\". \""},
        {2, header::course, "..", "3行目 競馬場コードが不正です:\"..\""},
        {1, header::kai, "/x", "2行目 回が数字ではありません:\"/x\""},
        {2, header::year, "    ", "3行目 開催年が数字ではありません:\"    \""},
    };
    // A good day loaded before: a refused load leaves its records as they are.
    RaceDay day;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.problem);
        fs::path races = store.day_file(entry, ".jvRA");
        std::string good = read_bytes(races);
        ASSERT_TRUE(load_race_day(day, base, entry).built);
        std::string loaded_race = day.race[0];

        tamper(races, c.line, c.field, c.text);
        LoadOutcome outcome = load_race_day(day, base, entry);
        EXPECT_FALSE(outcome.built);
        EXPECT_EQ(cp932::to_utf8(outcome.message),
                  "レースデータが不正です:" + races.string() + " " + c.problem);
        EXPECT_EQ(day.race[0], loaded_race);
        EXPECT_EQ(stray_files(), "");
        write_bytes(races, good);
    }
}

TEST_F(TamperedStore, APedigreeNumberThatIsNoFileNameGivesTheHorseNoHistory) {
    // Where each pedigree number would have led: a horse file with a run is
    // put there, and must not be read.
    struct Case {
        const char* pedigree;
        fs::path planted;
    } cases[] = {
        {"../../../h", dir.path() / "h.jvSEI"},
        {"2022/00001", base / "SEI" / "2022" / "2022" / "00001.jvSEI"},
        {"2022..0001", base / "SEI" / "2022" / "2022..0001.jvSEI"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pedigree);
        write_bytes(c.planted, run_record(20261101, c.pedigree, 5));
        fs::path runners = store.day_file(entry, ".jvSEr");
        std::string good = read_bytes(runners);
        tamper(runners, 0, se::pedigree, c.pedigree);

        RaceDay day;
        LoadOutcome outcome = load_race_day(day, base, entry);
        ASSERT_TRUE(outcome.built) << cp932::to_utf8(outcome.message);
        EXPECT_EQ(field_text(day.runner[0][0], se::pedigree), c.pedigree);
        EXPECT_TRUE(is_absent(day.past_run[0][0][1]));
        EXPECT_FALSE(is_absent(day.past_run[0][1][1]));  // the other horse keeps its run
        fs::remove(c.planted);
        EXPECT_EQ(stray_files(), "");
        write_bytes(runners, good);
    }
}

TEST_F(TamperedStore, APastRunWithKeyFieldsNoMeetingFileHasIsPassedOver) {
    // A later run of horse 2 whose date still reads as a number, but whose
    // other key fields name no meeting file the store could hold.
    struct Case {
        Field field;
        const char* text;
    } cases[] = {
        {header::course, ".."},      {header::course, "/."},       {header::month_day, "11/."},
        {header::race_number, "/."}, {se::pedigree, "2022/00002"},
    };
    fs::path horse = store.horse_file("2022100002");
    std::string good = read_bytes(horse);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::string later(without_line_break(run_record(20261115, "2022100002", 7)));
        later = overwrite(later, "000000000", 3);
        later.replace(c.field.offset, c.field.width, c.text);
        write_bytes(horse, good + later + "\r\n");

        RaceDay day;
        ASSERT_TRUE(load_race_day(day, base, entry).built);
        EXPECT_EQ(day.past_run[0][1][1],
                  overwrite(run_record(20261101, "2022100002", 5), "000000000", 3));
        EXPECT_TRUE(is_absent(day.past_run[0][1][2]));
        EXPECT_EQ(field_int(day.past_race[0][1][1], ra::distance), 1600);
        EXPECT_EQ(stray_files(), "");
    }
}

TEST_F(TamperedStore, AListEntryThatIsNoDayKeyIsRefusedBeforeAnyFileIsOpened) {
    // The day files "../../../x" would name if it were taken as a path.
    write_bytes(dir.path() / "a" / "x.jvRA", join_lines({race_line(1)}));
    write_bytes(dir.path() / "a" / "x.jvSEr", "");
    const char* entries[] = {
        "../../../x",         "/abc年12月07日阪神",  "2026年12月07日阪神/..", "2026年12月07日",
        "20a6年12月07日阪神", "2026年12月07日阪神 ", "2026-12-07阪神xxxx",    "",
        "2026年12月07日..  ",
    };
    for (const char* utf8 : entries) {
        SCOPED_TRACE(utf8);
        RaceDay day;
        LoadOutcome outcome = load_race_day(day, base, sj(utf8));
        EXPECT_FALSE(outcome.built);
        EXPECT_EQ(cp932::to_utf8(outcome.message),
                  std::string("レース日の指定が不正です:\"") + utf8 + "\"");
        EXPECT_TRUE(is_absent(day.race[0]));
    }
    fs::remove(dir.path() / "a" / "x.jvRA");
    fs::remove(dir.path() / "a" / "x.jvSEr");
    EXPECT_EQ(stray_files(), "");
}

}  // namespace
}  // namespace tolven
