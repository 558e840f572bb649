// Imports a sample feed through FeedLink and the import controller, as
// tolven-cli import does, and compares the time with the floor: reading the
// feed and writing the final store files once. Then imports one new weekend
// into the store of the season (the incremental import).
//
//   bench_import [--weeks N] [--runs N] [--memory MB] [--no-incremental] [--no-flush] [DIR]
//
// --no-flush runs the imports with a file layer that skips every flush to the
// disk (fsync of files and folders), which shows what the flushes cost.
//
// Each import runs in a child process into a fresh base folder (its peak
// resident memory is the child's own); the best of --runs counts. The page
// cache is flushed (sync) before every timed step. The work folder is in
// /dev/shm where there is one (DIR names another).
#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "jvlink/feed_link.hpp"
#include "jvlink/import.hpp"
#include "jvlink/result_text.hpp"
#include "sample/sample_feed.hpp"
#include "store/atomic_file.hpp"
#include "store/data_store.hpp"
#include "store/file_layer.hpp"

namespace fs = std::filesystem;
using namespace tolven;

namespace {

using Clock = std::chrono::steady_clock;

bool no_flush = false;

class UnflushedFileLayer : public FileLayer {
  public:
    int sync(int) override { return 0; }
    int sync_folder(const char*) override { return 0; }
};

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Measured {
    double seconds = 0;
    double cpu_seconds = 0;  // user and system time of the process
    double peak_mb = 0;
    bool failed = false;
    StoreWriterStats stats;
};

// One import of the feed files after `from` into base, in a child process.
Measured import_in_child(const fs::path& base, const fs::path& feed, const DateTime& from,
                         std::size_t memory_limit) {
    sync();
    int pipe_fd[2];
    if (pipe(pipe_fd) != 0) std::exit(1);
    pid_t child = fork();
    if (child == 0) {
        close(pipe_fd[0]);
        DataStore store(base);
        store.create_folders();
        FeedLink link(feed, base / "JVCache");
        link.JVInit(jvlink_sid());
        CancelFlag cancel;
        SilentImportHost host;
        ImportController import(link, store, cancel, host);
        StoreWriterOptions options;
        options.memory_limit = memory_limit;
        options.redo_limit = 2 * memory_limit;
        import.set_writer_options(options);
        import.open();
        import.set_from_time(from);
        auto start = Clock::now();
        import.start();
        while (import.downloading()) import.status_tick();
        Measured m;
        m.seconds = seconds_since(start);
        m.failed = import.failed();
        m.stats = import.writer_stats();
        if (write(pipe_fd[1], &m, sizeof m) != sizeof m) _exit(2);
        _exit(0);
    }
    close(pipe_fd[1]);
    Measured m;
    bool got = read(pipe_fd[0], &m, sizeof m) == sizeof m;
    close(pipe_fd[0]);
    int status = 0;
    struct rusage usage {};
    wait4(child, &status, 0, &usage);
    if (!got || !WIFEXITED(status) || WEXITSTATUS(status) != 0) m.failed = true;
    m.peak_mb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    m.cpu_seconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                    static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return m;
}

std::vector<fs::path> stored_feed_files(const fs::path& feed) {
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(feed)) {
        if (e.is_regular_file()) files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::map<fs::path, std::string> store_files(const fs::path& base) {
    std::map<fs::path, std::string> files;
    for (const char* area : {"Data", "SEI", "SEIR"}) {
        for (const auto& e : fs::recursive_directory_iterator(base / area)) {
            if (e.is_regular_file()) files[fs::relative(e.path(), base)] = read_file(e.path());
        }
    }
    return files;
}

// The floor: read the feed files, write the given store files once (each
// through a temporary file and a rename, as the store does).
double floor_seconds(const std::vector<fs::path>& feed,
                     const std::map<fs::path, std::string>& files, const fs::path& target,
                     std::size_t* records) {
    sync();
    auto start = Clock::now();
    std::size_t count = 0;
    for (const auto& path : feed) count += split_lines(read_file(path)).size();
    for (const auto& [path, content] : files) {
        fs::create_directories((target / path).parent_path());
        replace_file(target / path, content);
    }
    double seconds = seconds_since(start);
    if (records) *records = count;
    return seconds;
}

// Links the files of a store into a fresh base folder: the writer replaces
// files by renaming, so the originals stay as they are.
void link_store(const fs::path& from, const fs::path& to) {
    for (const char* area : {"Data", "SEI", "SEIR"}) {
        fs::create_directories(to / area);
        for (const auto& e : fs::recursive_directory_iterator(from / area)) {
            fs::path target = to / fs::relative(e.path(), from);
            if (e.is_directory()) {
                fs::create_directories(target);
            } else {
                fs::create_hard_link(e.path(), target);
            }
        }
    }
}

void line(const char* what, const std::string& text) {
    std::printf("  %-34s %s\n", what, text.c_str());
}

__attribute__((format(printf, 1, 2))) std::string format(const char* f, ...) {
    char buffer[200];
    va_list args;
    va_start(args, f);
    std::vsnprintf(buffer, sizeof buffer, f, args);
    va_end(args);
    return buffer;
}

}  // namespace

int main(int argc, char** argv) {
    int weeks = 30;
    int runs = 3;
    std::size_t memory_mb = 256;
    bool incremental = true;
    // In memory where the system has it: a shared machine's disk varies the
    // floor several times over between runs, memory does not.
    std::error_code no_shm;
    fs::path dir = (fs::is_directory("/dev/shm", no_shm) ? fs::path("/dev/shm")
                                                          : fs::temp_directory_path()) /
                   "tolven-bench-import";
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--weeks" && i + 1 < argc) {
            weeks = std::atoi(argv[++i]);
        } else if (arg == "--runs" && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--memory" && i + 1 < argc) {
            memory_mb = static_cast<std::size_t>(std::atoi(argv[++i]));
        } else if (arg == "--no-incremental") {
            incremental = false;
        } else if (arg == "--no-flush") {
            no_flush = true;
        } else if (arg.starts_with('-')) {
            std::fprintf(stderr,
                         "usage: bench_import [--weeks N] [--runs N] [--memory MB] "
                         "[--no-incremental] [--no-flush] [DIR]\n");
            return arg == "--help" ? 0 : 2;
        } else {
            dir = arg;
        }
    }
    UnflushedFileLayer unflushed;
    std::optional<ScopedFileLayer> scoped;
    if (no_flush) scoped.emplace(unflushed);
    // A folder of its own: removing many files just before the timed steps
    // makes creating files slow for a while on some file systems.
    if (fs::exists(dir)) dir /= std::to_string(getpid());
    // A Monday: the last weekend is the new one of the incremental import.
    SampleFeedOptions options;
    options.weeks = weeks;
    options.today = 20261207;
    DateTime today{2026, 12, 7, 9, 0, 0};
    SampleFeedSummary sum = make_sample_feed(dir / "feed", options);
    std::vector<fs::path> feed = stored_feed_files(dir / "feed");
    std::size_t memory_limit = memory_mb << 20;

    std::printf(
        "import of a sample feed: %d weeks, %d race days, %d races, %d runners, %d horses\n", weeks,
        sum.days, sum.races, sum.runners, sum.horses);

    // The whole feed into an empty store, and the floor right after each
    // import, so that both meet the same state of a shared disk.
    Measured best;
    std::vector<double> times;
    std::map<fs::path, std::string> final_files;
    std::size_t records = 0;
    double floor = 1e9;
    std::string floors;
    for (int run = 0; run < runs; ++run) {
        Measured m = import_in_child(dir / ("base" + std::to_string(run)), dir / "feed",
                                     DateTime{2000, 1, 1, 0, 0, 0}, memory_limit);
        if (m.failed) {
            std::fprintf(stderr, "the import failed\n");
            return 1;
        }
        times.push_back(m.seconds);
        if (run == 0 || m.seconds < best.seconds) best = m;
        best.peak_mb = std::max(best.peak_mb, m.peak_mb);
        if (run == 0) final_files = store_files(dir / "base0");
        double f =
            floor_seconds(feed, final_files, dir / ("floor" + std::to_string(run)), &records);
        floors += format(floors.empty() ? "%.3f" : ", %.3f", f);
        floor = std::min(floor, f);
    }
    final_files.clear();
    double rate = static_cast<double>(records) / best.seconds;
    std::string all;
    for (double t : times) all += format(all.empty() ? "%.3f" : ", %.3f", t);
    line("records:", format("%zu, into %ld store files", records, best.stats.files_written));
    line("import:", format("%.3f s (best of ", best.seconds) + all +
                        format("; %.3f s of processor time)", best.cpu_seconds));
    line("floor:", format("%.3f s (best of ", floor) + floors +
                       "; read the feed, write the final files once)");
    line("records/s:", format("%.0f (target >= 50000: ratio %.2f)", rate, rate / 50000.0));
    line("import / floor:", format("%.2f (target <= 3)", best.seconds / floor));
    line("peak resident memory:", format("%.0f MB (writer memory limit %.0f MB)", best.peak_mb,
                                         static_cast<double>(memory_mb)));
    line("writer:", format("%d commits, %d memory flushes, %d checkpoints (redo log %zu KB)",
                           best.stats.commits, best.stats.memory_flushes, best.stats.checkpoints,
                           best.stats.redo_bytes >> 10));
    if (weeks >= 500) {
        line("ten seasons, time:",
             format("%.1f s (target < 15 s: ratio %.2f)", best.seconds, best.seconds / 15.0));
        line("ten seasons, peak memory:",
             format("%.0f MB (target < 400 MB: ratio %.2f)", best.peak_mb, best.peak_mb / 400.0));
    }

    if (incremental) {
        // The season without its last weekend, then that weekend.
        DateTime cut = today.plus_days(-4);
        cut.hour = cut.minute = cut.second = 0;
        fs::path old_feed = dir / "feed-season";
        fs::create_directories(old_feed);
        std::vector<fs::path> new_files;
        for (const auto& f : feed) {
            if (f.filename().string().substr(0, 14) > cut.digits()) {
                new_files.push_back(f);
            } else {
                fs::copy_file(f, old_feed / f.filename());
            }
        }
        Measured season =
            import_in_child(dir / "season", old_feed, DateTime{2000, 1, 1, 0, 0, 0}, memory_limit);
        if (season.failed) return 1;
        std::map<fs::path, std::string> before = store_files(dir / "season");
        Measured inc;
        for (int run = 0; run < runs; ++run) {
            fs::path base = dir / ("weekend" + std::to_string(run));
            link_store(dir / "season", base);
            fs::create_directories(base / "JVCache");
            for (const auto& f : fs::directory_iterator(dir / "season" / "JVCache")) {
                fs::create_hard_link(f.path(), base / "JVCache" / f.path().filename());
            }
            Measured m = import_in_child(base, dir / "feed", cut, memory_limit);
            if (m.failed) return 1;
            if (run == 0 || m.seconds < inc.seconds) inc = m;
        }
        // Its floor: read the new feed files, write the files it changed once.
        std::map<fs::path, std::string> after = store_files(dir / "weekend0");
        std::map<fs::path, std::string> changed;
        for (auto& [path, content] : after) {
            auto was = before.find(path);
            if (was == before.end() || was->second != content) changed[path] = std::move(content);
        }
        std::size_t new_records = 0;
        double inc_floor = 1e9;
        for (int run = 0; run < runs; ++run) {
            inc_floor =
                std::min(inc_floor, floor_seconds(new_files, changed,
                                                  dir / ("weekend-floor" + std::to_string(run)),
                                                  &new_records));
        }
        double per_new = inc.seconds / static_cast<double>(new_records);
        double per_all = best.seconds / static_cast<double>(records);
        std::printf(
            "incremental import: one new weekend (%zu feed files) into the store of the rest\n",
            new_files.size());
        line("new records:", format("%zu, into %ld store files (of %zu)", new_records,
                                    inc.stats.files_written, after.size()));
        line("import:", format("%.3f s (target < 1 s: ratio %.2f)", inc.seconds, inc.seconds));
        line("floor:",
             format("%.3f s (read the new files, write the changed files once)", inc_floor));
        line("import / floor:", format("%.2f", inc.seconds / inc_floor));
        line("time per new record:",
             format("%.1f us (whole feed: %.1f us per record)", per_new * 1e6, per_all * 1e6));
    }
    fs::remove_all(dir);
    return 0;
}
