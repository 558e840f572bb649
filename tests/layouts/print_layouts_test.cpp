#include "layouts/print_layouts.hpp"

#include <gtest/gtest.h>

#include "layouts/page_recording.hpp"
#include "store/cp932.hpp"
#include "support/race_day_builder.hpp"

namespace tolven {
namespace {

using namespace tolven::testing;

int count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

RaceDay twelve_races(int runners_of_race_1) {
    RaceDay day;
    std::vector<std::pair<int, int>> races{{1200, runners_of_race_1}};
    for (int i = 2; i <= 12; ++i) races.push_back({1600, 9 + i % 5});
    set_races(day, races);
    for (int n = 0; n < 12; ++n) {
        day.bets[static_cast<std::size_t>(n)].computer_quinella = bet_list({" 1- 2", " 1- 3"});
        day.bets[static_cast<std::size_t>(n)].computer_bracket = bet_list({" 1- 2"});
        day.prediction[static_cast<std::size_t>(n)].pattern = Pattern::A;
    }
    return day;
}

TEST(BetList, TwelveRacesWithTheBracketRule) {
    for (int runners : {8, 9}) {
        RaceDay day = twelve_races(runners);
        RecordingCanvas canvas;
        draw_bet_list(day, canvas);
        std::string all = canvas.matching("");
        EXPECT_EQ(count(all, "【馬連】"), 24) << runners;
        // 11 races always print both bracket lines; race 1 only with 9 runners.
        EXPECT_EQ(count(all, "【枠連】"), runners == 9 ? 24 : 22);
        EXPECT_NE(all.find("text 150,71 TOLVEN for JRA-VAN Data Lab. 買い目リスト"),
                  std::string::npos);
        EXPECT_NE(all.find("text 150,148 <<  1R >>   " + std::to_string(runners) + "頭  A  "),
                  std::string::npos)
            << all.substr(0, 600);
        // Race 12's closing rules: D = 2640.
        EXPECT_NE(all.find("pen 5 solid\nmove 150,2783\nline 1850,2783\n"), std::string::npos);
        EXPECT_NE(
            all.find("pen 1 dot\nmove 170,2639\nline 1850,2639\nmove 170,2713\nline 1850,2713\n"),
            std::string::npos);
        // The user quinella line of race 1 at D + T0 + 5 with its nine slots.
        EXPECT_NE(all.find("text 170,295 ﾕｰｻﾞｰ予想   【馬連】" + std::string(18, ' ') + "\n"),
                  std::string::npos);
    }
    // A day before 2005 prints both bracket lines for every race.
    RaceDay old = twelve_races(8);
    old.from_2005 = false;
    RecordingCanvas canvas;
    draw_bet_list(old, canvas);
    EXPECT_EQ(count(canvas.matching(""), "【枠連】"), 24);
    EXPECT_EQ(print_bet_line("X", bet_list({" 1- 2"})), "X   1- 2" + std::string(16, ' '));
}

TEST(AnalysisSheet, RunnerTableMarksAndRules) {
    RaceDay day;
    set_races(day, {{1600, 3}, {1800, 12}});  // 3 runners: brackets 1, 2, 3
    // Make runners 1-2 share bracket 1 and runner 3 open bracket 2.
    day.runner[0][1].replace(se::bracket.offset, 1, "1");
    day.runner[0][2].replace(se::bracket.offset, 1, "2");
    day.prediction[0].cross = 2;
    day.prediction[0].chu = 3;
    day.prediction[0].triangle = 1;
    day.prediction[0].down = 2;
    day.prediction[0].pattern = Pattern::B;
    RecordingCanvas canvas;
    draw_analysis_sheet(day, 1, canvas);
    std::string all = canvas.matching("");
    // Bracket 1 printed once with a thick rule, a thin rule between runners 1
    // and 2, a thick rule opening bracket 2.
    EXPECT_EQ(count(all, "text 220,"), 2);
    EXPECT_NE(all.find("text 220,540 1\n"), std::string::npos);
    EXPECT_NE(all.find("pen 12 solid\nmove 200,530\nline 1800,530\n"), std::string::npos);
    EXPECT_NE(all.find("pen 1 solid\nmove 250,580\nline 1800,580\n"), std::string::npos);
    EXPECT_NE(all.find("text 220,640 2\npen 12 solid\nmove 200,630\nline 1800,630\n"),
              std::string::npos);
    // Marks in the rows of their horses; horse 2 has × and ↓ and shows the
    // one the prediction table shows, ↓, alone.
    EXPECT_EQ(canvas.matching("text 320,"),
              "text 320,540 ▲\ntext 320,590 ↓\ntext 320,640 注\ntext 320,490 印\n");
    // The table frame ends at B = 50 r + 530.
    EXPECT_NE(all.find("rect 200,440 1800,680\n"), std::string::npos);
    EXPECT_NE(all.find("text 200,1500 【パターン】B\n"), std::string::npos);
    // Race number placement inside the black box.
    EXPECT_NE(all.find("fontcolour FFFFFF\ntext 230,330 1\n"), std::string::npos);
    RaceDay big;
    std::vector<std::pair<int, int>> races(12, {1600, 10});
    set_races(big, races);
    RecordingCanvas ten;
    draw_analysis_sheet(big, 10, ten);
    EXPECT_NE(ten.matching("").find("text 205,330 10\n"), std::string::npos);
}

TEST(AnalysisSheet, BarGraph) {
    RaceDay day;
    set_races(day, {{1600, 18}, {1800, 12}});
    for (int r = 0; r < 18; ++r)
        day.figures[0].runner[static_cast<std::size_t>(r)].composite = 300 - r;
    day.figures[0].runner[17].composite = 278;  // no past runs
    RecordingCanvas canvas;
    draw_analysis_sheet(day, 1, canvas);
    // Slot width 1400 / 18 = 77, bar width 77 - 2 * 12 = 53.
    EXPECT_NE(canvas.matching("").find("brush solid 000000\nrect 412,2150 465,2600\n"),
              std::string::npos);  // best: 300 -> top 2600 - 30 * 15
    EXPECT_NE(canvas.matching("").find("brush diagcross 000000\nrect 489,"), std::string::npos);
    EXPECT_NE(canvas.matching("").find("brush bdiagonal 000000\nrect 566,"), std::string::npos);
    EXPECT_NE(canvas.matching("").find("brush cross 000000\nrect 874,"), std::string::npos);
    // The 278 runner, last, is a hollow white bar.
    EXPECT_NE(canvas.matching("").find("brush clear FFFFFF\nrect 1721,2480 1774,2600\n"),
              std::string::npos);
    // Slot ticks.
    EXPECT_NE(canvas.matching("").find("move 439,2600\nline 439,2620\n"), std::string::npos);
    // The axis values, the horse numbers under the bars and the caption are
    // all at size 8, the caption after the last number.
    std::string all = canvas.matching("");
    std::size_t values = all.find("text 330,1990 310\n");
    ASSERT_NE(values, std::string::npos);
    std::string graph = all.substr(all.rfind("font ", values));
    EXPECT_NE(graph.find("text 1600,2655 馬番(能力順)"), std::string::npos);
    EXPECT_NE(graph.find("text 1734,2625 18"), std::string::npos);
    EXPECT_EQ(count(graph, "font "), count(graph, "font ＭＳ ゴシック 8\n")) << graph;
}

TEST(AllocationPrint, Blocks) {
    RaceDay day;
    set_races(day, {{1600, 12}, {1800, 12}});
    for (int n = 0; n < 2; ++n) {
        for (int r = 0; r < 12; ++r)
            day.figures[n].runner[static_cast<std::size_t>(r)].composite = 290 - r;
        day.prediction[n].chu = 1;
        day.bets[n].computer_quinella = bet_list({" 1- 2", " 1- 3", " 1- 4", " 1- 5", " 1- 6"});
    }
    FundAllocation money;
    money.recompute(day);
    RecordingCanvas canvas;
    draw_allocation(day, money, sj("2026年12月05日中山"), canvas);
    std::string all = canvas.matching("");
    EXPECT_NE(all.find("text 200,100 TOLVEN２ for JRA-VAN 資金配分表\n"), std::string::npos);
    EXPECT_NE(all.find("text 200,180 2026年12月05日中山\n"), std::string::npos);
    EXPECT_NE(all.find("text 1500,200 10点\n"), std::string::npos);
    EXPECT_NE(all.find("text 1650,200 19600円\n"), std::string::npos);
    // Block 2 starts 200 lower.
    EXPECT_NE(all.find("rect 200,480 1820,530\n"), std::string::npos);
    EXPECT_NE(all.find("text 260,490  2R\n"), std::string::npos);
    EXPECT_NE(all.find("text 400,490 勝負度Ⅰ\n"), std::string::npos);
    EXPECT_NE(all.find("text 230,590 1- 2\n"), std::string::npos);
    EXPECT_NE(all.find("text 230,630 2600 円\n"), std::string::npos);
    EXPECT_NE(all.find("text 1460,490 合計額：9800 円\n"), std::string::npos);
}

}  // namespace
}  // namespace tolven

