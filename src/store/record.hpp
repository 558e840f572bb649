#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// JV records are kept as the raw fixed-width CP932 bytes JV-Link delivers and
// read field by field at fixed offsets; they are never parsed into structures,
// so a stored record can always be written back byte for byte.
namespace tolven {

// A field of a record: 0-based byte offset and width.
struct Field {
    std::size_t offset;
    std::size_t width;
};

enum class RecordKind { Race, Runner, Payout, Other };

// A race day has at most 12 races, numbered 1..12, and a race at most 18
// runners, numbered 1..18.
inline constexpr int kMaxRaces = 12;
inline constexpr int kMaxRunners = 18;

// Sizes including the closing CR LF.
inline constexpr std::size_t kRaceRecordSize = 1272;
inline constexpr std::size_t kRunnerRecordSize = 555;
inline constexpr std::size_t kPayoutRecordSize = 719;

// The header shared by all three kinds.
namespace header {
inline constexpr Field kind{0, 2};
inline constexpr Field category{2, 1};
inline constexpr Field created{3, 8};
inline constexpr Field year{11, 4};
inline constexpr Field month_day{15, 4};
inline constexpr Field course{19, 2};
inline constexpr Field kai{21, 2};
inline constexpr Field nichi{23, 2};
inline constexpr Field race_number{25, 2};
inline constexpr Field store_key{11, 16};
inline constexpr Field stamp{2, 9};  // category and creation date, zeroed when stored
}  // namespace header

// Race record "RA".
namespace ra {
inline constexpr Field weekday{27, 1};
inline constexpr Field race_name{32, 60};
inline constexpr Field short_name{592, 12};
inline constexpr Field grade{614, 1};
inline constexpr Field race_type{616, 2};
inline constexpr Field weight_type{621, 1};
inline constexpr Field condition_age2{622, 3};
inline constexpr Field condition_age3{625, 3};
inline constexpr Field condition_age4{628, 3};
inline constexpr Field condition_age5up{631, 3};
inline constexpr Field condition_youngest{634, 3};
inline constexpr Field distance{697, 4};
inline constexpr Field track{705, 2};
inline constexpr Field start_time{873, 4};
inline constexpr Field entries{881, 2};
inline constexpr Field turf_going{888, 1};
inline constexpr Field dirt_going{889, 1};
}  // namespace ra

// Runner record "SE".
namespace se {
inline constexpr Field bracket{27, 1};
inline constexpr Field horse_number{28, 2};
inline constexpr Field pedigree{30, 10};
inline constexpr Field horse_name{40, 36};
inline constexpr Field sex{78, 1};
inline constexpr Field age{82, 2};
inline constexpr Field carried_weight{288, 3};
inline constexpr Field blinker{294, 1};
inline constexpr Field jockey{306, 8};
inline constexpr Field apprentice{322, 1};
inline constexpr Field finish{334, 2};
inline constexpr Field running_time{338, 4};
inline constexpr Field last_three_furlongs{390, 3};
}  // namespace se

// Payout record "HR": three groups of fixed-size entries.
struct PayoutGroup {
    std::size_t offset;
    int entries;
    std::size_t entry_width;
    std::size_t combination_width;
    std::size_t payout_offset;  // within the entry; the payout is 9 digits
};
namespace hr {
inline constexpr PayoutGroup bracket_quinella{206, 3, 13, 2, 2};
inline constexpr PayoutGroup quinella{245, 3, 16, 4, 4};
inline constexpr PayoutGroup wide{293, 7, 16, 4, 4};
}  // namespace hr

struct PayoutEntry {
    std::string_view combination;
    int payout = 0;
    // In use when the combination is not blank and the payout is above 0.
    bool in_use() const;
};

// The field text; a record too short for the field yields what there is of it.
std::string_view field_text(std::string_view record, Field f);
// The field through the lenient conversion.
int field_int(std::string_view record, Field f);
// The field without its padding blanks.
std::string_view field_trimmed(std::string_view record, Field f);

RecordKind record_kind(std::string_view record);
std::size_t record_size(RecordKind kind);  // 0 for Other
// "RA", "SE", "HR"; two blanks for Other.
const char* record_kind_code(RecordKind kind);
// An empty slot: the record size filled with spaces.
std::string blank_record(RecordKind kind);

// Year, month-day, course, kai, nichi, race number: 16 characters.
std::string_view store_key(std::string_view record);
// Year, month-day, course and race number: 12 characters.
std::string race_key(std::string_view record);
// Year and month-day as YYYYMMDD (0 when not numeric).
int race_date(std::string_view record);
// An absent record (empty slot) has a blank year.
bool is_absent(std::string_view record);

// Entry k (0-based) of a payout group.
PayoutEntry payout_entry(std::string_view record, const PayoutGroup& group, int k);

// The record without a closing CR LF (or bare LF).
std::string_view without_line_break(std::string_view record);

}  // namespace tolven
