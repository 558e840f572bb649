// Writes the seed corpus of the fuzz targets, made from the sample feed:
//   tolven-fuzz-seeds OUT
// gives OUT/filing, OUT/day_load, OUT/user_file and OUT/cp932. The seeds are
// made at build time, so no large input file is kept in the repository.
#include <cstdio>
#include <exception>
#include <fstream>
#include <stdlib.h>

#include "fuzz_support.hpp"
#include "sample/sample_feed.hpp"
#include "model/user_file.hpp"
#include "pipeline/day_loader.hpp"
#include "prediction/user_prediction.hpp"
#include "store/atomic_file.hpp"
#include "store/catalogue.hpp"
#include "store/cp932.hpp"
#include "store/data_store.hpp"
#include "support/sample_store.hpp"

namespace fs = std::filesystem;
using namespace tolven;

namespace {

constexpr std::size_t kRecordsPerSeed = 6;
constexpr int kSeedsPerTarget = 48;

class Seeds {
  public:
    Seeds(fs::path folder) : folder_(std::move(folder)) { fs::create_directories(folder_); }
    bool full() const { return count_ >= kSeedsPerTarget; }
    void add(std::string_view content) {
        if (full()) return;
        char name[32];
        std::snprintf(name, sizeof name, "seed-%03d", count_++);
        std::ofstream out(folder_ / name, std::ios::binary);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
    }

  private:
    fs::path folder_;
    int count_ = 0;
};

std::vector<std::string> lines_of(const fs::path& file) {
    auto content = read_file_if_exists(file);
    return content ? split_lines(*content) : std::vector<std::string>{};
}

std::vector<std::string> first(std::vector<std::string> lines, std::size_t n) {
    if (lines.size() > n) lines.resize(n);
    return lines;
}

// Feed files cut into seeds of a few records each, every kind represented.
void filing_seeds(const fs::path& feed, Seeds& seeds) {
    std::vector<fs::path> files;
    for (const auto& e : fs::recursive_directory_iterator(feed)) {
        if (e.is_regular_file()) files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
    // A few chunks of each file, files taken evenly across the feed.
    std::size_t stride = std::max<std::size_t>(1, files.size() / kSeedsPerTarget * 2);
    for (std::size_t f = 0; f < files.size() && !seeds.full(); f += stride) {
        std::vector<std::string> records = lines_of(files[f]);
        for (std::size_t at = 0; at < records.size() && at < 3 * kRecordsPerSeed;
             at += kRecordsPerSeed) {
            std::vector<std::string> chunk(
                records.begin() + static_cast<std::ptrdiff_t>(at),
                records.begin() +
                    static_cast<std::ptrdiff_t>(std::min(records.size(), at + kRecordsPerSeed)));
            seeds.add(join_lines(chunk));
        }
    }
}

// Days packed as the day-load target reads them: two races of the day, their
// runner slots and payouts, one horse's file and the meeting file of its
// latest run.
void day_load_seeds(const fs::path& base, const std::vector<std::string>& days, Seeds& seeds) {
    DataStore store(base);
    std::string marker(fuzz::kPartMarker);
    for (const auto& entry : days) {
        if (seeds.full()) break;
        std::vector<std::string> runners = first(lines_of(store.day_file(entry, ".jvSEr")), 36);
        std::string horse, meeting;
        for (const auto& se : runners) {
            std::string_view pedigree = field_text(se, se::pedigree);
            if (!pedigree_names_a_file(pedigree)) continue;
            std::vector<std::string> runs = lines_of(store.horse_file(pedigree));
            if (runs.size() < 2) continue;
            horse = join_lines(runs);
            const std::string& run = runs.front();
            meeting = join_lines(lines_of(store.meeting_file(field_text(run, header::year),
                                                             field_text(run, header::month_day),
                                                             field_text(run, header::course))));
            break;
        }
        seeds.add(join_lines(first(lines_of(store.day_file(entry, ".jvRA")), 2)) + marker +
                  join_lines(runners) + marker +
                  join_lines(first(lines_of(store.day_file(entry, ".jvHR")), 2)) + marker + horse +
                  marker + meeting);
    }
}

// The skeleton and user files after clicks of a loaded day.
void user_file_seeds(const fs::path& base, const std::vector<std::string>& days, Seeds& seeds) {
    seeds.add(join_lines(user_file_skeleton()));
    int click = 0;
    for (const auto& entry : days) {
        if (seeds.full()) break;
        RaceDay day;
        if (!load_race_day(day, base, entry).built || day.race_count < 2) continue;
        for (int k = 0; k < 6; ++k, ++click) {
            int n = click % 2;
            toggle_check_item(day, n, 1 + click % std::max(1, day.runners(n)), 3 + click % 12);
        }
        seeds.add(read_file(day.user_file));
    }
}

void cp932_seeds(const fs::path& base, const std::vector<std::string>& days, Seeds& seeds) {
    for (const char* text : {"データ作成が未完了のようです。", "【TOLVEN for JRA-VAN Data Lab.】",
                             "R[ワイド]：　", "ｾﾝﾌﾞﾘﾝ", "①ⅠⅡ㈱∑"}) {
        seeds.add(text);
        seeds.add(sj(text));
    }
    DataStore store(base);
    for (const auto& entry : days) {
        if (seeds.full()) break;
        seeds.add(entry);
        for (const auto& line : first(lines_of(store.day_file(entry, ".jvSEr")), 2))
            seeds.add(line);
        for (const auto& line : first(lines_of(store.day_file(entry, ".jvRA")), 1)) seeds.add(line);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tolven-fuzz-seeds OUT\n");
        return 2;
    }
    try {
        fs::path out = argv[1];
        std::string pattern = (fs::temp_directory_path() / "tolven-seeds-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        fs::path work = pattern;
        fs::path base = work / "base";
        testing::import_sample_feed(base, SampleFeedOptions{3, 2, 20261206},
                                    DateTime{2026, 12, 6, 9});
        std::vector<std::string> days =
            list_race_days(base / "Data", DateFilter::Any, 0, DateTime{});

        fs::remove_all(out);
        Seeds filing(out / "filing"), day_load(out / "day_load"), user(out / "user_file"),
            cp932_text(out / "cp932");
        filing_seeds(base / "feed", filing);
        day_load_seeds(base, days, day_load);
        user_file_seeds(base, days, user);
        cp932_seeds(base, days, cp932_text);
        fs::remove_all(work);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tolven-fuzz-seeds: %s\n", e.what());
        return 1;
    }
}
