#include "layouts/print_layouts.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "layouts/view_tables.hpp"
#include "model/race_header.hpp"
#include "prediction/computer_prediction.hpp"
#include "store/code_tables.hpp"
#include "store/cp932.hpp"
#include "store/lenient.hpp"

namespace tolven {
namespace {

constexpr const char* kGothic = "ＭＳ ゴシック";

std::string number(std::string_view record, Field f) {
    return right_aligned_number(field_text(record, f));
}

// The width of a text in the fixed-pitch gothic of the printouts: half an em
// per CP932 byte, in tenths of a millimetre at `size` points.
int gothic_width(std::string_view text, int size) {
    return static_cast<int>(std::ceil(static_cast<double>(text.size()) * size * 254.0 / 144.0));
}

std::string format2d(int v) {
    char text[32];
    std::snprintf(text, sizeof text, "%2d", v);
    return text;
}

}  // namespace

std::string print_date_line(const RaceDay& day) {
    return day_banner(day.race[0]);
}

std::string print_bet_line(std::string_view label, const BetList& bets) {
    std::string line(label);
    for (const Bet& b : bets) line += "  " + bet_text(b);
    return line;
}

std::string short_track_text(int t) {
    if (t == 10) return sj("芝　　直線  ");
    if (t >= 11 && t <= 16) return sj("芝　　左回り");
    if (t >= 17 && t <= 22) return sj("芝　　右回り");
    if (t == 23) return sj("ﾀﾞｰﾄ　左回り");
    if (t == 24) return sj("ﾀﾞｰﾄ　右回り");
    if (t == 29) return sj("ﾀﾞｰﾄ　直線");
    if (t >= 51 && t <= 59) return sj("障害");
    return {};
}

std::string bet_list_caption() {
    return sj("TOLVEN２買い目リスト印刷");
}
std::string analysis_sheet_caption() {
    return sj("TOLVEN for JRA-VAN Data Lab. ﾚｰｽ別分析結果");
}
std::string allocation_caption() {
    return sj("TOLVEN２資金配分表印刷");
}

void draw_bet_list(const RaceDay& day, PageCanvas& c) {
    const int T0 = 70;
    c.set_font(kGothic, 13, true, true);
    c.text_out(150, T0 + 1, sj("TOLVEN for JRA-VAN Data Lab. 買い目リスト"));
    c.set_font(kGothic, 12, true, true);
    c.text_out(1200, T0 + 5, print_date_line(day));
    c.set_pen(20, PenStyle::Solid);
    c.line(150, T0 + 75, 1850, T0 + 75);
    for (int i = 1; i <= std::min(day.race_count, kMaxRaces); ++i) {
        int n = i - 1;
        const std::string& ra = day.race[n];
        const RaceBets& b = day.bets[n];
        int D = 220 * i, E = D - 220;
        c.set_font(kGothic, 10, false, false);
        c.text_out(150, E + T0 + 78,
                   "<< " + number(ra, header::race_number) + "R >>  " + number(ra, ra::entries) +
                       sj("頭  ") + std::string(pattern_letter(day.prediction[n].pattern)) + "  " +
                       std::string(field_text(ra, ra::race_name)));
        c.set_font(kGothic, 9, false, false);
        RaceHeader h = race_header(ra);
        c.text_out(150, E + T0 + 115,
                   race_type_text(field_text(ra, ra::race_type)) + short_track_text(day.track(n)) +
                       number(ra, ra::distance) + sj("ﾒｰﾄﾙ ") +
                       weight_type_text(field_text(ra, ra::weight_type)) + " " + h.condition);
        bool brackets = day.bracket_quinella_sold(n);
        c.text_out(170, E + T0 + 155,
                   print_bet_line(sj("ｺﾝﾋﾟｭｰﾀ予想 【馬連】"), b.computer_quinella));
        if (brackets) {
            c.text_out(170, E + T0 + 190,
                       print_bet_line(sj("　　　　　　【枠連】"), b.computer_bracket));
        }
        c.text_out(170, D + T0 + 5, print_bet_line(sj("ﾕｰｻﾞｰ予想   【馬連】"), b.user_quinella));
        if (brackets) {
            c.text_out(170, E + T0 + 260,
                       print_bet_line(sj("            【枠連】"), b.user_bracket));
        }
        c.set_pen(5, PenStyle::Solid);
        c.line(150, D + T0 + 73, 1850, D + T0 + 73);
        c.set_pen(1, PenStyle::Dot);
        c.line(170, D + T0 - 71, 1850, D + T0 - 71);
        c.line(170, D + T0 + 3, 1850, D + T0 + 3);
    }
}

void draw_sheet_heading(const RaceDay& day, int k, PageCanvas& c) {
    int n = k - 1;
    const std::string& ra = day.race[n];
    RaceHeader h = race_header(ra);
    c.set_font(kGothic, 12, true, false);
    c.text_out(200, 150, sj("TOLVEN for JRA-VAN Data Lab. ﾚｰｽ別分析結果"));
    c.set_font(kGothic, 11, true, false);
    c.text_out(1200, 160, print_date_line(day));
    c.text_out(500, 230, std::string(field_text(ra, ra::race_name)));
    c.set_font(kGothic, 10, true, false);
    c.text_out(500, 290,
               race_type_text(field_text(ra, ra::race_type)) + " " +
                   track_text(field_text(ra, ra::track)) + number(ra, ra::distance) + sj("ﾒｰﾄﾙ") +
                   weight_type_text(field_text(ra, ra::weight_type)));
    c.text_out(500, 330, h.condition);
    std::string_view start = field_text(ra, ra::start_time);
    c.text_out(500, 370,
               grade_text(field_text(ra, ra::grade)) + " " + number(ra, ra::entries) + sj("頭 ") +
                   std::string(start.substr(0, 2)) + sj("時") +
                   std::string(start.substr(std::min<std::size_t>(2, start.size()), 2)) +
                   sj("分発走"));
    c.text_out(310, 390, sj("ﾚｰｽ"));
    c.set_font(kGothic, 24, true, false);
    c.text_out(200, 220, racecourse_name(field_text(ra, header::course)));
    c.set_pen(10, PenStyle::Solid);
    c.set_brush(BrushStyle::Solid, 0x000000);
    c.rectangle(200, 320, 300, 420);
    c.set_font_colour(0xFFFFFF);
    c.text_out(k >= 10 ? 205 : 230, 330, std::to_string(k));
    c.set_font_colour(0x000000);
    c.line(200, 210, 1800, 210);
}

void draw_sheet_runner_table(const RaceDay& day, int n, PageCanvas& c) {
    int r = day.runners(n);
    int B = 50 * r + 530;
    c.set_brush(BrushStyle::Solid, 0xC0C0C0);
    c.rectangle(200, 440, 1800, 530);
    c.set_brush(BrushStyle::Clear, 0xFFFFFF);
    c.set_pen(20, PenStyle::Solid);
    c.rectangle(200, 440, 1800, B);
    c.line(200, 530, 1800, 530);
    c.set_pen(5, PenStyle::Solid);
    for (int x : {250, 305, 365, 800, 940, 1140, 1340, 1440, 1540, 1645}) c.line(x, 440, x, B);
    for (int x : {990, 1040, 1090}) c.line(x, 480, x, B);
    c.line(940, 480, 1140, 480);

    c.set_font(kGothic, 10, false, false);
    const RaceFigures& f = day.figures[n];
    int previous_bracket = -1;
    for (int i = 1; i <= r; ++i) {
        const std::string& se = day.runner[n][i - 1];
        int y = 50 * i + 490, rule = 50 * i + 480;
        int bracket = field_int(se, se::bracket);
        if (i == 1 || bracket != previous_bracket) {
            c.text_out(220, y, std::string(field_text(se, se::bracket)));
            c.set_pen(12, PenStyle::Solid);
            c.line(200, rule, 1800, rule);
        } else {
            c.set_pen(1, PenStyle::Solid);
            c.line(250, rule, 1800, rule);
        }
        previous_bracket = bracket;
        c.text_out(260, y, number(se, se::horse_number));
        c.text_out(370, y, std::string(cp932::cut(field_text(se, se::horse_name), 18)));
        double score = f.runner[i - 1].composite;
        if (score > 0) {
            char text[64];
            std::snprintf(text, sizeof text, "%7.3f", score);
            c.text_out(810, y, text);
        }
        const std::pair<int, const RankArray*> ranks[] = {{948, &f.composite_rank},
                                                          {998, &f.time_rank},
                                                          {1048, &f.f3_rank},
                                                          {1098, &f.trend_rank}};
        for (const auto& [x, array] : ranks) {
            if ((*array)[i] > 0) c.text_out(x, y, format2d((*array)[i]));
        }
        c.text_out(1150, y, std::string(field_text(se, se::jockey)));
        std::string_view weight = field_text(se, se::carried_weight);
        c.text_out(1350, y,
                   std::string(weight.substr(0, 2)) + "." +
                       std::string(weight.substr(std::min<std::size_t>(2, weight.size()), 1)));
        c.text_out(1460, y, sex_text(field_text(se, se::sex)) + number(se, se::age));
        c.text_out(1555, y, blinker_text(field_text(se, se::blinker)));
        c.text_out(1670, y, apprentice_text(field_text(se, se::apprentice)));
    }
    // One mark per horse, the one the prediction table shows: two marks on
    // one horse (possible in fields of three or fewer) would print one over
    // the other.
    std::array<std::string, kMaxRunners> marks = mark_cells(day, n);
    for (int horse = 1; horse <= r; ++horse) {
        const std::string& mark = marks[static_cast<std::size_t>(horse - 1)];
        if (!mark.empty()) c.text_out(320, 50 * horse + 490, mark);
    }
    const std::pair<int, const char*> headings[] = {
        {210, "枠"},    {265, "馬"},     {320, "印"},       {370, "馬名"},  {810, "指数"},
        {948, "総"},    {1045, "3F"},    {1095, "推"},      {1150, "騎手"}, {1350, "斤量"},
        {1450, "性齢"}, {1550, "ﾌﾞﾘﾝｶ"}, {1655, "見習区分"}};
    for (const auto& [x, text] : headings) c.text_out(x, 490, sj(text));
    c.text_out(950, 445, sj("　順　位"));
    // "ﾀｲﾑ" is three half-width characters in a column of 50: at size 10 it
    // would run over the column's line into "3F".
    c.set_font(kGothic, 9, false, false);
    c.text_out(991, 493, sj("ﾀｲﾑ"));
    c.set_font(kGothic, 10, false, false);
}

void draw_sheet_bets(const RaceDay& day, int n, PageCanvas& c) {
    const ComputerPrediction& p = day.prediction[n];
    const RaceBets& b = day.bets[n];
    bool brackets = day.bracket_quinella_sold(n);
    c.text_out(200, 1500, sj("【パターン】") + std::string(pattern_letter(p.pattern)));
    c.text_out(200, 1550, sj("////  コンピュータ予想買い目  ////"));
    c.text_out(200, 1600, print_bet_line(sj("【馬連】"), b.computer_quinella));
    if (brackets) c.text_out(200, 1650, print_bet_line(sj("【枠連】"), b.computer_bracket));
    c.text_out(200, 1700, sj("////   ユーザー予想買い目    ////"));
    c.text_out(200, 1750, print_bet_line(sj("【馬連】"), b.user_quinella));
    if (brackets) c.text_out(200, 1800, print_bet_line(sj("【枠連】"), b.user_bracket));
}

void draw_sheet_ability_graph(const RaceDay& day, int n, PageCanvas& c) {
    int r = day.runners(n);
    c.text_out(800, 1950, sj("馬番順能力序列グラフ"));
    c.set_pen(5, PenStyle::Solid);
    c.line(400, 2000, 400, 2600);
    c.text_out(295, 2000, sj("能"));
    c.text_out(295, 2035, sj("力"));
    c.text_out(295, 2070, sj("値"));
    for (int j = 0; j <= 4; ++j) {
        int y = 2000 + 150 * j;
        c.set_pen(5, PenStyle::Solid);
        c.line(380, y, 400, y);
        c.set_pen(1, PenStyle::Dot);
        c.line(400, y, 1800, y);
        c.set_font(kGothic, 8, false, false);
        c.text_out(330, y - 10, std::to_string(310 - 10 * j));
    }
    // The axis values, the slot numbers and "馬番(能力順)" keep size 8: at 10
    // the numbers of 17 or 18 runners would run into the caption.
    c.set_pen(5, PenStyle::Solid);
    c.line(400, 2600, 1800, 2600);
    if (r <= 0) return;
    int W = 1400 / r;
    for (int s = 1; s <= r; ++s) c.line(400 + s * W - W / 2, 2600, 400 + s * W - W / 2, 2620);
    c.text_out(1600, 2655, sj("馬番(能力順)"));
    std::vector<AbilityOrderEntry> order = ability_order(day, n);
    for (int e = 0; e < static_cast<int>(order.size()); ++e) {
        const AbilityOrderEntry& entry = order[static_cast<std::size_t>(e)];
        if (entry.near_no_history()) {
            c.set_brush(BrushStyle::Clear, 0xFFFFFF);
        } else {
            BrushStyle style = e == 0   ? BrushStyle::Solid
                               : e == 1 ? BrushStyle::DiagCross
                               : e <= 5 ? BrushStyle::BDiagonal
                                        : BrushStyle::Cross;
            c.set_brush(style, 0x000000);
        }
        double v = entry.value();
        // A runner without a score would reach below the baseline: it gets
        // no bar, only its number.
        int top = std::min(2600, static_cast<int>(2600 - (v - 270) * 15));
        c.rectangle(400 + W * e + W / 6, top, 400 + W * (e + 1) - W / 6, 2600);
        c.set_brush(BrushStyle::Solid, 0xFFFFFF);
        c.text_out(400 + W * e + W / 3, 2625, entry.label());
    }
}

void draw_analysis_sheet(const RaceDay& day, int k, PageCanvas& c) {
    int n = k - 1;
    if (n < 0 || n >= kMaxRaces) return;
    draw_sheet_heading(day, k, c);
    draw_sheet_runner_table(day, n, c);
    draw_sheet_bets(day, n, c);
    draw_sheet_ability_graph(day, n, c);
}

void draw_allocation(const RaceDay& day, const FundAllocation& money, std::string_view day_name,
                     PageCanvas& c) {
    c.set_font(kGothic, 16, true, true);
    c.text_out(200, 100, sj("TOLVEN２ for JRA-VAN 資金配分表"));
    c.set_font(kGothic, 12, true, true);
    c.text_out(200, 180, std::string(trim(day_name)));
    c.set_font(kGothic, 10, false, false);
    c.text_out(1500, 200, std::string(trim(money.total_bets_text())));
    if (!money.total_stake_text().empty()) {
        c.text_out(1650, 200, std::string(trim(money.total_stake_text())) + sj("円"));
    }
    c.set_pen(1, PenStyle::Solid);
    c.set_brush(BrushStyle::Clear, 0xFFFFFF);
    c.line(1450, 230, 1800, 230);
    int races = std::min(money.races(), day.race_count);
    for (int b = 1; b <= races; ++b) {
        int y0 = 200 * (b - 1);
        int upper = 2 * b - 1, lower = 2 * b;
        c.set_brush(BrushStyle::Solid, 0xC0C0C0);
        c.rectangle(200, y0 + 280, 1820, y0 + 330);
        c.set_brush(BrushStyle::Clear, 0xFFFFFF);
        c.set_pen(20, PenStyle::Solid);
        c.rectangle(200, y0 + 280, 1820, y0 + 470);
        c.line(200, y0 + 330, 1820, y0 + 330);
        for (int x : {380, 560, 1060}) c.line(x, y0 + 280, x, y0 + 330);
        c.set_pen(1, PenStyle::Solid);
        c.line(200, y0 + 380, 1820, y0 + 380);
        for (int j = 1; j <= 8; ++j) c.line(200 + 180 * j, y0 + 330, 200 + 180 * j, y0 + 470);
        for (int k = 1; k <= 9; ++k) {
            int x = 180 * (k - 1);
            c.text_out(x + 280, y0 + 340, std::to_string(k));
            c.text_out(x + 230, y0 + 390, std::string(trim(money.cell(upper, k + 2))));
            const std::string& stake = money.cell(lower, k + 2);
            if (!stake.empty()) {
                // A stake of millions would run over the cell's right line:
                // it starts further left instead. Half a millimetre higher
                // than y0 + 435, so that "円" stays clear of the block's frame.
                std::string text = std::string(trim(stake)) + sj(" 円");
                int right = 200 + 180 * k - 3;
                c.text_out(std::min(x + 230, right - gothic_width(text, 10)), y0 + 430, text);
            }
        }
        c.text_out(260, y0 + 290, money.cell(upper, 0));
        if (money.graded(b)) {
            c.text_out(400, y0 + 290,
                       sj("勝負度") + confidence_grade_text(money.race(b).grade));
        }
        if (!money.cell(lower, 2).empty()) {
            c.text_out(670, y0 + 290,
                       sj("投資額：") + std::string(trim(money.cell(lower, 2))) + sj(" 円"));
        }
        c.text_out(1180, y0 + 290, money.cell(upper, 12));
        if (!money.cell(lower, 12).empty()) {
            c.text_out(1460, y0 + 290,
                       sj("合計額：") + std::string(trim(money.cell(lower, 12))) + sj(" 円"));
        }
    }
}

}  // namespace tolven
