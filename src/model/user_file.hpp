#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tolven {

// The 300-line skeleton of a day's user file (CP932): for each race a block
// of 25 lines with a title, one line per horse with nine check items and a
// score, and two empty lines for the user's bets.
std::vector<std::string> user_file_skeleton();

// The lines of an existing user file, ended by CR LF, LF or a lone CR. A file
// shorter than 300 lines (edited by hand, cut off) is filled up from the
// skeleton; longer is cut to 300.
std::vector<std::string> read_user_file(const std::filesystem::path& file);

// Writes the lines with CR LF, replacing the file whole.
void write_user_file(const std::filesystem::path& file, const std::vector<std::string>& lines);

}  // namespace tolven
