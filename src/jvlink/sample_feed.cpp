#include "jvlink/sample_feed.hpp"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "store/atomic_file.hpp"
#include "store/code_tables.hpp"
#include "store/cp932.hpp"
#include "store/date_time.hpp"
#include "store/record_builder.hpp"

namespace fs = std::filesystem;

namespace tolven {
namespace {

// A small deterministic generator (splitmix64) with its own distributions, so
// a seed gives the same feed with any standard library.
class Rng {
  public:
    explicit Rng(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ULL + 0x1234567ULL) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    double real() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
    bool chance(double p) { return real() < p; }
    double normal(double mean, double sd) {
        double u = std::max(real(), 1e-12);
        double v = real();
        return mean + sd * std::sqrt(-2.0 * std::log(u)) * std::cos(6.283185307179586 * v);
    }
    template <typename T>
    const T& pick(const std::vector<T>& items) {
        return items[static_cast<std::size_t>(below(static_cast<int>(items.size())))];
    }

  private:
    std::uint64_t state_;
};

// ---- The racing world -------------------------------------------------------

struct Course {
    const char* code;
    bool left_handed;
    std::vector<int> turf;  // distances the course really runs
    std::vector<int> dirt;
    double speed;  // multiplier on the standard time (Hokkaido tracks run slower)
};

const std::vector<Course>& courses() {
    static const std::vector<Course> all = {
        {"01", false, {1200, 1500, 1800, 2000, 2600}, {1000, 1700, 2400}, 1.010},
        {"02", false, {1200, 1800, 2000, 2600}, {1000, 1700, 2400}, 1.012},
        {"03", false, {1200, 1800, 2000, 2600}, {1150, 1700, 2400}, 1.006},
        {"04", true, {1000, 1200, 1400, 1600, 1800, 2000, 2200, 2400}, {1200, 1800, 2500}, 0.996},
        {"05",
         true,
         {1400, 1600, 1800, 2000, 2300, 2400, 2500, 3400},
         {1300, 1400, 1600, 2100},
         1.000},
        {"06", false, {1200, 1600, 1800, 2000, 2200, 2500, 3600}, {1200, 1800, 2400, 2500}, 1.002},
        {"07", true, {1200, 1400, 1600, 2000, 2200}, {1200, 1400, 1800, 1900}, 1.001},
        {"08",
         false,
         {1200, 1400, 1600, 1800, 2000, 2200, 2400, 3000, 3200},
         {1200, 1400, 1800, 1900},
         0.996},
        {"09",
         false,
         {1200, 1400, 1600, 1800, 2000, 2200, 2400, 3000, 3200},
         {1200, 1400, 1800, 2000},
         0.999},
        {"10", false, {1200, 1800, 2000, 2600}, {1000, 1700, 2400}, 1.004},
    };
    return all;
}

const Course& course(const std::string& code) {
    for (const auto& c : courses()) {
        if (code == c.code) return c;
    }
    return courses().front();
}

// The courses that race in each month, the first two every race day and the
// third on alternate weeks.
std::vector<std::string> courses_of(int month, int week_number) {
    static const char* schedule[12][3] = {
        {"06", "08", "07"}, {"05", "08", "10"}, {"06", "09", "07"}, {"06", "09", "03"},
        {"05", "08", "04"}, {"05", "09", "02"}, {"03", "10", "02"}, {"04", "10", "01"},
        {"06", "09", "01"}, {"05", "08", "04"}, {"05", "08", "03"}, {"06", "09", "07"},
    };
    std::vector<std::string> list{schedule[month - 1][0], schedule[month - 1][1]};
    if (week_number % 2 == 0) list.emplace_back(schedule[month - 1][2]);
    return list;
}

// Standard times (seconds, good going) of a middle-of-the-road track.
double standard_time(int distance, bool turf) {
    static const std::vector<std::pair<int, double>> turf_curve = {
        {1000, 57.6},  {1200, 69.0},  {1400, 82.0},  {1600, 94.6},  {1800, 108.2}, {2000, 121.2},
        {2200, 133.6}, {2400, 146.0}, {2600, 160.6}, {3000, 185.4}, {3200, 198.8}, {3600, 226.0}};
    static const std::vector<std::pair<int, double>> dirt_curve = {
        {1000, 59.4},  {1200, 71.6},  {1400, 84.2},  {1600, 97.0},  {1800, 112.4}, {2000, 125.0},
        {2200, 136.4}, {2400, 155.0}, {2600, 167.0}, {3000, 191.0}, {3600, 227.0}};
    const auto& curve = turf ? turf_curve : dirt_curve;
    if (distance <= curve.front().first) {
        return curve.front().second - (curve.front().first - distance) * 0.062;
    }
    for (std::size_t i = 1; i < curve.size(); ++i) {
        if (distance <= curve[i].first) {
            auto [d0, t0] = curve[i - 1];
            auto [d1, t1] = curve[i];
            return t0 + (t1 - t0) * (distance - d0) / (d1 - d0);
        }
    }
    return curve.back().second + (distance - curve.back().first) * 0.064;
}

int turf_track(const Course& c, int distance) {
    if (c.left_handed) {
        if (std::string(c.code) == "04") {
            if (distance == 1000) return 10;
            if (distance == 1600 || distance == 1800) return 12;
        }
        return 11;
    }
    std::string code = c.code;
    bool outer = (code == "06" && (distance == 1200 || distance == 1600 || distance == 2200)) ||
                 ((code == "08" || code == "09") &&
                  (distance == 1600 || distance == 1800 || distance == 2400)) ||
                 (code == "08" && distance == 2200);
    return outer ? 18 : 17;
}

const std::vector<std::string>& name_words() {
    static const std::vector<std::string> words = {
        "サクラ",     "ゴールド",   "シルバー",   "ブライト", "ウインド",     "スター",
        "ミラクル",   "キング",     "クイーン",   "ローズ",   "ムーン",       "サン",
        "フラッシュ", "ハート",     "ドリーム",   "ブレイブ", "エース",       "ライト",
        "ナイト",     "ストーム",   "フォルテ",   "レガシー", "メモリー",     "シャイン",
        "ビクトリー", "グレイス",   "ソニック",   "ロード",   "オーシャン",   "スカイ",
        "ファイア",   "アイス",     "ミスト",     "テイオー", "ヒーロー",     "ボルト",
        "ジェット",   "ルージュ",   "ノワール",   "ブラン",   "エトワール",   "カレン",
        "リリー",     "マリン",     "アルテ",     "ヴェール", "ソレイユ",     "トウカイ",
        "メジロ",     "マチカネ",   "ダイワ",     "ニシノ",   "セイウン",     "タイキ",
        "エアー",     "アドマイヤ", "ウイニング", "ラッキー", "ハッピー",     "グラン",
        "ロイヤル",   "ノーブル",   "ミスター",   "レディ",   "プリンス",     "ダンサー",
        "ランナー",   "ブリーズ",   "フェアリー", "パール",   "ルビー",       "サファイア",
        "オパール",   "ジェイド",   "コメット",   "オーロラ", "ギャラクシー", "ノヴァ",
        "ゼファー",   "ラピス",
    };
    return words;
}

std::size_t characters(const std::string& utf8) {
    std::size_t n = 0;
    for (unsigned char c : utf8) n += (c & 0xC0) != 0x80 ? 1 : 0;
    return n;
}

struct Jockey {
    const char* name;
    char apprentice;  // '1'..'3' for apprentices, ' ' otherwise
    double skill;
};

const std::vector<Jockey>& jockeys() {
    static const std::vector<Jockey> all = {
        {"佐藤翔", ' ', 0.6},  {"高橋亮", ' ', 0.5},  {"鈴木健", ' ', 0.3},  {"田中勝", ' ', 0.4},
        {"伊藤大", ' ', 0.2},  {"渡辺誠", ' ', 0.5},  {"山本光", ' ', 0.1},  {"中村蓮", ' ', 0.3},
        {"小林拓", ' ', 0.0},  {"加藤樹", ' ', 0.2},  {"吉田隼", ' ', 0.4},  {"山田敬", ' ', 0.1},
        {"松本大", ' ', 0.0},  {"井上崇", ' ', -0.1}, {"木村哲", ' ', 0.3},  {"林徹", ' ', 0.0},
        {"清水健", ' ', -0.1}, {"山口悠", ' ', 0.2},  {"森一馬", ' ', 0.1},  {"池田裕", ' ', -0.2},
        {"橋本陸", ' ', 0.0},  {"阿部龍", ' ', 0.1},  {"石川裕", ' ', 0.0},  {"前田颯", ' ', -0.1},
        {"藤田菜", '3', -0.3}, {"岡田翼", '3', -0.4}, {"長谷川", '2', -0.2}, {"村上拓", '1', -0.1},
        {"近藤誠", ' ', 0.1},  {"坂井瑠", ' ', 0.5},  {"横山武", ' ', 0.4},  {"西村淳", ' ', 0.0},
        {"菅原明", ' ', 0.2},  {"丹内祐", ' ', -0.1}, {"角田大", '2', -0.3}, {"永島ま", '1', -0.2},
    };
    return all;
}

struct Horse {
    std::string pedigree;
    std::string name;  // UTF-8
    int birth_year = 0;
    char sex = '1';
    double ability = 97;
    double turf_preference = 0;  // positive: better on turf
    int best_distance = 1600;
    double kick = 0;  // finishing speed
    bool jumper = false;
    bool blinker = false;
    int wins = 0;
    int runs = 0;
    long next_due = 0;  // first day it can run again
    long last_run = -1000;
    int jockey = 0;
};

// ---- Races -------------------------------------------------------------------

enum class Level { Debut, Maiden, C1, C2, C3, Open };

struct RacePlan {
    int number = 1;
    int type = 13;  // race type code
    Level level = Level::C1;
    bool turf = true;
    bool jump = false;
    int distance = 1600;
    int track = 17;
    char grade = ' ';
    int weight_type = 4;
    std::string name;  // UTF-8
};

const char* condition_code(Level level) {
    switch (level) {
        case Level::Debut:
            return "701";
        case Level::Maiden:
            return "703";
        case Level::C1:
            return "005";
        case Level::C2:
            return "010";
        case Level::C3:
            return "016";
        case Level::Open:
            return "999";
    }
    return "000";
}

std::string class_name(const RacePlan& plan) {
    std::string ages = plan.type == 11   ? "２歳"
                       : plan.type == 12 ? "３歳"
                       : plan.type == 14 ? "４歳以上"
                                         : "３歳以上";
    if (plan.jump) ages = "障害" + ages;
    switch (plan.level) {
        case Level::Debut:
            return ages + "新馬";
        case Level::Maiden:
            return ages + "未勝利";
        case Level::C1:
            return ages + "５００万下";
        case Level::C2:
            return ages + "１０００万下";
        case Level::C3:
            return ages + "１６００万下";
        case Level::Open:
            return ages + "オープン";
    }
    return ages;
}

const std::vector<std::string>& special_names() {
    static const std::vector<std::string> names = {
        "師走", "霜月",   "寒椿", "冬桜", "白梅", "早春", "弥生", "卯月", "皐月晴", "若葉",
        "青葉", "紫陽花", "夏至", "七夕", "葉月", "白秋", "紅葉", "菊花", "銀杏",   "木枯",
        "雪見", "初霜",   "朱鷺", "千鳥", "浜風", "潮騒", "飛鳥", "比叡", "六甲",   "赤城",
        "筑波", "天城",   "津軽", "出雲", "鳴門", "八幡", "大沼", "駒草", "鈴蘭",   "桂川",
    };
    return names;
}

struct Runner {
    Horse* horse;
    int number = 0;
    int bracket = 0;
    int jockey = 0;
    int weight = 550;
    double expected = 0;  // what the market expects
    double performance = 0;
    double time = 0;  // seconds
    int time_tenths = 0;
    int last3f_tenths = 0;
    int position = 0;
};

std::string running_time_text(int tenths) {
    int minutes = tenths / 600;
    int rest = tenths % 600;
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%d%02d%d", std::min(minutes, 9), rest / 10, rest % 10);
    return buffer;
}

int round_payout(double amount) {
    double yen = std::floor(amount / 10.0) * 10.0;
    return static_cast<int>(std::clamp(yen, 100.0, 999999990.0));
}

// ---- The generator -------------------------------------------------------------

class Generator {
  public:
    Generator(const SampleFeedOptions& options) : rng_(options.seed) {}

