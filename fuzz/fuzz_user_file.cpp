// A day's user file of any content: the load reads its ticks and bets, a
// click computes and saves, and the saved file is again a user file that
// reads back as what was saved.
//
// The day itself is fixed: two races of three runners, written once.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "fuzz_support.hpp"
#include "model/user_file.hpp"
#include "pipeline/day_loader.hpp"
#include "prediction/user_prediction.hpp"
#include "store/atomic_file.hpp"
#include "store/code_tables.hpp"
#include "store/cp932.hpp"
#include "store/data_store.hpp"
#include "store/record_builder.hpp"

namespace fs = std::filesystem;
using namespace tolven;

namespace {

void write_day(const fs::path& base) {
    DataStore store(base);
    for (int n = 1; n <= 2; ++n) {
        store.store(StoreFile::DayRaces, RecordBuilder(RecordKind::Race)
                                             .race(20261207, "09", 5, 2, n)
                                             .number(ra::entries, 3)
                                             .number(ra::distance, 1600)
                                             .number(ra::track, 17)
                                             .str());
        for (int h = 1; h <= 3; ++h) {
            store.store(StoreFile::DayRunners, RecordBuilder(RecordKind::Runner)
                                                   .race(20261207, "09", 5, 2, n)
                                                   .number(se::bracket, bracket_number(3, h))
                                                   .number(se::horse_number, h)
                                                   .number(se::pedigree, 2022100000LL + h)
                                                   .str());
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fuzz::ScratchBase scratch;
    static const bool day_written = (write_day(scratch.base()), true);
    (void)day_written;
    const fs::path& base = scratch.base();
    const std::string entry = sj("2026年12月07日阪神");
    fs::path user_file = DataStore(base).day_file(entry, ".User");
    std::string_view input(reinterpret_cast<const char*>(data), size);
    replace_file(user_file, input);

    static RaceDay day;  // overwritten by each load, as the main window's is
    LoadOutcome outcome = load_race_day(day, base, entry);
    if (!outcome.built) fuzz::finding("the fixed day did not load");
    for (int n = 0; n < day.race_count; ++n) user_grid(day, n);
    // The first byte picks the click: race, runner row and column.
    int pick = size > 0 ? data[0] : 0;
    toggle_check_item(day, pick % 2, 1 + pick / 2 % 3, 3 + pick / 6 % 12);

    std::string saved = read_file(user_file);
    fuzz::check_crlf_text(user_file, saved);
    if (split_lines(saved) != day.user_lines)
        fuzz::finding("the saved user file reads back otherwise");
    if (day.user_lines.size() != static_cast<std::size_t>(kUserFileLines)) {
        fuzz::finding("a user file without 300 lines");
    }
    scratch.check_nothing_outside();
    return 0;
}
