#include "store/catalogue.hpp"

#include <algorithm>
#include <cstdio>
#include <system_error>

#include "platform/utf8_path.hpp"
#include "store/cp932.hpp"

namespace fs = std::filesystem;

namespace tolven {
namespace {

std::string date_text(const DateTime& d) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d年%02d月%02d日", d.year, d.month, d.day);
    return sj(buffer);
}

}  // namespace

const std::vector<std::string>& course_filter_captions() {
    static const std::vector<std::string> captions = {
        "全場", "札幌", "函館", "福島", "新潟", "東京", "中山", "中京", "京都", "阪神", "小倉"};
    return captions;
}

const std::vector<std::string>& date_filter_captions() {
    static const std::vector<std::string> captions = {"本日のレース", "前日のレース",
                                                      "日付の指定なし"};
    return captions;
}

std::string catalogue_mask(DateFilter date, int course_index, const DateTime& today) {
    std::string mask;
    switch (date) {
        case DateFilter::Today:
            mask = date_text(today);
            break;
        case DateFilter::Yesterday:
            mask = date_text(today.plus_days(-1));
            break;
        case DateFilter::Any:
            mask = "*";
            break;
    }
    if (course_index >= 1 && course_index <= 10) {
        mask += sj(course_filter_captions()[static_cast<std::size_t>(course_index)]);
    }
    return mask + "*.jvRA";
}

bool mask_matches(std::string_view mask, std::string_view name) {
    // Iterative glob matching with backtracking to the last "*".
    std::size_t m = 0, n = 0, star = std::string_view::npos, resume = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == '?' || mask[m] == name[n])) {
            ++m;
            ++n;
        } else if (m < mask.size() && mask[m] == '*') {
            star = m++;
            resume = n;
        } else if (star != std::string_view::npos) {
            m = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*') ++m;
    return m == mask.size();
}

std::vector<std::string> list_race_days(const fs::path& data_folder, DateFilter date,
                                        int course_index, const DateTime& today) {
    std::string mask = catalogue_mask(date, course_index, today);
    std::vector<std::string> days;
    std::error_code error;
    for (fs::directory_iterator it(data_folder, error), end; !error && it != end;
         it.increment(error)) {
        std::string name = cp932::from_utf8(path_utf8(it->path().filename()));
        // Any entry with the name is listed, a file or not: loading a day
        // whose race file is damaged says so, where leaving it out would
        // make the day vanish without a word.
        if (!mask_matches(mask, name)) continue;
        days.push_back(name.substr(0, name.size() - 5));  // without ".jvRA"
    }
    std::sort(days.begin(), days.end(), std::greater<>());
    return days;
}

}  // namespace tolven
