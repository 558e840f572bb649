#include "pipeline/hit_export.hpp"

#include <gtest/gtest.h>

#include "pipeline/day_loader.hpp"
#include "store/catalogue.hpp"
#include "store/code_tables.hpp"
#include "store/cp932.hpp"
#include "store/data_store.hpp"
#include "store/lenient.hpp"
#include "store/record_builder.hpp"
#include "support/platform_skips.hpp"
#include "support/temp_dir.hpp"

namespace fs = std::filesystem;

namespace tolven {
namespace {

using namespace tolven::testing;

// Days of two races on 2026-12-05 where no runner has a history: the payouts
// are put on the computer bets the day gets.
struct HitDays {
    TempDir dir;
    DataStore store{dir.path()};

    HitDays() { store.create_folders(); }

    void day(const char* course, int races) {
        for (int n = 1; n <= races; ++n) {
            store.store(StoreFile::DayRaces, RecordBuilder(RecordKind::Race)
                                                 .race(20261205, course, 5, 3, n)
                                                 .number(ra::distance, 1600 + n * 200)
                                                 .number(ra::entries, 12)
                                                 .number(ra::track, 17)
                                                 .text(ra::short_name, sj("師走特別　　"))
                                                 .str());
            for (int h = 1; h <= 12; ++h) {
                store.store(StoreFile::DayRunners, RecordBuilder(RecordKind::Runner)
                                                       .race(20261205, course, 5, 3, n)
                                                       .number(se::bracket, bracket_number(12, h))
                                                       .number(se::horse_number, h)
                                                       .number(se::pedigree, 2022100000LL + h)
                                                       .str());
            }
        }
    }
    // Payouts on the first computer quinella bet of race n of a course.
    void pay(const char* course, int n, int quinella, int wide, int bracket) {
        RaceDay d;
        std::string entry =
            sj(std::string("2026年12月05日") + cp932::to_utf8(racecourse_name(course)));
        load_race_day(d, dir.path(), entry);
        std::string bet = bet_text(d.bets[static_cast<std::size_t>(n - 1)].computer_quinella[0]);
        std::string bracket_bet = bet_text(d.bets[static_cast<std::size_t>(n - 1)].computer_bracket[0]);
        ASSERT_FALSE(bet.empty());
        char combination[8];
        std::snprintf(combination, sizeof combination, "%02d%02d", lenient_int(bet.substr(0, 2)),
                      lenient_int(bet.substr(3, 2)));
        RecordBuilder hr(RecordKind::Payout);
        hr.race(20261205, course, 5, 3, n);
        hr.text(Field{245, 4}, combination).number(Field{249, 9}, quinella);
        hr.text(Field{293, 4}, combination).number(Field{297, 9}, wide);
        hr.text(Field{206, 1}, bracket_bet.substr(1, 1))
            .text(Field{207, 1}, bracket_bet.substr(4, 1));
        hr.number(Field{208, 9}, bracket);
        store.store(StoreFile::DayPayouts, hr.str());
    }
    HitExport run(bool longshot) {
        RaceDay d;
        auto days = list_race_days(dir.path() / "Data", DateFilter::Any, 0, DateTime{});
        return export_hits(d, dir.path(), days, days.front(), longshot);
    }
};

std::string html(const HitExport& e) {
    std::string t;
    for (std::size_t i = 1; i < e.html.size(); ++i) t += cp932::to_utf8(e.html[i]) + "\n";
    return t;
}

TEST(HitExport, AllHitsWithStylesAndOneLinePerLabel) {
    HitDays h;
    h.day("06", 2);
    h.pay("06", 1, 12000, 4990, 5000);
    HitExport e = h.run(false);
    EXPECT_EQ(e.days, 1);
    ASSERT_EQ(e.hits, 3);
    std::string lines = html(e);
    // The quinella that is also a wide payout gives two lines.
    EXPECT_NE(lines.find("<img src=\"./image/lis1.gif\"><font color=\"red\">中山 1R[馬連　]：　"),
              std::string::npos)
        << lines;
    EXPECT_NE(lines.find("/配当   12000円　師走特別　　</font>"), std::string::npos);
    EXPECT_NE(lines.find("<img src=\"./image/lis2.gif\"><font color=\"blue\">中山 1R[ワイド]：　"),
              std::string::npos);
    EXPECT_NE(lines.find("<font color=\"red\">中山 1R[枠連　]：　"), std::string::npos);
    EXPECT_EQ(cp932::to_utf8(e.html[0]),
              "<br /><img src=\"./image/balist.gif\"><font color=\"black\">"
              "【TOLVEN for JRA-VAN Data Lab.】</font>");
    ASSERT_TRUE(e.written);
    EXPECT_EQ(e.tk_file.filename(), "TK2026120506.txt");
    EXPECT_EQ(split_lines(read_bytes(e.tk_file)), e.html);
    std::vector<std::string> cumulative = split_lines(read_bytes(e.cumulative_file));
    ASSERT_EQ(cumulative.size(), 4u);
    EXPECT_EQ(cumulative[0], " TOLVEN for JRA-VAN Data Lab.");
    EXPECT_EQ(cumulative[1].substr(0, 12), "202612050601");
    EXPECT_TRUE(std::is_sorted(cumulative.begin(), cumulative.end()));
}

TEST(HitExport, LongshotThresholds) {
    struct Case {
        int quinella, wide, bracket;
        const char* expected;  // labels listed with their colours
    } cases[] = {
        {5000, 3000, 3000, ""},
        {5010, 3010, 3010, "馬連 blue|ワイド blue|枠連 blue|"},
        {12000, 5000, 5000, "馬連 red|ワイド red|枠連 red|"},
        {10000, 4990, 2990, "馬連 red|ワイド blue|"},
    };
    for (const auto& c : cases) {
        HitDays h;
        h.day("06", 2);
        h.pay("06", 1, c.quinella, c.wide, c.bracket);
        HitExport e = h.run(true);
        std::string got;
        for (std::size_t i = 1; i < e.html.size(); ++i) {
            std::string line = cp932::to_utf8(e.html[i]);
            std::string label = line.find("馬連") != std::string::npos     ? "馬連"
                                : line.find("ワイド") != std::string::npos ? "ワイド"
                                                                           : "枠連";
            got += label + (line.find("red") != std::string::npos ? " red|" : " blue|");
        }
        EXPECT_EQ(got, c.expected) << c.quinella;
    }
}

TEST(HitExport, TwoCoursesOneTkFileAndASecondExportChangesNothing) {
    HitDays h;
    h.day("06", 2);
    h.day("09", 2);
    h.pay("06", 2, 1500, 400, 700);
    h.pay("09", 1, 900, 300, 500);
    HitExport first = h.run(false);
    EXPECT_EQ(first.days, 2);
    ASSERT_TRUE(first.written);
    // Processed in list order (中山 before 阪神); the file is named after the last.
    EXPECT_EQ(first.tk_file.filename(), "TK2026120509.txt");
    std::string lines = html(first);
    EXPECT_LT(lines.find("中山 2R"), lines.find("阪神 1R"));
    std::string cumulative = read_bytes(first.cumulative_file);
    HitExport second = h.run(false);
    EXPECT_EQ(read_bytes(second.cumulative_file), cumulative);
}

TEST(HitExport, ATamperedDayIsPassedOverAndNamesNoFile) {
    HitDays h;
    h.day("06", 2);
    h.day("09", 2);
    h.pay("06", 2, 1500, 400, 700);
    h.pay("09", 1, 900, 300, 500);
    // The last day of the list would name the TK file: its first race's
    // month-day now climbs out of HPupload.
    fs::path races = h.store.day_file(sj("2026年12月05日阪神"), ".jvRA");
    std::vector<std::string> lines = split_lines(read_bytes(races));
    lines[0].replace(header::month_day.offset, header::month_day.width, "/../");
    write_bytes(races, join_lines(lines));
    HitExport e = h.run(false);
    EXPECT_EQ(e.days, 1);
    ASSERT_TRUE(e.written);
    EXPECT_EQ(e.tk_file, h.dir.path() / "HPupload" / "TK2026120506.txt");
    EXPECT_EQ(html(e).find("阪神"), std::string::npos);
    EXPECT_EQ(folder_entries(h.dir.path()),
              (std::set<std::string>{"Data", "HPupload", "SEI", "SEIR"}));
    EXPECT_EQ(folder_entries(h.dir.path() / "HPupload"),
              (std::set<std::string>{"TK2026120506.txt", "Vevezaza.txt"}));
}

// A link where the running totals should be is refused before anything of
// the export is written, and the file it points to is left as it was.
TEST(HitExport, ALinkForTheRunningTotalsIsRefusedBeforeAnythingIsWritten) {
    SKIP_WITHOUT_SYMLINKS();
    HitDays h;
    h.day("06", 2);
    h.pay("06", 2, 1500, 400, 700);
    fs::path outside = h.dir.path() / "outside.txt";
    write_bytes(outside, "theirs");
    fs::create_directories(h.dir.path() / "HPupload");
    fs::create_symlink(outside, h.dir.path() / "HPupload" / "Vevezaza.txt");
    try {
        h.run(false);
        ADD_FAILURE() << "exported through the link";
    } catch (const FileError& e) {
        EXPECT_NE(std::string(e.what()).find("Vevezaza.txt"), std::string::npos) << e.what();
    }
    EXPECT_EQ(folder_entries(h.dir.path() / "HPupload"), (std::set<std::string>{"Vevezaza.txt"}));
    EXPECT_EQ(read_bytes(outside), "theirs");
}

TEST(HitExport, NoHitWritesNothingAndOneHitIsWritten) {
    HitDays none;
    none.day("06", 2);
    HitExport e = none.run(false);
    EXPECT_EQ(e.hits, 0);
    EXPECT_FALSE(e.written);
    EXPECT_FALSE(fs::exists(none.dir.path() / "HPupload"));
    // A single hit is exported too.
    HitDays one;
    one.day("06", 2);
    one.pay("06", 1, 1500, 0, 0);
    e = one.run(false);
    EXPECT_EQ(e.hits, 1);
    EXPECT_TRUE(e.written);
    EXPECT_EQ(split_lines(read_bytes(e.tk_file)).size(), 2u);
}

}  // namespace
}  // namespace tolven