namespace tolven {
namespace {

using namespace tolven::testing;

// Where the texts of a page land: the printouts use a fixed-pitch gothic, so
// a text of n CP932 bytes at size s (points) is n half-width characters of
// s / 2 points each, and one em (s points) high. Units are tenths of a
// millimetre, as the layouts draw.
class TextBoxes : public PageCanvas {
  public:
    struct Box {
        double left, top, right, bottom;
        std::string text;
    };
    std::vector<Box> boxes;

    void set_font(std::string_view, int size, bool, bool) override { size_ = size; }
    void set_font_colour(unsigned) override {}
    void set_brush(BrushStyle, unsigned) override {}
    void text_out(int x, int y, std::string_view text) override {
        std::string_view shown = text;
        while (!shown.empty() && shown.back() == ' ') shown.remove_suffix(1);
        if (shown.empty()) return;
        const double em = size_ * 254.0 / 72.0;
        boxes.push_back({static_cast<double>(x), static_cast<double>(y),
                         x + static_cast<double>(shown.size()) * em / 2, y + em,
                         cp932::to_utf8(text)});
    }
    // The lines: vertical ones (column rules) and horizontal ones drawn with
    // a pen of half a pixel or more (frames and row rules; a thinner one
    // under a text is its underline).
    struct Rule {
        bool vertical;
        double at, from, to, half;
    };
    std::vector<Rule> rules;
    void set_pen(int width, PenStyle) override { pen_ = width; }
    void move_to(int x, int y) override { at_ = {x, y}; }
    void line_to(int x, int y) override {
        rule(at_.first, at_.second, x, y);
        at_ = {x, y};
    }
    void rectangle(int x1, int y1, int x2, int y2) override {
        rule(x1, y1, x1, y2);
        rule(x2, y1, x2, y2);
        rule(x1, y1, x2, y1);
        rule(x1, y2, x2, y2);
    }

