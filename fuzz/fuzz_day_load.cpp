// A race day loaded from store files of any content, and every figure the
// windows, the printouts and the hit export compose from it: no crash, no
// sanitizer report, and nothing written but the day's user file and the hit
// lists, inside the base folder.
//
// The input holds the files one after the other, separated by the marker line
// of fuzz_support.hpp: the day's ".jvRA", ".jvSEr" and ".jvHR", then a horse
// file (written for every pedigree number of the runner file that can name
// one) and a meeting file (written for every run of that horse file that can
// name one).
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "fuzz_support.hpp"
#include "layouts/page_recording.hpp"
#include "layouts/print_layouts.hpp"
#include "layouts/view_tables.hpp"
#include "model/race_header.hpp"
#include "money/fund_allocation.hpp"
#include "pipeline/day_loader.hpp"
#include "pipeline/hit_export.hpp"
#include "prediction/results_record.hpp"
#include "prediction/user_prediction.hpp"
#include "store/cp932.hpp"
#include "store/data_store.hpp"

namespace fs = std::filesystem;
using namespace tolven;

namespace {

constexpr std::size_t kMaxNamedFiles = 4;

void put(std::set<fs::path>& written, const fs::path& file, std::string_view content) {
    fs::create_directories(file.parent_path());
    std::FILE* out = std::fopen(file.c_str(), "wb");
    if (out == nullptr) fuzz::finding("cannot write " + file.string());
    std::fwrite(content.data(), 1, content.size(), out);
    std::fclose(out);
    written.insert(file);
}

// Everything a loaded day is shown, printed and checked with.
void use_the_day(RaceDay& day, const fs::path& base, const std::string& entry) {
    FundAllocation money;
    money.recompute(day);
    for (int n = 0; n < day.race_count; ++n) {
        race_header(day.race[n]);
        computer_prediction_rows(day, n);
        bet_list_lines(day.bets[n].computer_quinella);
        shows_bracket_bets(day, n);
        calc_time_rows(day, n);
        calc_f3_rows(day, n);
        contents_title(day, n);
        contents_rows(day, n);
        ability_order_bars(day, n);
        composite_bars(day, n);
        for (int run = 0; run <= kPastRuns; ++run) comparison_bars(day, n, run);
        for (int r = 0; r < day.runners(n); ++r) {
            runner_trend(day, n, r);
            card_row(day.race[n], day.runner[n][r]);
        }
        user_grid(day, n);
        PageRecording sheet;
        draw_analysis_sheet(day, n + 1, sheet);
    }
    results_record(day, false);
    results_record(day, true);
    PageRecording pages;
    draw_bet_list(day, pages);
    draw_allocation(day, money, day.entry, pages);
    if (day.race_count > 0 && day.runners(0) > 0) toggle_check_item(day, 0, 1, 3);
    export_hits(day, base, {entry}, entry, false);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fuzz::ScratchBase scratch;
    scratch.reset();
    const fs::path& base = scratch.base();
    DataStore store(base);
    const std::string entry = sj("2026年12月07日阪神");

    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> parts = fuzz::split_parts(input, fuzz::kPartMarker, 5);
    parts.resize(5);
    std::set<fs::path> written;
    put(written, store.day_file(entry, ".jvRA"), parts[0]);
    if (!parts[1].empty()) put(written, store.day_file(entry, ".jvSEr"), parts[1]);
    if (!parts[2].empty()) put(written, store.day_file(entry, ".jvHR"), parts[2]);
    std::set<std::string> horses;
    for (const auto& line : split_lines(parts[1])) {
        std::string pedigree(field_text(line, se::pedigree));
        if (horses.size() < kMaxNamedFiles && pedigree_names_a_file(pedigree) &&
            horses.insert(pedigree).second) {
            put(written, store.horse_file(pedigree), parts[3]);
        }
    }
    std::set<fs::path> meetings;
    for (const auto& line : split_lines(parts[3])) {
        if (meetings.size() >= kMaxNamedFiles || path_key_problem(line, false)) continue;
        fs::path file =
            store.meeting_file(field_text(line, header::year), field_text(line, header::month_day),
                               field_text(line, header::course));
        if (meetings.insert(file).second) put(written, file, parts[4]);
    }

    // One model for every input, overwritten by each load as the main
    // window's is (and a fresh one would spend the run allocating).
    static RaceDay day;
    LoadOutcome outcome = load_race_day(day, base, entry);
    if (outcome.built) use_the_day(day, base, entry);

    fuzz::check_written_files(base, written);
    scratch.check_nothing_outside();
    return 0;
}
