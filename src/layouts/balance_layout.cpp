#include "layouts/balance_layout.hpp"

#include <algorithm>

#include "store/cp932.hpp"

namespace tolven {
namespace {

constexpr const char* kGothic = "ＭＳ ゴシック";

// The printable area of an A4 page in tenths of a millimetre, and where the
// table and the curve go.
constexpr int kLeft = 150;
constexpr int kRight = 1900;
constexpr int kTableTop = 200;
constexpr int kCurveTop = 1950;
constexpr int kCurveBottom = 2700;

void draw_curve(const BalanceReport& report, PageCanvas& c) {
    c.set_font(kGothic, 10, true, false);
    c.text_out(kLeft, kCurveTop - 60, sj("累積収支の推移（日別）"));
    int left = kLeft + 250, right = kRight - 50;
    c.set_pen(5, PenStyle::Solid);
    c.set_brush(BrushStyle::Clear, 0xFFFFFF);
    c.rectangle(left, kCurveTop, right, kCurveBottom);
    if (report.days.empty()) return;

    long long low = 0, high = 0;
    for (const auto& d : report.days) {
        low = std::min(low, d.cumulative);
        high = std::max(high, d.cumulative);
    }
    if (high == low) high = low + 100;
    auto y_of = [&](long long v) {
        return kCurveBottom - static_cast<int>((v - low) * (kCurveBottom - kCurveTop) / (high - low));
    };
    auto x_of = [&](std::size_t i) {
        if (report.days.size() == 1) return (left + right) / 2;
        return left + static_cast<int>(i * static_cast<std::size_t>(right - left) /
                                       (report.days.size() - 1));
    };
    c.set_font(kGothic, 8, false, false);
    c.text_out(kLeft, kCurveTop - 10, std::to_string(high) + sj("円"));
    c.text_out(kLeft, kCurveBottom - 30, std::to_string(low) + sj("円"));
    // The zero line, dotted.
    c.set_pen(1, PenStyle::Dot);
    c.line(left, y_of(0), right, y_of(0));
    c.text_out(kLeft, y_of(0) - 20, sj("0円"));
    c.set_pen(10, PenStyle::Solid);
    c.move_to(x_of(0), y_of(report.days[0].cumulative));
    for (std::size_t i = 1; i < report.days.size(); ++i) {
        c.line_to(x_of(i), y_of(report.days[i].cumulative));
    }
    c.text_out(left, kCurveBottom + 15, balance_date_text(report.days.front().date));
    c.text_out(right - 220, kCurveBottom + 15, balance_date_text(report.days.back().date));
}

}  // namespace

std::string balance_caption() {
    return sj("TOLVEN 収支分析印刷");
}

void draw_balance(const BalanceReport& report, PageCanvas& c) {
    std::vector<std::string> lines = balance_table_lines(report);
    c.set_font_colour(0x000000);
    c.set_font(kGothic, 14, true, true);
    c.text_out(kLeft, 80, sj("TOLVEN for JRA-VAN Data Lab. 収支分析"));
    // The table in a fixed-pitch font, so that its columns line up; the line
    // spacing shrinks when many months or courses would push it into the
    // curve.
    int available = kCurveTop - 120 - kTableTop;
    int spacing = std::min(42, available / std::max<int>(1, static_cast<int>(lines.size())));
    int size = spacing >= 42 ? 10 : spacing >= 36 ? 9 : 8;
    c.set_font(kGothic, size, false, false);
    int y = kTableTop;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i == 3) {  // a rule under the heading
            c.set_pen(5, PenStyle::Solid);
            c.line(kLeft, y + spacing - 4, kRight, y + spacing - 4);
        }
        c.text_out(kLeft, y, lines[i]);
        y += spacing;
    }
    c.set_font(kGothic, 8, false, false);
    c.text_out(kLeft, kCurveBottom + 80,
               sj("※過去の成績は将来の結果を約束するものではありません。"));
    draw_curve(report, c);
}

}  // namespace tolven