    struct DayOutput {
        std::string cards;     // provisional race cards
        std::string results;   // final races, runners and payouts
        std::string realtime;  // results as realtime data
    };

    DayOutput race_day(const DateTime& date, int week_number, bool today, SampleFeedSummary& sum);
    int horses() const { return static_cast<int>(horses_.size()); }

  private:
    Horse& new_horse(int birth_year, Level level, bool jumper, long day);
    std::string unique_name();
    std::vector<RacePlan> program(const Course& c, const DateTime& date, bool main_graded);
    std::vector<Horse*> field(const RacePlan& plan, int race_year, long day, int size);
    bool eligible(const Horse& h, const RacePlan& plan, int race_year, long day) const;
    void run(const RacePlan& plan, const Course& c, int going_turf, int going_dirt,
             std::vector<Runner>& runners);

    Rng rng_;
    std::vector<std::unique_ptr<Horse>> horses_;
    std::set<std::string> names_;
    std::map<int, int> serial_;                            // per birth year
    std::map<std::string, std::pair<int, int>> meetings_;  // course -> (kai, nichi) this block
    std::map<std::string, int> meeting_block_;
};

std::string Generator::unique_name() {
    for (int attempt = 0; attempt < 200; ++attempt) {
        std::string name = rng_.pick(name_words()) + rng_.pick(name_words());
        if (characters(name) <= 9 && names_.insert(name).second) return name;
    }
    static const std::vector<std::string> syllables = {
        "ア", "カ", "サ", "タ", "ナ", "ハ", "マ", "ラ", "ワ", "イ",   "キ",   "シ",   "チ",
        "ニ", "リ", "ル", "レ", "ロ", "ン", "ド", "ガ", "ブ", "ヴィ", "ティ", "ファ", "ー"};
    for (;;) {
        std::string name;
        int n = 4 + rng_.below(5);
        for (int i = 0; i < n; ++i) name += rng_.pick(syllables);
        if (name.rfind("ー", 0) == 0 || name.rfind("ン", 0) == 0) continue;
        if (characters(name) <= 9 && names_.insert(name).second) return name;
    }
}

Horse& Generator::new_horse(int birth_year, Level level, bool jumper, long day) {
    auto horse = std::make_unique<Horse>();
    int serial = ++serial_[birth_year];
    char pedigree[32];
    std::snprintf(pedigree, sizeof pedigree, "%04d10%04d", birth_year, serial % 10000);
    horse->pedigree = pedigree;
    horse->name = unique_name();
    horse->birth_year = birth_year;
    int sex = rng_.below(100);
    horse->sex = sex < 55 ? '1' : sex < 92 ? '2' : '3';
    int wins = static_cast<int>(level) - 1;
    horse->wins = std::max(0, wins);
    horse->runs = level == Level::Debut ? 0 : horse->wins + 1 + rng_.below(6);
    horse->ability = rng_.normal(96.5 + 1.3 * horse->wins, 1.3);
    horse->turf_preference = rng_.normal(0, 1.2);
    static const int distances[] = {1200, 1400, 1600, 1800, 2000, 2200, 2400, 2600};
    horse->best_distance = distances[rng_.below(8)];
    horse->kick = rng_.normal(0, 1.0);
    horse->jumper = jumper;
    horse->blinker = rng_.chance(0.12);
    horse->jockey = rng_.below(static_cast<int>(jockeys().size()));
    horse->next_due = day;
    horses_.push_back(std::move(horse));
    return *horses_.back();
}

std::vector<RacePlan> Generator::program(const Course& c, const DateTime& date, bool main_graded) {
    int young = date.month >= 6 ? 11 : 12;
    int older = date.month >= 6 ? 13 : 14;
    bool jump_day = date.weekday() == 6 && rng_.chance(0.6);
    struct Slot {
        int type;
        Level level;
        int surface;  // 0 turf, 1 dirt, 2 either
    } slots[12] = {
        {young, Level::Maiden, 1}, {young, Level::Maiden, 0}, {young, Level::Maiden, 2},
        {young, Level::Debut, 2},  {older, Level::C1, 1},     {older, Level::C1, 0},
        {older, Level::C1, 2},     {older, Level::C2, 1},     {older, Level::C2, 0},
        {older, Level::C3, 2},     {older, Level::Open, 0},   {older, Level::C2, 1},
    };
    std::vector<RacePlan> plans;
    for (int i = 0; i < 12; ++i) {
        RacePlan p;
        p.number = i + 1;
        p.type = slots[i].type;
        p.level = slots[i].level;
        p.turf = slots[i].surface == 0 || (slots[i].surface == 2 && rng_.chance(0.5));
        if (i == 4 && jump_day) {
            p.jump = true;
            p.type = 18;
            p.level = rng_.chance(0.6) ? Level::Maiden : Level::Open;
            p.turf = true;
            static const int jump_distances[] = {2880, 3000, 3300, 3350};
            p.distance = jump_distances[rng_.below(4)];
            p.track = 54;
        } else {
            std::vector<int> choices = p.turf ? c.turf : c.dirt;
            if (p.level == Level::Debut || p.level == Level::Maiden) {
                std::erase_if(choices, [](int d) { return d > 2000; });
                if (choices.empty()) choices = {p.turf ? c.turf.front() : c.dirt.front()};
            }
            p.distance = rng_.pick(choices);
            p.track = p.turf ? turf_track(c, p.distance) : (c.left_handed ? 23 : 24);
        }
        p.weight_type = (p.level == Level::Debut || p.level == Level::Maiden) ? 3 : 4;
        p.name = class_name(p);
        if (i >= 8 && i != 11 && !p.jump) {
            // The day's special races carry names; the main race may be graded.
            p.grade = 'E';
            std::string base = rng_.pick(special_names());
            p.name = base + (p.level == Level::Open ? "ステークス" : "特別");
            p.weight_type = p.level == Level::C3 && rng_.chance(0.4) ? 1 : 2;
            if (i == 10 && main_graded) {
                static const char grades[] = {'A', 'B', 'C', 'C', 'D'};
                p.grade = grades[rng_.below(5)];
                p.name =
                    cp932::to_utf8(racecourse_name(c.code)) + (p.grade == 'A' ? "大賞典"
                                                               : p.grade == 'D' ? "ハンデキャップ"
                                                                                : "記念");
                p.weight_type = p.grade == 'A' ? 4 : p.grade == 'D' ? 1 : 2;
            }
        }
        plans.push_back(p);
    }
    return plans;
}

bool Generator::eligible(const Horse& h, const RacePlan& plan, int race_year, long day) const {
    if (h.next_due > day || h.last_run == day) return false;
    if (h.jumper != plan.jump) return false;
    int age = race_year - h.birth_year;
    switch (plan.type) {
        case 11:
            if (age != 2) return false;
            break;
        case 12:
            if (age != 3) return false;
            break;
        case 14:
            if (age < 4) return false;
            break;
        default:
            if (age < 3) return false;
    }
    if (age > 9) return false;
    switch (plan.level) {
        case Level::Debut:
            return h.runs == 0;
        case Level::Maiden:
            return h.wins == 0 && h.runs > 0;
        case Level::C1:
            return h.wins == 1;
        case Level::C2:
            return h.wins == 2;
        case Level::C3:
            return h.wins == 3;
        case Level::Open:
            return h.wins >= 4 || (plan.jump && h.wins >= 1);
    }
    return false;
}

std::vector<Horse*> Generator::field(const RacePlan& plan, int race_year, long day, int size) {
    std::vector<Horse*> candidates;
    for (auto& h : horses_) {
        if (eligible(*h, plan, race_year, day)) candidates.push_back(h.get());
    }
    // The horses waiting longest come first, with some chance in who is entered.
    std::sort(candidates.begin(), candidates.end(), [](const Horse* a, const Horse* b) {
        return a->next_due != b->next_due ? a->next_due < b->next_due : a->pedigree < b->pedigree;
    });
    if (candidates.size() > static_cast<std::size_t>(size) * 2) candidates.resize(size * 2);
    for (std::size_t i = candidates.size(); i > 1; --i) {
        std::swap(candidates[i - 1],
                  candidates[static_cast<std::size_t>(rng_.below(static_cast<int>(i)))]);
    }
    if (candidates.size() > static_cast<std::size_t>(size)) candidates.resize(size);
    int youngest_age = plan.type == 11 ? 2 : plan.type == 12 ? 3 : plan.type == 14 ? 4 : 3;
    while (static_cast<int>(candidates.size()) < size) {
        int age = plan.type == 11 || plan.type == 12 ? youngest_age : youngest_age + rng_.below(4);
        if (plan.level == Level::Debut) age = youngest_age;
        Level level = plan.level;
        if (plan.jump && level == Level::Open) level = Level::C1;
        Horse& h = new_horse(race_year - age, level, plan.jump, day);
        candidates.push_back(&h);
    }
    return candidates;
}

void Generator::run(const RacePlan& plan, const Course& c, int going_turf, int going_dirt,
                    std::vector<Runner>& runners) {
    int going = plan.turf ? going_turf : going_dirt;
    double base =
        plan.jump ? plan.distance * 0.0655 : standard_time(plan.distance, plan.turf) * c.speed;
    if (going >= 3) base *= plan.turf ? 1.018 : 0.994;
    if (going == 2) base *= plan.turf ? 1.006 : 0.998;
    double pace = rng_.normal(0, 0.004);
    double base3f = plan.turf ? 34.9 : 37.7;
    base3f += (plan.distance - 1600) * 0.0006;
    if (going >= 3) base3f += plan.turf ? 0.7 : -0.2;
    base3f += rng_.normal(0, 0.5);
    for (auto& r : runners) {
        const Horse& h = *r.horse;
        double fit = (plan.turf ? h.turf_preference : -h.turf_preference) * 0.6 -
                     std::abs(std::log(static_cast<double>(plan.distance) / h.best_distance)) * 5.0;
        r.expected = h.ability + fit + jockeys()[static_cast<std::size_t>(r.jockey)].skill +
                     rng_.normal(0, 0.7);
        r.performance = h.ability + fit + jockeys()[static_cast<std::size_t>(r.jockey)].skill +
                        rng_.normal(0, 1.4);
        r.time = base * (1.0 + pace) * (1.0 + (100.0 - r.performance) / 220.0);
        double l3 = base3f + (100.0 - r.performance) * 0.09 - h.kick * 0.35 + rng_.normal(0, 0.3);
        r.last3f_tenths = static_cast<int>(std::lround(std::clamp(l3, 31.5, 45.0) * 10));
    }
    std::vector<Runner*> order;
    for (auto& r : runners) order.push_back(&r);
    std::sort(order.begin(), order.end(), [](const Runner* a, const Runner* b) {
        return a->time != b->time ? a->time < b->time : a->number < b->number;
    });
    // A dead heat now and then, for one of the first three places.
    int dead_heat = rng_.chance(0.006) ? 1 + rng_.below(3) : 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i]->time_tenths = static_cast<int>(std::lround(order[i]->time * 10));
        if (i > 0) {
            order[i]->time_tenths = std::max(order[i]->time_tenths, order[i - 1]->time_tenths);
        }
        order[i]->position = static_cast<int>(i) + 1;
        if (dead_heat > 0 && static_cast<int>(i) == dead_heat && i > 0) {
            order[i]->time_tenths = order[i - 1]->time_tenths;
            order[i]->position = order[i - 1]->position;
        }
    }
}

