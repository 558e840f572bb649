// Loads a full day (12 races of 18 runners, each with five earlier runs) with
// the calculation run, and compares the median time with the floor: reading
// the same files without parsing them.
//
//   bench_load [--runs N] [DIR]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "pipeline/day_loader.hpp"
#include "store/atomic_file.hpp"
#include "store/cp932.hpp"
#include "store/data_store.hpp"
#include "store/record_builder.hpp"

namespace fs = std::filesystem;
using namespace tolven;

namespace {

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// A day of 216 runners, every horse with six earlier runs at other meetings.
std::vector<fs::path> write_day(const DataStore& store) {
    const int date = 20261205;
    std::set<fs::path> files;
    for (int n = 1; n <= 12; ++n) {
        std::string ra = RecordBuilder(RecordKind::Race)
                             .race(date, "06", 5, 3, n)
                             .number(ra::distance, 1200 + (n % 6) * 200)
                             .number(ra::track, n % 2 ? 17 : 24)
                             .number(ra::entries, 18)
                             .str();
        files.insert(store.store(StoreFile::DayRaces, ra).file);
        for (int h = 1; h <= 18; ++h) {
            long long pedigree = 2021100000LL + n * 100 + h;
            std::string se = RecordBuilder(RecordKind::Runner)
                                 .race(date, "06", 5, 3, n)
                                 .number(se::bracket, (h + 1) / 2 > 8 ? 8 : (h + 1) / 2)
                                 .number(se::horse_number, h)
                                 .number(se::pedigree, pedigree)
                                 .str();
            files.insert(store.store(StoreFile::DayRunners, se).file);
            for (int j = 1; j <= 6; ++j) {
                int past = 20261205 - j * 14 * (j < 3 ? 1 : 2);
                int month = past / 100 % 100, day = past % 100;
                if (day < 1 || day > 28) past = past / 100 * 100 + 10;
                if (month < 1 || month > 12) past = 20260610;
                const char* course = j % 2 ? "05" : "08";
                files.insert(store
                                 .store(StoreFile::HorseRuns,
                                        RecordBuilder(RecordKind::Runner)
                                            .race(past, course, 4, 2, (h % 12) + 1)
                                            .number(se::pedigree, pedigree)
                                            .number(se::running_time, 1100 + j * 37 + h)
                                            .number(se::last_three_furlongs, 340 + h)
                                            .str())
                                 .file);
                files.insert(store
                                 .store(StoreFile::MeetingRaces,
                                        RecordBuilder(RecordKind::Race)
                                            .race(past, course, 4, 2, (h % 12) + 1)
                                            .number(ra::distance, 1200 + (h % 4) * 200)
                                            .number(ra::track, 17)
                                            .number(ra::turf_going, 1)
                                            .str())
                                 .file);
            }
        }
        files.insert(store
                         .store(StoreFile::DayPayouts,
                                RecordBuilder(RecordKind::Payout).race(date, "06", 5, 3, n).str())
                         .file);
    }
    return {files.begin(), files.end()};
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 51;
    fs::path dir = fs::temp_directory_path() / "tolven-bench-load";
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else {
            dir = arg;
        }
    }
    fs::remove_all(dir);
    DataStore store(dir);
    store.create_folders();
    std::vector<fs::path> files = write_day(store);
    std::string entry = sj("2026年12月05日中山");

    RaceDay day;
    std::vector<double> loads, floors;
    for (int i = 0; i < runs; ++i) {
        auto start = std::chrono::steady_clock::now();
        LoadOutcome outcome = load_race_day(day, dir, entry);
        loads.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
        if (!outcome.built || day.race_count != 12) {
            std::fprintf(stderr, "the day did not load\n");
            return 1;
        }
        start = std::chrono::steady_clock::now();
        std::size_t bytes = 0;
        for (const auto& f : files) bytes += read_file(f).size();
        floors.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
        if (bytes == 0) return 1;
    }
    std::printf("day:                 12 races x 18 runners, 5 earlier runs each, %zu files\n",
                files.size());
    std::printf("load + calculation:  median %.2f ms over %d loads\n", median(loads), runs);
    std::printf("floor (read files):  median %.2f ms\n", median(floors));
    std::printf("ratio load / floor:  %.1f\n", median(loads) / median(floors));
    fs::remove_all(dir);
    return 0;
}