  private:
    void rule(int x1, int y1, int x2, int y2) {
        // A pen width counts tenths of a 96-dpi pixel.
        double half = pen_ * 254.0 / 960.0 / 2;
        if (x1 == x2) {
            rules.push_back(
                {true, double(x1), double(std::min(y1, y2)), double(std::max(y1, y2)), half});
        } else if (y1 == y2 && pen_ >= 5) {
            rules.push_back(
                {false, double(y1), double(std::min(x1, x2)), double(std::max(x1, x2)), half});
        }
    }
    int size_ = 10;
    int pen_ = 1;
    std::pair<int, int> at_;
};

// Texts whose boxes share more than a tenth of a millimetre each way, texts
// a rule runs through, and texts that leave the printable area of an A4 page
// (4 mm margins).
std::vector<std::string> crowdedTexts(const TextBoxes& page) {
    std::vector<std::string> found;
    const double touch = 1.0;
    for (std::size_t i = 0; i < page.boxes.size(); ++i) {
        const auto& a = page.boxes[i];
        if (a.left < 0 || a.top < 0 || a.right > 2020 || a.bottom > 2890)
            found.push_back("off the page: \"" + a.text + "\"");
        for (std::size_t j = i + 1; j < page.boxes.size(); ++j) {
            const auto& b = page.boxes[j];
            bool apart = a.right - touch <= b.left || b.right - touch <= a.left ||
                         a.bottom - touch <= b.top || b.bottom - touch <= a.top;
            if (!apart) found.push_back("\"" + a.text + "\" and \"" + b.text + "\"");
        }
        for (const auto& rule : page.rules) {
            bool crosses;
            if (rule.vertical) {
                crosses = rule.at > a.left + touch && rule.at < a.right - touch &&
                          rule.from < a.bottom - touch && rule.to > a.top + touch;
            } else {
                // The ink of the gothic's characters fills about 0.06 to 0.96
                // of the em below the text's top.
                double em = a.bottom - a.top;
                crosses = rule.from < a.right - touch && rule.to > a.left + touch &&
                          rule.at + rule.half > a.top + 0.06 * em + touch &&
                          rule.at - rule.half < a.top + 0.96 * em - touch;
            }
            if (crosses) {
                found.push_back("\"" + a.text + "\" crossed by the rule at " +
                                (rule.vertical ? "x " : "y ") + std::to_string(int(rule.at)));
            }
        }
    }
    return found;
}

std::string join(const std::vector<std::string>& lines) {
    std::string all;
    for (const auto& l : lines) all += l + "\n";
    return all;
}

// A day with every text at its widest: 12 races of 18 runners, 60-byte race
// names, 18-byte horse names, 8-byte jockeys, the longest condition, track
// and grade texts, three-digit scores, ranks up to 18, nine bets everywhere
// and the largest investments.
RaceDay widestDay() {
    RaceDay day;
    set_races(day, std::vector<std::pair<int, int>>(12, {3600, 18}));
    std::string name;
    for (int k = 0; k < 30; ++k) name += sj("競");
    for (int n = 0; n < 12; ++n) {
        auto i = static_cast<std::size_t>(n);
        day.race[i] = RecordBuilder(RecordKind::Race)
                          .race(20261205, "06", 5, 3, n + 1)
                          .text(ra::race_name, name)
                          .number(ra::race_type, 13)
                          .number(ra::condition_age3, 10)
                          .number(ra::condition_age4, 10)
                          .number(ra::condition_age5up, 10)
                          .number(ra::condition_youngest, 10)
                          .text(ra::grade, "E")
                          .number(ra::weight_type, 2)
                          .number(ra::distance, 3600)
                          .number(ra::track, 22)
                          .number(ra::start_time, 1545)
                          .number(ra::entries, 18)
                          .str();
        for (int r = 0; r < 18; ++r) {
            day.runner[i][static_cast<std::size_t>(r)] =
                RecordBuilder(RecordKind::Runner)
                    .race(20261205, "06", 5, 3, n + 1)
                    .number(se::bracket, bracket_number(18, r + 1))
                    .number(se::horse_number, r + 1)
                    .number(se::pedigree, 2016100000LL + r)
                    .text(se::horse_name, sj("アアアアアアアアア"))
                    .number(se::sex, 3)
                    .number(se::age, 10)
                    .number(se::carried_weight, 575)
                    .number(se::blinker, 1)
                    .text(se::jockey, sj("騎手騎手"))
                    .number(se::apprentice, 1)
                    .str();
            day.figures[i].runner[static_cast<std::size_t>(r)].composite = 310.5 - r;
            for (RankArray* ranks : {&day.figures[i].composite_rank, &day.figures[i].time_rank,
                                     &day.figures[i].f3_rank, &day.figures[i].trend_rank}) {
                (*ranks)[static_cast<std::size_t>(r + 1)] = r + 1;
            }
        }
        day.prediction[i].pattern = Pattern::A;
        day.prediction[i].cross = 1;
        day.prediction[i].chu = 1;
        day.prediction[i].triangle = 2;
        day.prediction[i].down = 3;
        BetList bets;
        for (std::size_t k = 0; k < bets.size(); ++k)
            bets[k] = k == 0 ? pair_bet(12, 13) : pair_bet(10, 10 + static_cast<int>(k));
        day.bets[i] = RaceBets{bets, bets, bets, bets};
    }
    day.from_2005 = false;
    return day;
}

TEST(PrintedPages, NoTextCoversAnotherOnTheWidestDay) {
    RaceDay day = widestDay();
    TextBoxes bets;
    draw_bet_list(day, bets);
    EXPECT_EQ(join(crowdedTexts(bets)), "");
    for (int k : {1, 10, 12}) {
        TextBoxes sheet;
        draw_analysis_sheet(day, k, sheet);
        EXPECT_EQ(join(crowdedTexts(sheet)), "") << "race " << k;
    }
    FundAllocation money;
    money.recompute(day);
    for (auto& field : money.fields()) {
        if (field.armed) field.text = "9999999";
    }
    money.split(day);
    EXPECT_EQ(money.graded(1), true);
    TextBoxes allocation;
    draw_allocation(day, money, sj("2026年12月05日中山"), allocation);
    EXPECT_EQ(join(crowdedTexts(allocation)), "");
}

TEST(DeviceUnits, ConversionsRoundHalfToEven) {
    // A 600-dpi printer and a 96-pixel screen.
    struct Case {
        int width, dots;
    } pens[] = {{1, 1}, {5, 3}, {10, 6}, {12, 8}, {20, 12}, {0, 1}};
    for (const auto& c : pens) EXPECT_EQ(pen_width_dots(c.width, 600, 96), c.dots) << c.width;
    EXPECT_EQ(units_to_dots(254, 0, 600), 600);
    EXPECT_EQ(units_to_dots(1000, 0, 600), 2362);      // 2362.2
    EXPECT_EQ(units_to_dots(127, 0, 1), 0);            // 0.5 -> 0 (even)
    EXPECT_EQ(units_to_dots(381, 0, 1), 2);            // 1.5 -> 2 (even)
    EXPECT_EQ(units_to_dots(100, 27, 600), 300);       // margins add before the conversion
    EXPECT_EQ(units_to_dots(10, 0, 600, false), 236);  // 10 mm
}

TEST(PageRecording, ReplaysEveryCallInOrder) {
    PageRecording page;
    RecordingCanvas direct;
    for (PageCanvas* c : {static_cast<PageCanvas*>(&page), static_cast<PageCanvas*>(&direct)}) {
        c->set_font("ＭＳ ゴシック", 12, true, true);
        c->set_font_colour(0xFFFFFF);
        c->set_pen(5, PenStyle::Dot);
        c->set_brush(BrushStyle::DiagCross, 0x123456);
        c->text_out(1, 2, sj("中山"));
        c->line(3, 4, 5, 6);
        c->rectangle(7, 8, 9, 10);
    }
    RecordingCanvas replayed;
    page.replay(replayed);
    EXPECT_EQ(replayed.calls, direct.calls);
}

}  // namespace
}  // namespace tolven
