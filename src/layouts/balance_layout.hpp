#pragma once

#include <string>

#include "layouts/page_canvas.hpp"
#include "money/balance.hpp"

namespace tolven {

// The balance printout on one page: the table of every group, then the
// cumulative balance over the days as a curve with its zero line.
void draw_balance(const BalanceReport& report, PageCanvas& canvas);
std::string balance_caption();

}  // namespace tolven
