#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tolven {

// Why a day's files give nothing to show: for its race file and its runner
// file, each one that is missing, cannot be read, is empty or holds no record
// of its kind, a line "<path>（<reason>）" in Japanese (UTF-8). Empty when
// both hold records. entry is the list entry (CP932).
std::vector<std::string> day_file_problems(const std::filesystem::path& base,
                                           const std::string& entry);

}  // namespace tolven
