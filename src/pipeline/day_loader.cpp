#include "pipeline/day_loader.hpp"

#include <algorithm>
#include <system_error>

#include "model/race_header.hpp"
#include "model/user_file.hpp"
#include "pipeline/calculation.hpp"
#include "store/code_tables.hpp"
#include "store/cp932.hpp"
#include "store/data_store.hpp"
#include "store/lenient.hpp"

namespace fs = std::filesystem;

namespace tolven {

const std::optional<std::vector<std::string>>& StoreFileCache::records(const fs::path& file,
                                                                       RecordKind kind) {
    auto it = files_.find(file);
    if (it == files_.end()) it = files_.emplace(file, DataStore::read_records(file, kind)).first;
    return it->second;
}

std::string incomplete_day_message() {
    return sj("データ作成が未完了のようです。");
}

std::optional<std::string> race_keys_problem(const std::vector<std::string>& races,
                                             const fs::path& race_file) {
    int race_slots = std::min<int>(static_cast<int>(races.size()), kMaxRaces);
    for (int n = 0; n < race_slots; ++n) {
        const std::string& ra = races[static_cast<std::size_t>(n)];
        if (trim(store_key(ra)).empty()) continue;  // an empty slot
        if (auto problem = path_key_problem(ra, false)) {
            return sj("レースデータが不正です:") + cp932::from_utf8(race_file.string()) + " " +
                   std::to_string(n + 1) + sj("行目 ") + *problem;
        }
    }
    return std::nullopt;
}

int take_earlier_runs(const std::vector<std::string>& horse_runs, int race_date,
                      RaceDay::PastRecords& into) {
    // The horse file is in date order: walk back from its last run. A run the
    // store would not have filed (its key fields name no meeting file) is
    // passed over.
    int taken = 0;
    for (auto it = horse_runs.rbegin(); it != horse_runs.rend() && taken < kPastRuns; ++it) {
        int date = tolven::race_date(*it);
        if (date <= 0 || date >= race_date || path_key_problem(*it, true)) continue;
        into[++taken] = *it;
    }
    return taken;
}

void read_runners(RaceDay& day, int n, const std::vector<std::string>& runners,
                  const DataStore& store, StoreFileCache& cache) {
    int count = day.runners(n);
    for (int r = 0; r < count; ++r) {
        std::size_t slot = static_cast<std::size_t>(n * kMaxRunners + r);
        if (slot < runners.size()) day.runner[n][r] = runners[slot];
        const std::string& se = day.runner[n][r];
        int race_date = tolven::race_date(se);
        // Only a pedigree number the store files horses by can have a horse
        // file; any other one has none.
        std::string_view pedigree = field_text(se, se::pedigree);
        if (race_date <= 0 || !pedigree_names_a_file(pedigree)) continue;
        const auto& horse_runs = cache.records(store.horse_file(pedigree), RecordKind::Runner);
        if (horse_runs) take_earlier_runs(*horse_runs, race_date, day.past_run[n][r]);
    }
}

void attach_payouts(RaceDay& day, const std::vector<std::string>& payouts) {
    for (std::size_t i = 0; i < payouts.size() && i < kMaxRaces; ++i) {
        const std::string& hr = payouts[i];
        std::string key = race_key(hr);
        if (trim(key).empty()) continue;
        for (int n = 0; n < kMaxRaces; ++n) {
            if (race_key(day.race[n]) == key) {
                day.payout[n] = hr;
                break;
            }
        }
    }
}

void read_past_races(RaceDay& day, int n, const DataStore& store, StoreFileCache& cache) {
    for (int r = 0; r < kMaxRunners; ++r) {
        for (int j = 1; j <= kPastRuns; ++j) {
            const std::string& run = day.past_run[n][r][j];
            if (is_absent(run)) continue;
            const auto& meeting =
                cache.records(store.meeting_file(field_text(run, header::year),
                                                 field_text(run, header::month_day),
                                                 field_text(run, header::course)),
                              RecordKind::Race);
            if (!meeting) continue;
            int number = field_int(run, header::race_number);
            for (const auto& ra : *meeting) {
                if (field_int(ra, header::race_number) == number) {
                    day.past_race[n][r][j] = ra;
                    break;
                }
            }
        }
    }
}

bool build_race_day(RaceDay& day, const fs::path& base, const std::string& entry,
                    const LoadProgress& progress, std::string* why) {
    auto refuse = [&](std::string message) {
        if (why != nullptr) *why = std::move(message);
        return false;
    };
    if (auto problem = day_entry_problem(entry)) return refuse(*problem);
    if (progress.open) progress.open(entry, kLoadSteps);
    int position = 0;
    auto step = [&] {
        if (progress.step) progress.step(++position);
    };
    auto close = [&] {
        if (progress.close) progress.close();
    };

    DataStore store(base);
    fs::path race_file = store.day_file(entry, ".jvRA");
    auto races = DataStore::read_records(race_file, RecordKind::Race);
    // The day key of every race names the day's user file, and the first
    // race names the hit list's file: a race the store would never have
    // filed must not name them.
    if (races) {
        if (auto problem = race_keys_problem(*races, race_file)) {
            close();
            return refuse(*problem);
        }
    }
    day.reset_predictions();
    auto runners = DataStore::read_records(store.day_file(entry, ".jvSEr"), RecordKind::Runner);
    if (!races || !runners) {
        close();
        return refuse(incomplete_day_message());
    }

    day.blank();
    StoreFileCache cache;
    int race_slots = std::min<int>(static_cast<int>(races->size()), kMaxRaces);
    for (int n = 0; n < race_slots; ++n) {
        day.race[n] = (*races)[static_cast<std::size_t>(n)];
        read_runners(day, n, *runners, store, cache);
        step();
        if (!is_absent(day.race[n])) ++day.race_count;
    }
    if (auto payouts =
            DataStore::read_records(store.day_file(entry, ".jvHR"), RecordKind::Payout)) {
        attach_payouts(day, *payouts);
    }
    for (int n = 0; n < kMaxRaces; ++n) {
        read_past_races(day, n, store, cache);
        step();
    }

    run_calculation(day);
    close();
    return true;
}

std::string loaded_day_key(const RaceDay& day) {
    std::string key;
    for (int n = 0; n < kMaxRaces; ++n) {
        const std::string& ra = day.race[n];
        if (is_absent(ra) || field_int(ra, header::month_day) <= 0) continue;
        key = day_key(ra);
    }
    return key;
}

bool attach_user_file(RaceDay& day, const fs::path& base, const std::string& day_key,
                      UserFileMode user_file_mode) {
    day.user_file.clear();
    day.user_lines.clear();
    if (day_key.empty()) return false;
    day.user_file = DataStore(base).day_file(day_key, ".User");
    std::error_code error;
    if (fs::exists(day.user_file, error)) {
        day.user_lines = read_user_file(day.user_file);
        for (int n = 0; n < kMaxRaces; ++n) read_user_bets(day.user_lines, n, day.bets[n]);
        return false;
    }
    day.user_lines = user_file_skeleton();
    if (user_file_mode != UserFileMode::CreateWhenMissing) return false;
    // A base that cannot be written (a read-only folder, a full disk) still
    // shows its days: the skeleton stays in memory, and the first change the
    // user makes reports that it cannot be saved.
    try {
        write_user_file(day.user_file, day.user_lines);
    } catch (const FileError&) {
        return false;
    }
    return true;
}

bool day_is_complete(const RaceDay& day) {
    for (int n = 0; n < kMaxRaces; ++n) {
        for (int r = 0; r < day.runners(n); ++r) {
            if (day.bracket(n, r) < 1) return false;
        }
    }
    return true;
}

LoadOutcome load_race_day(RaceDay& day, const fs::path& base, const std::string& entry,
                          const LoadProgress& progress, UserFileMode user_file_mode) {
    LoadOutcome outcome;
    day.entry = entry;
    day.from_2005 = lenient_int(std::string_view(entry).substr(0, 4)) >= 2005;
    day.user_changed = false;
    if (!build_race_day(day, base, entry, progress, &outcome.message)) return outcome;
    outcome.built = true;

    outcome.day_key = loaded_day_key(day);
    const std::string& first = day.race[0];
    if (!is_absent(first)) {
        outcome.banner = day_banner(first);
    }
    outcome.user_file_created = attach_user_file(day, base, outcome.day_key, user_file_mode);
    outcome.complete = day_is_complete(day);
    return outcome;
}

}  // namespace tolven
