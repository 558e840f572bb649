#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "store/date_time.hpp"

namespace tolven {

// The date filter of the race-day list ("レース日選択").
enum class DateFilter { Today = 0, Yesterday = 1, Any = 2 };

// Captions of the racecourse filter ("開催場所選択"), index 0..10, UTF-8:
// "全場", then 札幌 .. 小倉.
const std::vector<std::string>& course_filter_captions();
// The three date filter captions, UTF-8.
const std::vector<std::string>& date_filter_captions();

// The file mask (CP932) of a date filter and racecourse filter index 0..10,
// for example "2026年12月07日中山*.jvRA" or "**.jvRA".
std::string catalogue_mask(DateFilter date, int course_index, const DateTime& today);

// True when a CP932 name matches a mask with "*" (any run) and "?" (one byte).
bool mask_matches(std::string_view mask, std::string_view name);

// The race days of the data folder matching the filters: the names of the
// ".jvRA" files without extension (CP932 day keys), newest first, in
// descending order of their CP932 bytes. A missing folder gives no days. An
// entry that is not a regular file is listed too (its load reports it).
std::vector<std::string> list_race_days(const std::filesystem::path& data_folder, DateFilter date,
                                        int course_index, const DateTime& today);

}  // namespace tolven
