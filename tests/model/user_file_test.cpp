#include "model/user_file.hpp"

#include <gtest/gtest.h>

#include <cstdio>

#include "model/race_day.hpp"
#include "store/cp932.hpp"
#include "store/data_store.hpp"
#include "support/temp_dir.hpp"

namespace fs = std::filesystem;

namespace tolven {
namespace {

using namespace tolven::testing;

// A file edited by hand may end its lines in any way; every line break ends
// a line, and the file is written back with CR LF only (a fuzzing finding:
// a lone CR was kept inside a line and written back as a bare CR).
TEST(UserFile, EveryLineBreakEndsALineAndIsWrittenBackAsCrLf) {
    struct Case {
        const char* content;
        std::vector<std::string> lines;  // the first lines read
    } cases[] = {
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb", {"a", "b"}},
        {"a\rb\r\nc", {"a", "b", "c"}},
        {" 0\r\r0 |17|\n\r\n", {" 0", "", "0 |17|", ""}},
        {"\r", {""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content);
        TempDir dir;
        fs::path file = dir.path() / "x.User";
        write_bytes(file, c.content);
        std::vector<std::string> lines = read_user_file(file);
        ASSERT_EQ(lines.size(), static_cast<std::size_t>(kUserFileLines));
        std::vector<std::string> skeleton = user_file_skeleton();
        for (std::size_t i = 0; i < lines.size(); ++i) {
            EXPECT_EQ(lines[i], i < c.lines.size() ? c.lines[i] : skeleton[i]) << i;
        }
        write_user_file(file, lines);
        std::string saved = read_bytes(file);
        EXPECT_EQ(saved, join_lines(lines));
        EXPECT_EQ(read_user_file(file), lines);
    }
}

// The named places against the skeleton and a filled line, at the first and
// last race, runner row, tick and bet slot.
TEST(UserFile, LinesOfTheFirstAndLastRace) {
    struct Case {
        int n;
        std::size_t title, first_runner, last_runner, quinella, bracket;
    } cases[] = {
        {0, 1, 3, 20, 22, 24},
        {11, 276, 278, 295, 297, 299},
    };
    std::vector<std::string> skeleton = user_file_skeleton();
    ASSERT_EQ(skeleton.size(), static_cast<std::size_t>(kUserFileLines));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.n);
        EXPECT_EQ(user_title_line(c.n), c.title);
        EXPECT_EQ(user_runner_line(c.n, 1), c.first_runner);
        EXPECT_EQ(user_runner_line(c.n, kMaxRunners), c.last_runner);
        EXPECT_EQ(user_quinella_line(c.n), c.quinella);
        EXPECT_EQ(user_bracket_line(c.n), c.bracket);
        char title[16];
        std::snprintf(title, sizeof title, "%2dR", c.n + 1);
        EXPECT_EQ(cp932::to_utf8(skeleton[c.title]), std::string("【") + title + "】");
        EXPECT_EQ(skeleton[c.first_runner], "  | 1|0|0|0|0|0|0|0|0|0|  |  0.000|");
        EXPECT_EQ(skeleton[c.last_runner], "  |18|0|0|0|0|0|0|0|0|0|  |  0.000|");
        EXPECT_EQ(skeleton[c.quinella - 1], std::string(79, '-'));
        EXPECT_EQ(skeleton[c.quinella], "");
        EXPECT_EQ(skeleton[c.bracket - 1], std::string(79, '-'));
        EXPECT_EQ(skeleton[c.bracket], "");
    }
}

TEST(UserFile, FieldsOfARunnerLine) {
    std::array<std::string, kUserTicks> ticks{"1", "a", "b", "c", "d", "e", "f", "g", "9"};
    std::string line = user_runner_text("3", " 5", ticks, "12", " 41.250");
    EXPECT_EQ(line, " 3| 5|1|a|b|c|d|e|f|g|9|12| 41.250|");
    struct Case {
        UserField field;
        const char* text;
    } cases[] = {
        {user_tick_field(0), "1"},
        {user_tick_field(kUserTicks - 1), "9"},
        {kUserRankField, "12"},
        {kUserScoreField, " 41.250"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.field.position);
        EXPECT_EQ(user_field(line, c.field), c.text);
        // A line cut before the field gives nothing; cut inside it, less.
        std::size_t at = static_cast<std::size_t>(c.field.position - 1);
        EXPECT_EQ(user_field(line.substr(0, at), c.field), "");
        EXPECT_EQ(user_field(line.substr(0, at + 1), c.field), std::string(c.text).substr(0, 1));
    }
    EXPECT_EQ(user_tick_field(0).position, 7);
    EXPECT_EQ(user_tick_field(kUserTicks - 1).position, 23);
}

TEST(UserFile, BetsAreWrittenAndReadBackInTheirSlots) {
    struct Case {
        int n;
        int count;  // bets in each list
    } cases[] = {{0, 1}, {0, kBetSlots}, {11, kBetSlots}, {11, 0}, {5, 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.n) + "/" + std::to_string(c.count));
        RaceBets bets;
        for (int k = 0; k < c.count; ++k) {
            char text[32];
            std::snprintf(text, sizeof text, "%2d-%2d", k + 1, 18 - k);
            bets.user_quinella[static_cast<std::size_t>(k)] = bet_from_text(text);
            std::snprintf(text, sizeof text, "%2d-%2d", 1, k % 8 + 1);
            bets.user_bracket[static_cast<std::size_t>(k)] = bet_from_text(text);
        }
        std::vector<std::string> lines = user_file_skeleton();
        write_user_bets(lines, c.n, bets);
        EXPECT_EQ(lines[user_quinella_line(c.n)], user_bet_line(bets.user_quinella));
        EXPECT_EQ(lines[user_bracket_line(c.n)], user_bet_line(bets.user_bracket));
        if (c.count == kBetSlots) {
            EXPECT_EQ(user_field(lines[user_quinella_line(c.n)], user_bet_field(0)), " 1-18");
            EXPECT_EQ(user_field(lines[user_quinella_line(c.n)], user_bet_field(kBetSlots - 1)),
                      " 9-10");
            EXPECT_EQ(lines[user_quinella_line(c.n)].size(), 63u);
        }
        // Every other line stays as the skeleton has it.
        std::vector<std::string> skeleton = user_file_skeleton();
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (i == user_quinella_line(c.n) || i == user_bracket_line(c.n)) continue;
            EXPECT_EQ(lines[i], skeleton[i]) << i;
        }
        RaceBets back;
        const Bet kept{7, 8, {}};
        back.user_quinella.fill(kept);
        read_user_bets(lines, c.n, back);
        if (c.count == 0) {
            // Blank lines leave the lists as they are.
            EXPECT_EQ(back.user_quinella[0], kept);
            EXPECT_TRUE(back.user_bracket[0].empty());
        } else {
            EXPECT_EQ(back.user_quinella, bets.user_quinella);
            EXPECT_EQ(back.user_bracket, bets.user_bracket);
        }
        EXPECT_EQ(back.computer_quinella, BetList{});
    }
}

}  // namespace
}  // namespace tolven
