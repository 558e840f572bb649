#include "sample/sample_world.hpp"

#include "store/cp932.hpp"

namespace tolven::sample {
namespace {

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

}  // namespace

const Course& course(std::string_view code) {
    for (const auto& c : courses()) {
        if (code == c.code) return c;
    }
    return courses().front();
}

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

int dirt_track(const Course& c) {
    return c.left_handed ? 23 : 24;
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

const std::vector<std::string>& name_syllables() {
    static const std::vector<std::string> syllables = {
        "ア", "カ", "サ", "タ", "ナ", "ハ", "マ", "ラ", "ワ", "イ",   "キ",   "シ",   "チ",
        "ニ", "リ", "ル", "レ", "ロ", "ン", "ド", "ガ", "ブ", "ヴィ", "ティ", "ファ", "ー"};
    return syllables;
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

std::size_t characters(std::string_view utf8) {
    std::size_t n = 0;
    for (unsigned char c : utf8) n += (c & 0xC0) != 0x80 ? 1 : 0;
    return n;
}

const std::vector<Jockey>& jockeys() {
    static const std::vector<Jockey> all = [] {
        struct Entry {
            const char* name;
            char apprentice;
            double skill;
        };
        static const Entry entries[] = {
            {"佐藤翔", ' ', 0.6},  {"高橋亮", ' ', 0.5},  {"鈴木健", ' ', 0.3},
            {"田中勝", ' ', 0.4},  {"伊藤大", ' ', 0.2},  {"渡辺誠", ' ', 0.5},
            {"山本光", ' ', 0.1},  {"中村蓮", ' ', 0.3},  {"小林拓", ' ', 0.0},
            {"加藤樹", ' ', 0.2},  {"吉田隼", ' ', 0.4},  {"山田敬", ' ', 0.1},
            {"松本大", ' ', 0.0},  {"井上崇", ' ', -0.1}, {"木村哲", ' ', 0.3},
            {"林徹", ' ', 0.0},    {"清水健", ' ', -0.1}, {"山口悠", ' ', 0.2},
            {"森一馬", ' ', 0.1},  {"池田裕", ' ', -0.2}, {"橋本陸", ' ', 0.0},
            {"阿部龍", ' ', 0.1},  {"石川裕", ' ', 0.0},  {"前田颯", ' ', -0.1},
            {"藤田菜", '3', -0.3}, {"岡田翼", '3', -0.4}, {"長谷川", '2', -0.2},
            {"村上拓", '1', -0.1}, {"近藤誠", ' ', 0.1},  {"坂井瑠", ' ', 0.5},
            {"横山武", ' ', 0.4},  {"西村淳", ' ', 0.0},  {"菅原明", ' ', 0.2},
            {"丹内祐", ' ', -0.1}, {"角田大", '2', -0.3}, {"永島ま", '1', -0.2},
        };
        std::vector<Jockey> list;
        for (const Entry& e : entries) list.push_back({sj(e.name), e.apprentice, e.skill});
        return list;
    }();
    return all;
}

}  // namespace tolven::sample
