#include <gtest/gtest.h>

#include <functional>

#include "prediction/computer_prediction.hpp"
#include "layouts/page_recording.hpp"
#include "layouts/print_layouts.hpp"
#include "support/race_day_builder.hpp"

namespace tolven {
namespace {

using namespace tolven::testing;

std::string drawn(const std::function<void(PageCanvas&)>& draw) {
    RecordingCanvas canvas;
    draw(canvas);
    return canvas.matching("");
}

TEST(AnalysisSheetParts, TheSheetIsItsFourPartsInOrder) {
    RaceDay day;
    set_races(day, {{1600, 12}, {1800, 14}});
    for (int r = 0; r < 12; ++r)
        day.figures[1].runner[static_cast<std::size_t>(r)].composite = 300 - 2 * r;
    compute_computer_prediction(day);
    day.bets[1].computer_quinella = bet_list({" 1- 2", "11-12"});
    const int k = 2, n = 1;

    std::string heading = drawn([&](PageCanvas& c) { draw_sheet_heading(day, k, c); });
    std::string table = drawn([&](PageCanvas& c) { draw_sheet_runner_table(day, n, c); });
    std::string bets = drawn([&](PageCanvas& c) { draw_sheet_bets(day, n, c); });
    std::string graph = drawn([&](PageCanvas& c) { draw_sheet_ability_graph(day, n, c); });
    EXPECT_EQ(drawn([&](PageCanvas& c) { draw_analysis_sheet(day, k, c); }),
              heading + table + bets + graph);

    // Each part draws its own texts and no other part's.
    const std::pair<const std::string*, const char*> own[] = {
        {&heading, "ﾚｰｽ別分析結果"},
        {&table, "見習区分"},
        {&bets, "【パターン】"},
        {&graph, "馬番順能力序列グラフ"}};
    for (const auto& [part, text] : own) {
        for (const auto& [other, _] : own) {
            EXPECT_EQ(other->find(text) != std::string::npos, other == part) << text;
        }
    }
    EXPECT_NE(bets.find("text 200,1600 【馬連】   1- 2  11-12"), std::string::npos) << bets;
    // A race number outside 1..12 draws nothing.
    EXPECT_EQ(drawn([&](PageCanvas& c) { draw_analysis_sheet(day, 13, c); }), "");
}

}  // namespace
}  // namespace tolven
