#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/race_day.hpp"
#include "store/atomic_file.hpp"

namespace tolven {

// The layout of a day's user file (CP932, 300 lines). Each race has a block
// of 25 lines:
//   0  rule            1  title "【 nR】"     2  rule
//   3..20  one line per runner row 1..18
//   21 rule            22 quinella bets       23 rule
//   24 bracket quinella bets
// A runner line holds, at 1-based character positions, the bracket (2), the
// horse number (4-5), the nine ticks "0"/"1" (7, 9, .., 23), the rank (25-26)
// and the score (28-34), each field followed by "|".
// A bet line holds up to nine fields of two blanks and a 5-character bet text,
// the texts at 1-based positions 3, 10, .., 59.
inline constexpr int kUserBlockLines = 25;
inline constexpr int kUserTicks = 9;

// 0-based line indexes of race n (0..11).
constexpr std::size_t user_title_line(int n) {
    return static_cast<std::size_t>(kUserBlockLines * n + 1);
}
// `row` is the runner row 1..18.
constexpr std::size_t user_runner_line(int n, int row) {
    return static_cast<std::size_t>(kUserBlockLines * n + 2 + row);
}
constexpr std::size_t user_quinella_line(int n) {
    return static_cast<std::size_t>(kUserBlockLines * n + 22);
}
constexpr std::size_t user_bracket_line(int n) {
    return static_cast<std::size_t>(kUserBlockLines * n + 24);
}

// A field of a line: 1-based character position and width.
struct UserField {
    int position;
    int width;
};
// Tick i (0..8) of a runner line.
constexpr UserField user_tick_field(int i) {
    return {7 + 2 * i, 1};
}
inline constexpr UserField kUserRankField{25, 2};
inline constexpr UserField kUserScoreField{28, 7};
// Bet slot k (0..8) of a bet line.
constexpr UserField user_bet_field(int k) {
    return {3 + 7 * k, 5};
}

// The characters of a field; a short line gives less (or "").
std::string user_field(const std::string& line, UserField field);

// A runner line from its parts: bracket (1 character), horse number (2), the
// nine ticks, rank (2) and score (7).
std::string user_runner_text(std::string_view bracket, std::string_view horse,
                             const std::array<std::string, kUserTicks>& ticks,
                             std::string_view rank, std::string_view score);

// The bet line of a bet list: nine fields of two blanks followed by the bet
// text (an empty slot gives only its blanks).
std::string user_bet_line(const BetList& bets);

// Race n's bets from the user lines. A line of blanks leaves its list as it
// is; otherwise each slot takes its field, a field of blanks (the end of a
// shorter list) giving an empty slot.
void read_user_bets(const std::vector<std::string>& lines, int n, RaceBets& bets);
// Writes race n's user bets into its two bet lines.
void write_user_bets(std::vector<std::string>& lines, int n, const RaceBets& bets);

// The 300-line skeleton of a day's user file (CP932): for each race a block
// of 25 lines with a title, one line per horse with nine check items and a
// score, and two empty lines for the user's bets.
std::vector<std::string> user_file_skeleton();

// The lines of an existing user file, ended by CR LF, LF or a lone CR. A file
// shorter than 300 lines (edited by hand, cut off) is filled up from the
// skeleton; longer is cut to 300.
std::vector<std::string> read_user_file(const std::filesystem::path& file);

// The 300 lines of a user file's content, as read_user_file makes them.
std::vector<std::string> user_lines_from(std::string_view content);

// Writes the lines with CR LF, replacing the file whole.
void write_user_file(const std::filesystem::path& file, const std::vector<std::string>& lines);

// The user file was changed by another program (a second window, a
// `tolven-cli tick`) in a race this one changed too since it read the file.
// The message (UTF-8, Japanese) names the file and the race.
class UserFileConflict : public FileError {
  public:
    using FileError::FileError;
};

struct UserFileSave {
    std::vector<std::string> lines;    // what the file holds now
    std::optional<std::string> bytes;  // its content (nullopt: still no file)
    std::vector<int> races_taken;      // races (0..11) taken from the other program's save
    bool written = false;
};

// Saves a day's user lines, given the file's content when they were read
// (nullopt: there was no file). Nothing is written when the lines are those
// read. When the file changed meanwhile, the two are merged race by race:
// the races changed here from these lines, the others from the file; a race
// changed in both, differently, is UserFileConflict and nothing is written.
// The check and the write hold a lock on the file's folder, so two saves of
// one file never cross.
UserFileSave save_user_lines(const std::filesystem::path& file,
                             const std::vector<std::string>& lines,
                             const std::optional<std::string>& read_bytes);

}  // namespace tolven
