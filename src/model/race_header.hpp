#pragma once

#include <array>
#include <string>
#include <string_view>

namespace tolven {

// The four header lines of a race (CP932) and the colour of their band.
struct RaceHeader {
    std::string title;      // race number, "R", race name
    std::string course;     // race type, track, distance, weight type
    std::string condition;  // race conditions by age
    std::string grade;      // grade, runners, start time
    unsigned colour = 0;    // 0x800000 maroon (dirt, jump) or 0x008000 green (turf)
};

inline constexpr unsigned kMaroon = 0x800000;
inline constexpr unsigned kGreen = 0x008000;

// Header texts of a race record. A blank record gives separators and blanks.
RaceHeader race_header(std::string_view race_record);
// The day line of a race record: "YYYY年MM月DD日(曜)場名KK回NN回" (the main
// window's banner and the printouts' date line).
std::string day_banner(std::string_view race_record);
// The band colour of a track code.
unsigned header_colour(int track_code);

// The eight card cells of a runner: bracket, horse number, name, jockey,
// carried weight, sex and age, blinker, apprentice.
std::array<std::string, 8> card_row(std::string_view race_record, std::string_view runner_record);

// The card's hint.
std::string card_hint();

// Code texts, each fixed width in CP932 bytes; "" for codes not listed.
std::string race_type_text(std::string_view code);  // 17 bytes
// age_group: 2, 3, 4 or 5 (5 = five and up).
std::string condition_text(int age_group, std::string_view code);
std::string grade_text(std::string_view code);  // 18 bytes
std::string track_text(std::string_view code);  // 24 bytes
std::string weight_type_text(std::string_view code);

}  // namespace tolven