Generator::DayOutput Generator::race_day(const DateTime& date, int week_number, bool today,
                                         SampleFeedSummary& sum) {
    DayOutput out;
    long day = days_from_civil(date.year, date.month, date.day);
    int weekday = date.weekday();  // 0 Sunday .. 6 Saturday
    const char* weekday_code = weekday == 6 ? "1" : weekday == 0 ? "2" : nullptr;
    std::string weekday_text = weekday_code ? weekday_code : std::to_string(weekday + 3);
    DateTime card_day = date.plus_days(-1);
    DateTime result_day = date.plus_days(1);
    std::vector<std::string> course_codes = courses_of(date.month, week_number);
    int block = (date.year * 100 + date.month);
    bool graded_done = false;
    for (std::size_t ci = 0; ci < course_codes.size(); ++ci) {
        const Course& c = course(course_codes[ci]);
        // A meeting (kai) runs through one month at a course; nichi counts its days.
        auto& meeting = meetings_[c.code];
        if (meeting_block_[c.code] != block) {
            if (meeting_block_[c.code] / 100 != date.year) meeting.first = 0;
            meeting_block_[c.code] = block;
            meeting.first += 1;
            meeting.second = 0;
        }
        meeting.second += 1;
        int kai = meeting.first;
        int nichi = meeting.second;
        auto going_of = [&](bool turf) {
            int g = rng_.below(100);
            if (turf) return g < 72 ? 1 : g < 88 ? 2 : g < 96 ? 3 : 4;
            return g < 55 ? 1 : g < 78 ? 2 : g < 92 ? 3 : 4;
        };
        int going_turf = going_of(true);
        int going_dirt = going_of(false);
        bool main_graded = !graded_done && weekday == 0;
        graded_done = graded_done || main_graded;
        ++sum.days;
        for (const RacePlan& plan : program(c, date, main_graded)) {
            int size = plan.jump ? 8 + rng_.below(7)
                                 : std::clamp(static_cast<int>(std::lround(rng_.normal(14.2, 2.6))),
                                              8, 18);
            std::vector<Horse*> horses = field(plan, date.year, day, size);
            std::vector<Runner> runners;
            for (int i = 0; i < size; ++i) {
                Runner r;
                r.horse = horses[static_cast<std::size_t>(i)];
                r.number = i + 1;
                r.bracket = bracket_number(size, r.number);
                r.jockey = rng_.chance(0.7) ? r.horse->jockey
                                            : rng_.below(static_cast<int>(jockeys().size()));
                int age = date.year - r.horse->birth_year;
                int weight = age <= 2 ? 550 : plan.jump ? 600 : 570;
                if (plan.type != 11 && plan.type != 12 && age == 3) weight -= 20;
                if (r.horse->sex == '2') weight -= 20;
                if (plan.weight_type == 1) weight += (r.horse->wins - 2) * 10 + rng_.below(3) * 5;
                if (plan.weight_type == 2) weight += std::min(r.horse->wins, 6) * 5;
                char apprentice = jockeys()[static_cast<std::size_t>(r.jockey)].apprentice;
                if (apprentice >= '1' && apprentice <= '3' && plan.grade == ' ') {
                    weight -= (apprentice - '0') * 10;
                }
                r.weight = weight;
                runners.push_back(r);
            }
            run(plan, c, going_turf, going_dirt, runners);
            ++sum.races;
            sum.runners += size;

            // The race record, as card and as result.
            static const int start_times[] = {950,  1020, 1050, 1120, 1210, 1240,
                                              1310, 1340, 1415, 1450, 1525, 1600};
            int start = start_times[plan.number - 1] + static_cast<int>(ci) * 5;
            if (start % 100 >= 60) start += 40;
            RecordBuilder ra(RecordKind::Race);
            ra.race(date.date_number(), c.code, kai, nichi, plan.number)
                .text(ra::weekday, weekday_text)
                .text(ra::race_name, sj(plan.name))
                .text(ra::grade, std::string(1, plan.grade))
                .number(ra::race_type, plan.type)
                .number(ra::weight_type, plan.weight_type)
                .number(ra::distance, plan.distance)
                .number(ra::track, plan.track)
                .number(ra::start_time, start)
                .number(ra::entries, size)
                .number(ra::turf_going, going_turf)
                .number(ra::dirt_going, going_dirt);
            std::string short_name = sj(plan.name);
            short_name = std::string(cp932::cut(short_name, 12));
            while (short_name.size() + 2 <= 12) short_name += sj("　");
            ra.text(ra::short_name, short_name);
            const char* cond = condition_code(plan.level);
            Field youngest_field = plan.type == 11   ? ra::condition_age2
                                   : plan.type == 12 ? ra::condition_age3
                                   : plan.type == 14 ? ra::condition_age4
                                                     : ra::condition_age3;
            for (Field f : {ra::condition_age2, ra::condition_age3, ra::condition_age4,
                            ra::condition_age5up}) {
                bool applies =
                    f.offset == youngest_field.offset ||
                    (f.offset > youngest_field.offset && plan.type != 11 && plan.type != 12);
                ra.text(f, applies ? cond : "000");
            }
            ra.text(ra::condition_youngest, cond);
            RecordBuilder card_ra = ra;
            card_ra.text(header::category, "2").number(header::created, card_day.date_number());
            out.cards += card_ra.str();
            RecordBuilder final_ra = ra;
            final_ra.text(header::category, today ? "6" : "7")
                .number(header::created, result_day.date_number());
            (today ? out.realtime : out.results) += final_ra.str();

            for (const Runner& r : runners) {
                const Horse& h = *r.horse;
                RecordBuilder se(RecordKind::Runner);
                se.race(date.date_number(), c.code, kai, nichi, plan.number)
                    .number(se::bracket, r.bracket)
                    .number(se::horse_number, r.number)
                    .text(se::pedigree, h.pedigree)
                    .text(se::horse_name, sj(h.name))
                    .text(se::sex, std::string(1, h.sex))
                    .number(se::age, date.year - h.birth_year)
                    .number(se::carried_weight, r.weight)
                    .text(se::blinker, h.blinker ? "1" : "0")
                    .text(se::jockey, sj(jockeys()[static_cast<std::size_t>(r.jockey)].name))
                    .text(se::apprentice,
                          std::string(1, jockeys()[static_cast<std::size_t>(r.jockey)].apprentice));
                RecordBuilder card_se = se;
                card_se.text(header::category, "2").number(header::created, card_day.date_number());
                out.cards += card_se.str();
                se.text(header::category, today ? "6" : "7")
                    .number(header::created, result_day.date_number())
                    .number(se::finish, r.position)
                    .text(se::running_time, running_time_text(r.time_tenths))
                    .number(se::last_three_furlongs, r.last3f_tenths % 1000);
                (today ? out.realtime : out.results) += se.str();
            }

            // Payouts from the market's view of the field.
            double top = -1e9;
            for (const Runner& r : runners) top = std::max(top, r.expected);
            std::vector<double> p;
            double total = 0;
            for (const Runner& r : runners) {
                p.push_back(std::exp((r.expected - top) / 0.9));
                total += p.back();
            }
            for (double& v : p) v /= total;
            auto quinella_p = [&](int a, int b) {
                double pa = p[static_cast<std::size_t>(a - 1)];
                double pb = p[static_cast<std::size_t>(b - 1)];
                return pa * pb / std::max(1e-9, 1 - pa) + pb * pa / std::max(1e-9, 1 - pb);
            };
            std::vector<std::pair<int, int>> quinella, wide;
            std::set<std::pair<int, int>> brackets;
            for (const Runner& a : runners) {
                for (const Runner& b : runners) {
                    if (a.number >= b.number) continue;
                    if (a.position <= 2 && b.position <= 2 &&
                        !(a.position == 2 && b.position == 2)) {
                        quinella.emplace_back(a.number, b.number);
                        brackets.emplace(std::min(a.bracket, b.bracket),
                                         std::max(a.bracket, b.bracket));
                    }
                    if (a.position <= 3 && b.position <= 3 &&
                        !(a.position == 3 && b.position == 3)) {
                        wide.emplace_back(a.number, b.number);
                    }
                }
            }
            RecordBuilder hr(RecordKind::Payout);
            hr.race(date.date_number(), c.code, kai, nichi, plan.number)
                .text(header::category, today ? "1" : "2")
                .number(header::created, result_day.date_number());
            auto pair_digits = [](int x, int y) {
                char text[16];
                std::snprintf(text, sizeof text, "%02d%02d", x, y);
                return std::string(text);
            };
            int k = 0;
            if (size >= 9) {
                for (auto [x, y] : brackets) {
                    if (k >= hr::bracket_quinella.entries) break;
                    double prob = 0;
                    for (const Runner& a : runners) {
                        for (const Runner& b : runners) {
                            if (a.number < b.number && ((a.bracket == x && b.bracket == y) ||
                                                        (a.bracket == y && b.bracket == x))) {
                                prob += quinella_p(a.number, b.number);
                            }
                        }
                    }
                    hr.payout(hr::bracket_quinella, k++, std::to_string(x) + std::to_string(y),
                              round_payout(77.5 / std::max(prob, 1e-7)));
                }
            }
            k = 0;
            for (auto [x, y] : quinella) {
                if (k >= hr::quinella.entries) break;
                hr.payout(hr::quinella, k++, pair_digits(x, y),
                          round_payout(77.5 / std::max(quinella_p(x, y), 1e-7)));
            }
            k = 0;
            for (auto [x, y] : wide) {
                if (k >= hr::wide.entries) break;
                double prob = std::min(0.92, quinella_p(x, y) * 2.7 + 0.01);
                hr.payout(hr::wide, k++, pair_digits(x, y), round_payout(77.5 / prob));
            }
            (today ? out.realtime : out.results) += hr.str();

            // Careers go on: winners move up, every runner rests a few weeks.
            for (const Runner& r : runners) {
                Horse& h = *r.horse;
                h.runs += 1;
                if (r.position == 1) h.wins += 1;
                if (date.year - h.birth_year <= 3) h.ability += rng_.normal(0.25, 0.3);
                h.last_run = day;
                h.next_due = day + 14 + rng_.below(5) * 7;
            }
        }
    }
    return out;
}

