#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "model/race_day.hpp"

namespace tolven {

struct HitExport {
    int days = 0;                           // days of the date processed
    int hits = 0;                           // hits listed
    std::vector<std::string> html;          // the HTML list (CP932), header first
    bool written = false;                   // files written (at least one hit)
    std::filesystem::path tk_file;          // HPupload/TK<YYYYMMDD><cc>.txt
    std::filesystem::path cumulative_file;  // HPupload/Vevezaza.txt
};

// The hit check of "的中" (longshot false) and "穴的中" (true): every day of
// the list whose date equals the selected entry's date is loaded into `day`
// in list order, its computer bets checked against its payouts, and the hits
// exported as the TK HTML fragment and the cumulative list. The last day
// processed stays loaded. on_load is told each day loaded (the window selects
// it in the list).
HitExport export_hits(RaceDay& day, const std::filesystem::path& base,
                      const std::vector<std::string>& day_list, const std::string& selected_entry,
                      bool longshot,
                      const std::function<void(const std::string& entry)>& on_load = {});

// The HTML list as one text with CR LF between lines (for the clipboard).
std::string joined_lines(const std::vector<std::string>& lines);

}  // namespace tolven
