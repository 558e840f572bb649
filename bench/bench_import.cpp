// Imports a season of sample feed through FeedLink and the import controller
// and compares the time with the floor: reading the feed and writing the
// final store files once.
//
//   bench_import [--weeks N] [DIR]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "jvlink/feed_link.hpp"
#include "jvlink/import.hpp"
#include "jvlink/result_text.hpp"
#include "jvlink/sample_feed.hpp"
#include "store/atomic_file.hpp"
#include "store/data_store.hpp"

namespace fs = std::filesystem;
using namespace tolven;

namespace {

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    int weeks = 30;
    fs::path dir = fs::temp_directory_path() / "tolven-bench-import";
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--weeks" && i + 1 < argc) {
            weeks = std::atoi(argv[++i]);
        } else {
            dir = arg;
        }
    }
    fs::remove_all(dir);
    SampleFeedOptions options;
    options.weeks = weeks;
    SampleFeedSummary sum = make_sample_feed(dir / "feed", options);

    DataStore store(dir / "base");
    store.create_folders();
    FeedLink link(dir / "feed", dir / "base" / "JVCache");
    link.JVInit(jvlink_sid());
    CancelFlag cancel;
    SilentImportHost host;
    ImportController import(link, store, cancel, host);
    import.open();
    auto start = std::chrono::steady_clock::now();
    import.start();
    while (import.downloading()) import.status_tick();
    double importing = seconds_since(start);

    // What the feed delivered, for the record count.
    std::size_t records = 0;
    std::map<fs::path, std::string> feed_files, store_files;
    for (const auto& e : fs::recursive_directory_iterator(dir / "feed")) {
        if (e.is_regular_file()) feed_files[e.path()];
    }
    for (const char* area : {"Data", "SEI", "SEIR"}) {
        for (const auto& e : fs::recursive_directory_iterator(dir / "base" / area)) {
            if (e.is_regular_file()) store_files[e.path()] = read_file(e.path());
        }
    }

    // The floor: read the feed, write the final store once.
    start = std::chrono::steady_clock::now();
    for (auto& [path, content] : feed_files) {
        if (path.parent_path().filename() == "0B12") continue;  // realtime data is not imported
        content = read_file(path);
        records += split_lines(content).size();
    }
    fs::path floor_base = dir / "floor";
    for (const auto& [path, content] : store_files) {
        fs::path target = floor_base / fs::relative(path, dir / "base");
        fs::create_directories(target.parent_path());
        replace_file(target, content);
    }
    double floor = seconds_since(start);

    std::printf("sample feed:          %d weeks, %d race days, %d races, %d runners, %d horses\n",
                weeks, sum.days, sum.races, sum.runners, sum.horses);
    std::printf("records imported:     %zu (%d store writes)\n", records, host.built_lines);
    std::printf("import:               %.3f s, %.0f records/s\n", importing,
                static_cast<double>(records) / importing);
    std::printf("floor:                %.3f s (read the feed, write %zu final files once)\n", floor,
                store_files.size());
    std::printf("ratio import / floor: %.1f\n", importing / floor);
    fs::remove_all(dir);
    return 0;
}
