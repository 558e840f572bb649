#include "store/code_tables.hpp"

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>

#include "store/bet.hpp"
#include "store/cp932.hpp"
#include "store/lenient.hpp"
#include "store/record.hpp"

namespace tolven {
namespace {

struct CourseEntry {
    const char* code;
    const char* name;  // UTF-8 here, exactly 4 bytes in CP932
};

// JRA courses, local courses, then countries, as the data service codes them.
constexpr CourseEntry kCourses[] = {
    {"01", "札幌"}, {"02", "函館"}, {"03", "福島"}, {"04", "新潟"}, {"05", "東京"}, {"06", "中山"},
    {"07", "中京"}, {"08", "京都"}, {"09", "阪神"}, {"10", "小倉"}, {"30", "門別"}, {"31", "北見"},
    {"32", "岩見"}, {"33", "帯広"}, {"34", "旭川"}, {"35", "盛岡"}, {"36", "水沢"}, {"37", "上山"},
    {"38", "三条"}, {"39", "足利"}, {"40", "宇都"}, {"41", "高崎"}, {"42", "浦和"}, {"43", "船橋"},
    {"44", "大井"}, {"45", "川崎"}, {"46", "金沢"}, {"47", "笠松"}, {"48", "名古"}, {"49", "紀三"},
    {"50", "園田"}, {"51", "姫路"}, {"52", "益田"}, {"53", "福山"}, {"54", "高知"}, {"55", "佐賀"},
    {"56", "荒尾"}, {"57", "中津"}, {"58", "札幌"}, {"59", "函館"}, {"60", "新潟"}, {"61", "中京"},
    {"A0", "他外"}, {"A2", "日本"}, {"A4", "アメ"}, {"A6", "イギ"}, {"A8", "フラ"}, {"B0", "イン"},
    {"B2", "アイ"}, {"B4", "ニュ"}, {"B6", "オー"}, {"B8", "カナ"}, {"C0", "イタ"}, {"C2", "ドイ"},
    {"C4", "    "}, {"C5", "オマ"}, {"C6", "イラ"}, {"C7", "ア首"}, {"C8", "シリ"}, {"D0", "スウ"},
    {"D2", "ハン"}, {"D4", "ポル"}, {"D6", "ロシ"}, {"D8", "ウル"}, {"E0", "ペル"}, {"E2", "アル"},
    {"E4", "ブラ"}, {"E6", "ベル"}, {"E8", "トル"}, {"F0", "韓国"}, {"F1", "中国"}, {"F2", "チリ"},
    {"F4", "    "}, {"F6", "    "}, {"F8", "パナ"}, {"G0", "香港"}, {"G2", "スペ"}, {"G4", "    "},
    {"G6", "    "}, {"G8", "    "}, {"H0", "西独"}, {"H2", "南ア"}, {"H4", "スイ"}, {"H6", "モナ"},
    {"H8", "フィ"}, {"I0", "プエ"}, {"I2", "コロ"}, {"I4", "チェ"}, {"I6", "チェ"}, {"I8", "スロ"},
    {"J0", "エク"}, {"J2", "ギリ"}, {"J4", "マレ"}, {"J6", "メキ"}, {"J8", "モロ"}, {"K0", "パキ"},
    {"K2", "ポー"}, {"K4", "パラ"}, {"K6", "サウ"}, {"K8", "キプ"}, {"L0", "タイ"}, {"L2", "ウク"},
    {"L4", "ベネ"}, {"L6", "ユー"}, {"L8", "デン"}, {"M0", "シン"}, {"M2", "澳門"}, {"M4", "墺国"},
    {"M6", "約  "}, {"M8", "華  "}, {"N0", "東ド"}, {"N2", "バレ"},
};

const std::map<std::string, std::string, std::less<>>& course_table() {
    static const auto table = [] {
        std::map<std::string, std::string, std::less<>> t;
        for (const auto& entry : kCourses) t.emplace(entry.code, sj(entry.name));
        return t;
    }();
    return table;
}

// Looks code up among single-character codes mapped to UTF-8 texts.
std::string by_code(std::string_view code, std::string_view codes,
                    std::initializer_list<const char*> texts, std::string_view otherwise) {
    if (code.size() == 1) {
        std::size_t i = codes.find(code[0]);
        if (i != std::string_view::npos) return sj(texts.begin()[i]);
    }
    return sj(otherwise);
}


}  // namespace

const std::string& racecourse_name(std::string_view code) {
    static const std::string blank(4, ' ');
    const auto& table = course_table();
    auto it = table.find(code);
    return it == table.end() ? blank : it->second;
}

int racecourse_code_count() {
    return static_cast<int>(course_table().size());
}

bool is_racecourse_name(std::string_view name) {
    if (name == "    ") return true;  // every code outside the table
    const auto& table = course_table();
    return std::any_of(table.begin(), table.end(),
                       [&](const auto& entry) { return entry.second == name; });
}

std::string weekday_mark(std::string_view code) {
    return by_code(code, "012345678", {"　", "土", "日", "祝", "月", "火", "水", "木", "金"}, "");
}

std::string sex_text(std::string_view code) {
    return by_code(code, "123", {"牡", "牝", "ｾﾝ"}, "");
}

std::string age_text(std::string_view a, std::string_view b) {
    int x = lenient_int(a);
    int y = lenient_int(b);
    if (x == 0 || y == 0) return "  ";
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%2d", x - y);
    return buffer;
}

std::string blinker_text(std::string_view code) {
    return by_code(code, "1", {"ﾌﾞﾘﾝ"}, " ");
}

std::string apprentice_text(std::string_view code) {
    return by_code(code, "12349", {"1kg減", "2kg減", "3kg減", "4kg減", "2kg減"}, "　");
}

std::string right_aligned_number(std::string_view text) {
    int width = static_cast<int>(text.size());
    int value = lenient_int(text);
    if (value == 0) return std::string(text.size(), ' ');
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%*d", width, value);
    return buffer;
}

std::optional<Bet> combination_bet(std::string_view combination) {
    auto in = [](int v, int hi) { return v >= 1 && v <= hi; };
    if (combination.size() == 2) {
        int a = lenient_int(combination.substr(0, 1));
        int b = lenient_int(combination.substr(1, 1));
        if (in(a, 8) && in(b, 8)) return Bet{a, b, {}};
    } else if (combination.size() == 4) {
        int a = lenient_int(combination.substr(0, 2));
        int b = lenient_int(combination.substr(2, 2));
        if (in(a, kMaxRunners) && in(b, kMaxRunners)) return Bet{a, b, {}};
    }
    return std::nullopt;
}

std::string combination_text(std::string_view combination) {
    auto in = [](int v, int hi) { return v >= 1 && v <= hi; };
    switch (combination.size()) {
        case 2:
        case 4: {
            std::optional<Bet> bet = combination_bet(combination);
            return bet ? bet_text(*bet) : std::string(5, ' ');
        }
        case 6: {
            int a = lenient_int(combination.substr(0, 2));
            int b = lenient_int(combination.substr(2, 2));
            int c = lenient_int(combination.substr(4, 2));
            if (!in(a, kMaxRunners) || !in(b, kMaxRunners) || !in(c, kMaxRunners)) return std::string(8, ' ');
            char buffer[32];
            std::snprintf(buffer, sizeof buffer, "%2d-%2d-%2d", a, b, c);
            return buffer;
        }
        default:
            return "";
    }
}

int bracket_number(int entries, int horse) {
    if (entries < 1 || entries > kMaxRunners || horse < 1 || horse > entries) return 0;
    if (entries <= 16) {
        int d = (entries - horse) / 2;
        return d < entries - 8 ? 8 - d : horse;
    }
    int c = 8 - (16 - horse) / 2;  // C++ division truncates towards zero
    if (horse > 16) c -= 1;
    if (horse == 15 && entries == 18) c -= 1;
    if (horse == 17) c += 1;
    return c;
}

std::string overwrite(std::string_view s, std::string_view t, std::size_t p) {
    std::string out(s);
    // Out-of-range positions behave as string insertion does: before the
    // first character or after the last.
    p = std::clamp<std::size_t>(p, 1, out.size() + 1);
    out.erase(p - 1, t.size());
    out.insert(p - 1, t);
    return out;
}

std::string pair_text(int a, int b) {
    return bet_text(pair_bet(a, b));
}

}  // namespace tolven
