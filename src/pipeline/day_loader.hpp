#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "model/race_day.hpp"

namespace tolven {

// The progress window of a load: range, then one step per race read and per
// race matched with its past races (24 for a full day).
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

}  // namespace tolven
