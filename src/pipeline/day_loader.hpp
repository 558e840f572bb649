#pragma once

#include <array>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "model/race_day.hpp"
#include "store/data_store.hpp"

namespace tolven {

// The progress window of a load: range, then one step per race read and per
// race matched with its past races (24 for a full day).
inline constexpr int kLoadSteps = 2 * kMaxRaces;
struct LoadProgress {
    std::function<void(const std::string& caption, int maximum)> open;
    std::function<void(int position)> step;
    std::function<void()> close;
};

// Reads a day's files into the model and runs the calculation. entry is the
// list entry (the CP932 day key); base the application folder. Returns false
// with the message to show in `why` (CP932) when the day cannot be built:
// its ".jvRA" or ".jvSEr" is missing ("データ作成が未完了のようです。"; the
// previous day's records then stay, but its predictions were reset), the
// entry is not a day key, or a race record's key fields could not have been
// stored (a tampered file), which would put the day's user file elsewhere
// (the previous day stays untouched). A runner whose pedigree number cannot
// name a horse file, and a past run whose key fields could not have been
// stored, are read as if their file were missing.
bool build_race_day(RaceDay& day, const std::filesystem::path& base, const std::string& entry,
                    const LoadProgress& progress = {}, std::string* why = nullptr);

struct LoadOutcome {
    bool built = false;     // false: the day cannot be built (message says why)
    std::string message;    // CP932, the information dialog when not built
    bool complete = false;  // every runner has a bracket number
    std::string banner;     // the black banner text (CP932)
    std::string day_key;    // CP932; empty when no race has a date
    bool user_file_created = false;
};

// What a load does with a day whose user file does not exist yet: the list
// click creates its skeleton; a read-only pass over the store (the balance)
// leaves the store as it is and loads no user bets.
enum class UserFileMode { CreateWhenMissing, ReadOnly };

// The list click: builds the day, forms the banner, creates or reads the day's
// user file and checks that the day is complete.
LoadOutcome load_race_day(RaceDay& day, const std::filesystem::path& base, const std::string& entry,
                          const LoadProgress& progress = {},
                          UserFileMode user_file_mode = UserFileMode::CreateWhenMissing);

// The message of an incomplete or missing day.
std::string incomplete_day_message();

// The phases of a load, in the order build_race_day and load_race_day run
// them.

// Store files read during one load, each read once: many runners share a
// meeting file, and a horse may run twice on one card only in a broken file.
class StoreFileCache {
  public:
    const std::optional<std::vector<std::string>>& records(const std::filesystem::path& file,
                                                           RecordKind kind);

  private:
    std::map<std::filesystem::path, std::optional<std::vector<std::string>>> files_;
};

// The message for the first of the day's race records (at most 12; empty
// slots passed over) whose key fields the store could not have filed, or
// nullopt when every one could.
std::optional<std::string> race_keys_problem(const std::vector<std::string>& races,
                                             const std::filesystem::path& race_file);

// Fills `into` from past run 1 with a horse's latest runs before race_date,
// latest first, at most five, from its horse file (in date order); returns how many.
// A run without a date, on or after race_date, or with key fields the store
// would not have filed (they name no meeting file) is passed over. The slots
// after the last one filled stay as they are.
int take_earlier_runs(const std::vector<std::string>& horse_runs, int race_date,
                      RaceDay::PastRecords& into);

// Race n's runners from the day's runner file (the 18 slots from n * 18),
// each with its earlier runs from its horse file.
void read_runners(RaceDay& day, int n, const std::vector<std::string>& runners,
                  const DataStore& store, StoreFileCache& cache);

// Puts each of the first 12 payout records with the race of the same race
// key; a payout without a key or without its race is left out.
void attach_payouts(RaceDay& day, const std::vector<std::string>& payouts);

// The race of each earlier run of race n's runners, from its meeting file.
void read_past_races(RaceDay& day, int n, const DataStore& store, StoreFileCache& cache);

// The day key of a built day: that of the last race with a date; "" when no
// race has one.
std::string loaded_day_key(const RaceDay& day);

// Reads the day's user file with its user bets, or, when it does not exist,
// gives the day the skeleton and (CreateWhenMissing) writes it; when it
// cannot be written, the skeleton stays in memory only. Without a day key the
// day has no user file. True when the file was created.
bool attach_user_file(RaceDay& day, const std::filesystem::path& base, const std::string& day_key,
                      UserFileMode user_file_mode);

// True when every runner of the day has a bracket number.
bool day_is_complete(const RaceDay& day);

}  // namespace tolven
