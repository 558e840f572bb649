// Files a realistic stream of final records through the store writer and
// compares the time with simply writing the same final files once (the
// floor). With --record-by-record, also through the direct record-by-record
// path (each record read, merged and written back at once).
//
//   bench_store [--runners N] [--horses N] [--record-by-record] [DIR]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "store/atomic_file.hpp"
#include "store/data_store.hpp"
#include "store/record_builder.hpp"
#include "store/store_writer.hpp"

namespace fs = std::filesystem;
using namespace tolven;

namespace {

struct Stream {
    std::vector<std::string> races;
    std::vector<std::string> runners;
};

// Meetings on weekends, 12 races each, horses drawn from a fixed population,
// so every horse runs several times and its per-horse file is merged again
// and again, as in a real import.
Stream make_stream(int runner_target, int horses) {
    std::mt19937 random(42);
    Stream stream;
    const char* courses[] = {"05", "06", "08", "09"};
    int day = 0;
    while (static_cast<int>(stream.runners.size()) < runner_target) {
        int date = 20240000 + (1 + (day / 8) % 12) * 100 + 1 + (day % 8) * 3;
        for (int c = 0; c < 2; ++c) {
            for (int r = 1; r <= 12; ++r) {
                std::string course = courses[(day + c) % 4];
                stream.races.push_back(RecordBuilder(RecordKind::Race)
                                           .text(header::category, "7")
                                           .race(date, course, 1 + day / 8, 1 + day % 8, r)
                                           .number(ra::entries, 16)
                                           .str());
                for (int h = 1; h <= 16; ++h) {
                    int horse = static_cast<int>(random() % static_cast<unsigned>(horses));
                    stream.runners.push_back(RecordBuilder(RecordKind::Runner)
                                                 .text(header::category, "7")
                                                 .race(date, course, 1 + day / 8, 1 + day % 8, r)
                                                 .number(se::bracket, (h + 1) / 2)
                                                 .number(se::horse_number, h)
                                                 .number(se::pedigree, 2020100000LL + horse)
                                                 .str());
                }
            }
        }
        ++day;
    }
    return stream;
}

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    int runner_target = 20000;
    int horses = 3000;
    bool record_by_record = false;
    fs::path dir = fs::temp_directory_path() / "tolven-bench-store";
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--runners" && i + 1 < argc) {
            runner_target = std::atoi(argv[++i]);
        } else if (arg == "--horses" && i + 1 < argc) {
            horses = std::atoi(argv[++i]);
        } else if (arg == "--record-by-record") {
            record_by_record = true;
        } else {
            dir = arg;
        }
    }
    Stream stream = make_stream(runner_target, horses);
    std::size_t records = stream.races.size() * 2 + stream.runners.size() * 2;

    // Filing as the import does: every record through keyed merge or slot
    // store, into the writer's copies, then one commit.
    fs::remove_all(dir);
    DataStore store(dir / "filed");
    store.create_folders();
    sync();
    auto start = std::chrono::steady_clock::now();
    {
        StoreWriter writer(store);
        for (const auto& r : stream.races) {
            writer.store(StoreFile::DayRaces, r);
            writer.store(StoreFile::MeetingRaces, r);
        }
        for (const auto& r : stream.runners) {
            writer.store(StoreFile::DayRunners, r);
            writer.store(StoreFile::HorseRuns, r);
        }
        writer.commit();
    }
    double filing = seconds_since(start);

    double direct = 0;
    if (record_by_record) {
        DataStore direct_store(dir / "direct");
        direct_store.create_folders();
        sync();
        start = std::chrono::steady_clock::now();
        for (const auto& r : stream.races) {
            direct_store.store(StoreFile::DayRaces, r);
            direct_store.store(StoreFile::MeetingRaces, r);
        }
        for (const auto& r : stream.runners) {
            direct_store.store(StoreFile::DayRunners, r);
            direct_store.store(StoreFile::HorseRuns, r);
        }
        direct = seconds_since(start);
    }

    // The floor: the same final files, each written once.
    std::map<fs::path, std::vector<std::string>> files;
    DataStore floor_store(dir / "floor");
    floor_store.create_folders();
    for (const auto& r : stream.races) {
        std::string line(without_line_break(r));
        files[floor_store.day_file(day_key(r), ".jvRA")].push_back(line);
        files[floor_store.meeting_file(field_text(r, header::year),
                                       field_text(r, header::month_day),
                                       field_text(r, header::course))]
            .push_back(line);
    }
    for (const auto& r : stream.runners) {
        files[floor_store.horse_file(field_text(r, se::pedigree))].emplace_back(
            without_line_break(r));
        files[floor_store.day_file(day_key(r), ".jvSEr")].emplace_back(without_line_break(r));
    }
    sync();
    start = std::chrono::steady_clock::now();
    for (const auto& [path, lines] : files) {
        fs::create_directories(path.parent_path());
        replace_file(path, join_lines(lines));
    }
    double floor = seconds_since(start);

    std::printf("records filed:        %zu (%zu race, %zu runner records, each to two files)\n",
                records, stream.races.size(), stream.runners.size());
    std::printf("files written:        %zu\n", files.size());
    std::printf("filing (writer):      %.3f s, %.0f records/s\n", filing,
                static_cast<double>(records) / filing);
    std::printf("writing final files:  %.3f s (floor)\n", floor);
    std::printf("ratio filing / floor: %.1f\n", filing / floor);
    if (record_by_record) {
        std::printf("record by record:     %.3f s, %.0f records/s, ratio to the floor %.1f\n",
                    direct, static_cast<double>(records) / direct, direct / floor);
    }
    fs::remove_all(dir);
    return 0;
}
