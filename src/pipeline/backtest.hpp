#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "money/balance.hpp"

namespace tolven {

// What a backtest tells the window or the terminal while it loads days, and
// how it is stopped.
struct BalanceProgress {
    std::function<void(int done, int total, const std::string& day)> step;
    std::function<bool()> cancelled;
};

// The backtest over the store of base: every race day of the period is loaded
// and calculated as a click on it does, its races with a final quinella result
// buy the chosen bets at 100 yen a ticket, and the tickets are paid by the hit
// rule. Reads only: nothing of the store is written (a day without a user file
// gets none). A day that cannot be loaded completely is skipped with its
// reason.
BalanceReport run_balance(const std::filesystem::path& base, const BalanceOptions& options,
                          const BalanceProgress& progress = {});

// The date of a day name ("2026年12月05日中山" gives 20261205), 0 when the
// name does not begin with a date.
int day_name_date(std::string_view day_cp932);

// The default period of the balance window: the twelve months up to the
// newest race day of the store; nullopt when the store holds no day.
std::optional<std::pair<int, int>> default_balance_period(const std::filesystem::path& base);


}  // namespace tolven