void write_feed_file(const fs::path& file, const std::string& records, SampleFeedSummary& sum) {
    if (records.empty()) return;
    fs::create_directories(file.parent_path());
    replace_file(file, records);
    ++sum.files;
}

std::string stamp(const DateTime& day, const char* time) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%08d%s", day.date_number(), time);
    return buffer;
}

}  // namespace

SampleFeedSummary make_sample_feed(const fs::path& folder, const SampleFeedOptions& options) {
    SampleFeedSummary sum;
    DateTime today = DateTime::now();
    if (options.today != 0) {
        today = DateTime{
            options.today / 10000, options.today / 100 % 100, options.today % 100, 9, 0, 0};
    }
    today.hour = 9;
    today.minute = today.second = 0;
    DateTime yesterday = today.plus_days(-1);

    // Race days: the weekends of the past weeks, then yesterday and today.
    std::vector<DateTime> days;
    for (int back = options.weeks * 7; back >= 2; --back) {
        DateTime d = today.plus_days(-back);
        if (d.weekday() == 6 || d.weekday() == 0) days.push_back(d);
    }
    days.push_back(yesterday);
    days.push_back(today);

    Generator generator(options);
    fs::create_directories(folder);
    for (const DateTime& d : days) {
        bool is_today = d == today;
        long since_epoch = days_from_civil(d.year, d.month, d.day);
        int week_number = static_cast<int>((since_epoch + 3) / 7);
        Generator::DayOutput out = generator.race_day(d, week_number, is_today, sum);
        std::string date = std::to_string(d.date_number());
        write_feed_file(folder / (stamp(d.plus_days(-1), "170000") + "_CARDS_" + date + ".txt"),
                        out.cards, sum);
        write_feed_file(folder / (stamp(d.plus_days(1), "160000") + "_RESULTS_" + date + ".txt"),
                        out.results, sum);
        write_feed_file(folder / "0B12" / (date + "_RESULTS.txt"), out.realtime, sum);
    }
    sum.horses = generator.horses();
    return sum;
}

}  // namespace tolven
