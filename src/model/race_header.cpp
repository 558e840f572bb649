#include "model/race_header.hpp"

#include <cstdio>
#include <map>

#include "store/code_tables.hpp"
#include "store/cp932.hpp"
#include "store/lenient.hpp"
#include "store/record.hpp"

namespace tolven {
namespace {

using TextTable = std::map<std::string, std::string, std::less<>>;

// Converts a table written in UTF-8 once, on first use.
const TextTable& converted(const TextTable& utf8, TextTable& cache, bool& done) {
    if (!done) {
        for (const auto& [code, text] : utf8) cache.emplace(code, sj(text));
        done = true;
    }
    return cache;
}

std::string lookup(const TextTable& table, std::string_view code) {
    auto it = table.find(code);
    return it == table.end() ? std::string() : it->second;
}

#define TOLVEN_TABLE(name, ...)                    \
    const TextTable& name() {                      \
        static const TextTable utf8 = __VA_ARGS__; \
        static TextTable cache;                    \
        static bool done = false;                  \
        return converted(utf8, cache, done);       \
    }

TOLVEN_TABLE(race_types, {
                             {"11", "サラ系2歳　　　　"},
                             {"12", "サラ系3歳　　　　"},
                             {"13", "サラ系3歳以上　　"},
                             {"14", "サラ系4歳以上　　"},
                             {"18", "サラ系障害3歳以上"},
                             {"19", "サラ系障害4歳以上"},
                             {"21", "アラ系2歳　　　　"},
                             {"22", "アラ系3歳　　　　"},
                             {"23", "アラ系3歳以上　　"},
                             {"24", "アラ系4歳以上　　"},
                         })

TOLVEN_TABLE(tracks, {
                         {"10", "芝　　直線　            "}, {"11", "芝　　左回り            "},
                         {"12", "芝　　左回り(外回り)    "}, {"13", "芝　　左回り(内→外回り)"},
                         {"14", "芝　　左回り(外→内回り)"},  {"15", "芝　　左回り(内２周)    "},
                         {"16", "芝　　左回り(外２周)    "}, {"17", "芝　　右回り            "},
                         {"18", "芝　　右回り(外回り)    "}, {"19", "芝　　右回り(内→外回り)"},
                         {"20", "芝　　右回り(外→内回り)"},  {"21", "芝　　右回り(内２周)    "},
                         {"22", "芝　　右回り(外２周)    "}, {"23", "ﾀﾞｰﾄ　左回り            "},
                         {"24", "ﾀﾞｰﾄ　右回り            "}, {"29", "ﾀﾞｰﾄ　直線　            "},
                         {"51", "障害　芝　襷            "}, {"52", "障害　芝→ﾀﾞｰﾄ          "},
                         {"53", "障害　芝　左            "}, {"54", "障害　芝                "},
                         {"55", "障害　芝　外回り        "}, {"56", "障害　芝　外→内回り    "},
                         {"57", "障害　芝　内→外回り    "},  {"58", "障害　内２周            "},
                         {"59", "障害　外２周            "},
                     })

TOLVEN_TABLE(grades, {
                         {"A", "G1                "},
                         {"B", "G2                "},
                         {"C", "G3                "},
                         {"D", "グレードのない重賞"},
                         {"E", "重賞以外の特別競争"},
                     })

TOLVEN_TABLE(weight_types, {
                               {"1", "(ﾊﾝﾃﾞ)"},
                               {"2", "(別定)"},
                               {"3", "(馬齢)"},
                               {"4", "(定量)"},
                           })

#undef TOLVEN_TABLE

}  // namespace

std::string race_type_text(std::string_view code) {
    return lookup(race_types(), code);
}
std::string track_text(std::string_view code) {
    return lookup(tracks(), code);
}
std::string weight_type_text(std::string_view code) {
    return lookup(weight_types(), code);
}

std::string grade_text(std::string_view code) {
    std::string text = lookup(grades(), code);
    return text.empty() ? sj("一般競争          ") : text;
}

std::string condition_text(int age_group, std::string_view code) {
    int c = lenient_int(code);
    static const char* const prefix[] = {"   ", "3歳", "4歳", "5歳"};  // 2, 3, 4, 5 and up
    if (age_group < 2 || age_group > 5) return {};
    const char* head = prefix[age_group - 2];
    if (c >= 1 && c <= 99) {
        char amount[32];
        std::snprintf(amount, sizeof amount, "%4d", c * 100);
        return sj(std::string(head) + amount + "万下");
    }
    if (c == 100) {
        static const char* const hundred_million[] = {"1億下      ", "3歳1億下   ", "4歳1億下   ",
                                                      "5歳1億下   "};
        return sj(hundred_million[age_group - 2]);
    }
    switch (c) {
        case 701:
            return sj("新馬       ");
        case 702:
            return sj("未出走     ");
        case 703:
            return sj("未勝利     ");
        case 999:
            return sj("オープン   ");
        default:
            return {};
    }
}

std::string day_banner(std::string_view ra) {
    std::string_view md = field_text(ra, header::month_day);
    return std::string(field_text(ra, header::year)) + sj("年") + std::string(md.substr(0, 2)) +
           sj("月") + std::string(md.substr(std::min<std::size_t>(2, md.size()), 2)) + sj("日(") +
           weekday_mark(field_text(ra, ra::weekday)) + ")" +
           racecourse_name(field_text(ra, header::course)) +
           std::string(field_text(ra, header::kai)) + sj("回") +
           std::string(field_text(ra, header::nichi)) + sj("回");
}

unsigned header_colour(int track_code) {
    return track_code > 22 ? kMaroon : kGreen;
}

RaceHeader race_header(std::string_view ra) {
    RaceHeader h;
    h.title = right_aligned_number(field_text(ra, header::race_number)) + "R" +
              std::string(field_text(ra, ra::race_name));

    h.course = race_type_text(field_text(ra, ra::race_type)) + " " +
               track_text(field_text(ra, ra::track)) +
               right_aligned_number(field_text(ra, ra::distance)) + sj("ﾒｰﾄﾙ") +
               weight_type_text(field_text(ra, ra::weight_type));

    std::string c3 = condition_text(3, field_text(ra, ra::condition_age3));
    std::string c4 = condition_text(4, field_text(ra, ra::condition_age4));
    std::string c5 = condition_text(5, field_text(ra, ra::condition_age5up));
    auto in_amounts = [](std::string_view code) {
        int c = lenient_int(code);
        return c >= 1 && c <= 100;
    };
    switch (field_int(ra, ra::race_type)) {
        case 11:
        case 21:
            h.condition = condition_text(2, field_text(ra, ra::condition_age2));
            break;
        case 12:
        case 22:
            h.condition = c3;
            break;
        case 13:
        case 18:
        case 23:
            h.condition =
                in_amounts(field_text(ra, ra::condition_age3)) ? c3 + "  " + c4 + "  " + c5 : c3;
            break;
        case 14:
        case 19:
        case 24:
            h.condition = in_amounts(field_text(ra, ra::condition_age4)) ? c4 + "  " + c5 : c4;
            break;
        default:
            break;
    }

    std::string_view start = field_text(ra, ra::start_time);
    h.grade = grade_text(field_text(ra, ra::grade)) + " " +
              right_aligned_number(field_text(ra, ra::entries)) + sj("頭 ") +
              std::string(start.substr(0, 2)) + sj("時") +
              std::string(start.substr(std::min<std::size_t>(2, start.size()), 2)) + sj("分発走");
    h.colour = header_colour(field_int(ra, ra::track));
    return h;
}

std::array<std::string, 8> card_row(std::string_view ra, std::string_view se) {
    std::array<std::string, 8> cells;
    cells[0] = std::string(field_text(se, se::bracket));
    cells[1] = right_aligned_number(field_text(se, se::horse_number));
    cells[2] = std::string(cp932::cut(field_text(se, se::horse_name), 18));
    cells[3] = std::string(field_text(se, se::jockey));
    std::string_view weight = field_text(se, se::carried_weight);
    cells[4] = std::string(weight.substr(0, 2)) + "." +
               std::string(weight.substr(std::min<std::size_t>(2, weight.size()), 1));
    cells[5] = sex_text(field_text(se, se::sex)) +
               age_text(field_text(ra, header::year), field_text(se, se::pedigree).substr(0, 4));
    cells[6] = blinker_text(field_text(se, se::blinker));
    cells[7] = apprentice_text(field_text(se, se::apprentice));
    return cells;
}

std::string card_hint() {
    return sj("表示は枠番、馬番、馬名、騎手、負担重量、性別馬齢、ブリンカー、見習区分、の順です");
}

}  // namespace tolven
