#include "pipeline/hit_export.hpp"

#include <set>
#include <system_error>

#include "pipeline/day_loader.hpp"
#include "prediction/hit_lines.hpp"
#include "store/atomic_file.hpp"
#include "store/cp932.hpp"
#include "store/data_store.hpp"

namespace fs = std::filesystem;

namespace tolven {

std::string joined_lines(const std::vector<std::string>& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) text += "\r\n";
        text += lines[i];
    }
    return text;
}

HitExport export_hits(RaceDay& day, const fs::path& base, const std::vector<std::string>& day_list,
                      const std::string& selected_entry, bool longshot,
                      const std::function<void(const std::string&)>& on_load) {
    HitExport result;
    std::string date = selected_entry.substr(0, 14);
    result.html.push_back("<br /><img src=\"./image/balist.gif\"><font color=\"black\">" +
                          sj("【TOLVEN for JRA-VAN Data Lab.】") + "</font>");
    fs::path folder = base / "HPupload";
    result.cumulative_file = folder / "Vevezaza.txt";
    std::set<std::string> cumulative;
    // Read as the file it will be written back to: a link there is refused
    // now, before anything of the export is written.
    if (auto content = read_own_file_if_exists(result.cumulative_file)) {
        for (auto& line : split_lines(*content)) cumulative.insert(std::move(line));
    } else {
        cumulative.insert(" TOLVEN for JRA-VAN Data Lab.");
    }

    std::string tk_key;
    for (const auto& entry : day_list) {
        if (entry.substr(0, 14) != date) continue;
        LoadOutcome outcome = load_race_day(day, base, entry);
        if (on_load) on_load(entry);
        // A day whose files are missing has no payouts to check.
        if (!outcome.built) continue;
        ++result.days;
        tk_key = hit_file_key(day);
        DayHits hits = day_hits(day, longshot);
        result.hits += static_cast<int>(hits.html.size());
        result.html.insert(result.html.end(), hits.html.begin(), hits.html.end());
        cumulative.insert(hits.cumulative.begin(), hits.cumulative.end());
    }

    // Written as soon as there is one hit (the header line plus one).
    if (result.html.size() > 1) {
        fs::create_directories(folder);
        result.tk_file = file_in(folder, "TK" + tk_key + ".txt");
        replace_file(result.tk_file, join_lines(result.html));
        replace_file(result.cumulative_file,
                     join_lines(std::vector<std::string>(cumulative.begin(), cumulative.end())));
        result.written = true;
    }
    return result;
}

}  // namespace tolven
