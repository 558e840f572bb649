// Writes sample feeds of several lengths and prints how long each took, how
// large it is and the peak memory of the process.
//
//   bench_sample_feed [--weeks N ...] [DIR]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "sample/sample_feed.hpp"

namespace fs = std::filesystem;
using namespace tolven;

int main(int argc, char** argv) {
    std::vector<int> weeks;
    fs::path dir = fs::temp_directory_path() / "tolven-bench-sample-feed";
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--weeks" && i + 1 < argc) {
            weeks.push_back(std::atoi(argv[++i]));
        } else {
            dir = arg;
        }
    }
    if (weeks.empty()) weeks = {SampleFeedOptions{}.weeks, 30, 520};
    for (int w : weeks) {
        fs::remove_all(dir);
        SampleFeedOptions options;
        options.weeks = w;
        options.today = 20261207;
        auto start = std::chrono::steady_clock::now();
        SampleFeedSummary sum = make_sample_feed(dir, options);
        double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf(
            "--weeks %3d: %6.2f s, %5d + %3d race days, %6d races, %7d runners, %6d horses, "
            "%8lld records, %7.1f MB in %4d files\n",
            w, seconds, sum.days, sum.history_days, sum.races, sum.runners, sum.horses, sum.records,
            static_cast<double>(sum.bytes) / 1e6, sum.files);
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak memory %.1f MB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
    fs::remove_all(dir);
    return 0;
}
