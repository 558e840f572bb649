// The import through its writer: the same bytes as filing record by record,
// incremental imports, and what failures, kills and cancels leave.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <thread>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "jvlink/feed_link.hpp"
#include "jvlink/import.hpp"
#include "jvlink/result_text.hpp"
#include "pipeline/backtest.hpp"
#include "platform/utf8_path.hpp"
#include "pipeline/day_loader.hpp"
#include "sample/sample_feed.hpp"
#include "store/atomic_file.hpp"
#include "store/catalogue.hpp"
#include "store/code_tables.hpp"
#include "store/cp932.hpp"
#include "store/record_builder.hpp"
#include "store/store_reader.hpp"
#include "support/faulty_file_layer.hpp"
#include "support/platform_skips.hpp"
#include "support/store_check.hpp"
#include "support/temp_dir.hpp"

namespace fs = std::filesystem;

namespace tolven {
namespace {

using namespace tolven::testing;

const DateTime kNow{2026, 12, 7, 9, 0, 0};
const DateTime kLongAgo{2000, 1, 1, 0, 0, 0};

class CollectingHost : public SilentImportHost {
  public:
    std::string messages;
    std::vector<std::string> lines;
    int cancel_after = 0;  // a cancel at this turn of the event loop
    ImportController* controller = nullptr;
    int turns = 0;

    void show_information(const std::string& text) override {
        messages += cp932::to_utf8(text) + "\n";
    }
    void add_built_line(const std::string& text) override { lines.push_back(text); }
    void process_events() override {
        if (++turns == cancel_after && controller) controller->cancel();
    }
};

struct ImportRun {
    bool failed = false;
    std::string messages;
    std::vector<std::string> lines;
    std::optional<std::string> last_time;
};

// "データ取込み開始" over a feed folder, reading the feed files after from.
ImportRun import(const fs::path& base, const fs::path& feed, const fs::path& cache,
                 const DateTime& from, int cancel_after = 0,
                 const StoreWriterOptions& writer = {}) {
    DataStore store(base);
    store.create_folders();
    FeedLink link(feed, cache);
    link.JVInit(jvlink_sid());
    CancelFlag cancel;
    CollectingHost host;
    ImportController controller(link, store, cancel, host, [] { return kNow; });
    host.controller = &controller;
    host.cancel_after = cancel_after;
    host.write_last_time("unchanged");
    controller.set_writer_options(writer);
    controller.open();
    controller.set_from_time(from);
    controller.start();
    while (controller.downloading()) controller.status_tick();
    return ImportRun{controller.failed(), host.messages, host.lines, host.read_last_time()};
}

// The same feed filed record by record straight into the files, as every
// import did before the writer (the reference for its bytes).
std::vector<std::string> file_record_by_record(const fs::path& base, const fs::path& feed,
                                               const fs::path& cache) {
    UnflushedFileLayer unflushed;
    ScopedFileLayer scoped(unflushed);
    DataStore store(base);
    store.create_folders();
    FeedLink link(feed, cache);
    link.JVInit(jvlink_sid());
    int read_count = 0, download_count = 0;
    std::string last;
    EXPECT_EQ(link.JVOpen("RACERCVN", kLongAgo.digits(), 2, read_count, download_count, last), 0);
    while (link.JVStatus() < download_count) {
    }
    RecordFiler filer(store);
    std::vector<std::string> lines;
    int size = 60000;
    std::string record, name;
    for (int r; (r = link.JVRead(record, size, name)) != 0;) {
        if (r > 0) {
            for (auto& line : filer.file_import(record, import_threshold_date(kNow), name)) {
                lines.push_back(std::move(line));
            }
        }
    }
    link.JVClose();
    return lines;
}

// A small feed: three weekends of one racecourse, three races of six runners
// a day, race cards the evening before and results (with the going, finishing
// positions and payouts) the day after; horses from a pool of twenty, so that
// every horse runs several times. Then the cards of the next weekend, with a
// corrected result of the last day.
void write_small_feed(const fs::path& folder) {
    auto stamp = [](const DateTime& d, const char* time) {
        return std::to_string(d.date_number()) + time;
    };
    auto race_of = [](int date, int nichi, int race) {
        RecordBuilder ra(RecordKind::Race);
        ra.race(date, "06", 5, nichi, race).number(ra::entries, 6);
        return ra;
    };
    auto runner_of = [](int date, int nichi, int race, int h, int horse) {
        RecordBuilder se(RecordKind::Runner);
        se.race(date, "06", 5, nichi, race)
            .number(se::bracket, (h + 1) / 2)
            .number(se::horse_number, h)
            .number(se::pedigree, 2022100000LL + horse);
        return se;
    };
    DateTime first{2026, 11, 21, 9, 0, 0};
    for (int i = 0; i < 8; ++i) {
        DateTime day = first.plus_days(7 * (i / 2) + i % 2);
        int date = day.date_number();
        int nichi = i % 2 + 1;
        int card_day = day.plus_days(-1).date_number();
        int result_day = day.plus_days(1).date_number();
        std::string cards, results;
        for (int race = 1; race <= 3; ++race) {
            cards += race_of(date, nichi, race)
                         .text(header::category, "2")
                         .number(header::created, card_day)
                         .str();
            results += race_of(date, nichi, race)
                           .text(header::category, "7")
                           .number(header::created, result_day)
                           .number(ra::turf_going, 1 + race % 3)
                           .str();
            for (int h = 1; h <= 6; ++h) {
                int horse = (i * 7 + race * 5 + h * 3) % 20;
                cards += runner_of(date, nichi, race, h, horse)
                             .text(header::category, "2")
                             .number(header::created, card_day)
                             .str();
                results += runner_of(date, nichi, race, h, horse)
                               .text(header::category, "7")
                               .number(header::created, result_day)
                               .number(se::finish, h)
                               .str();
            }
            results += RecordBuilder(RecordKind::Payout)
                           .race(date, "06", 5, nichi, race)
                           .text(header::category, "2")
                           .number(header::created, result_day)
                           .payout(hr::quinella, 0, "0102", 1230)
                           .str();
        }
        if (i == 7) {
            // A result of the day before, corrected.
            int last = day.plus_days(-7).date_number();
            cards += race_of(last, 2, 1)
                         .text(header::category, "7")
                         .number(header::created, card_day)
                         .number(ra::turf_going, 4)
                         .str();
            int horse = (5 * 7 + 1 * 5 + 2 * 3) % 20;
            cards += runner_of(last, 2, 1, 2, horse)
                         .text(header::category, "7")
                         .number(header::created, card_day)
                         .number(se::finish, 1)
                         .str();
        }
        write_bytes(folder / (stamp(day.plus_days(-1), "170000") + "_CARDS.txt"), cards);
        if (i < 6) {
            write_bytes(folder / (stamp(day.plus_days(1), "160000") + "_RESULTS.txt"), results);
        }
    }
}

// A feed and the stores the tests start from and compare with.
struct Feed {
    TempDir dir;
    fs::path full = dir.path() / "feed";
    fs::path full_cache = dir.path() / "cache";
    std::vector<fs::path> files;  // the stored feed files, in order
    StoreFiles complete;          // the whole feed filed record by record
    std::vector<std::string> complete_lines;
    StoreFiles before;  // all but the last two files filed record by record
    std::size_t split = 0;

    explicit Feed(const std::function<void(const fs::path&)>& write) {
        write(full);
        for (const auto& e : fs::directory_iterator(full)) {
            if (e.is_regular_file()) files.push_back(e.path());
        }
        std::sort(files.begin(), files.end());
        TempDir base;
        complete_lines = file_record_by_record(base.path(), full, full_cache);
        complete = read_store(base.path());
        // The results of the last weekend are not in: a re-import replays
        // race cards over results, replaces the last cards by results and
        // brings new runs of known horses.
        split = files.size() - 2;
        before = store_of_first(split);
    }

    // A feed folder with the first n stored files, and its cache.
    std::pair<fs::path, fs::path> first_files(std::size_t n) {
        fs::path folder = dir.path() / ("first" + std::to_string(n));
        if (!fs::exists(folder)) {
            fs::create_directories(folder);
            for (std::size_t i = 0; i < n && i < files.size(); ++i) {
                fs::copy_file(files[i], folder / files[i].filename());
            }
        }
        return {folder, dir.path() / ("cache" + std::to_string(n))};
    }
    // The store filed record by record from the first n files.
    StoreFiles store_of_first(std::size_t n) {
        auto [folder, cache] = first_files(n);
        TempDir base;
        file_record_by_record(base.path(), folder, cache);
        return read_store(base.path());
    }
    DateTime stamp_of(std::size_t i) const {
        return *DateTime::from_digits(files[i].filename().string().substr(0, 14));
    }
};

class ImportWriterTest : public ::testing::Test {
  protected:
    static Feed* feed;

    static void SetUpTestSuite() { feed = new Feed(write_small_feed); }
    static void TearDownTestSuite() {
        delete feed;
        feed = nullptr;
    }

    TempDir base_dir;
    fs::path base = base_dir.path();

    ImportRun reimport(int cancel_after = 0, const StoreWriterOptions& writer = {}) {
        return import(base, feed->full, feed->full_cache, kLongAgo, cancel_after, writer);
    }
    void expect_complete_after_a_rerun() {
        ImportRun run = reimport();
        EXPECT_FALSE(run.failed) << run.messages;
        EXPECT_EQ(read_store(base), feed->complete);
        EXPECT_EQ(temporaries(read_store(base)), std::vector<std::string>{});
        EXPECT_FALSE(fs::exists(base / "tolven.redo"));
        EXPECT_FALSE(fs::exists(base / "tolven.journal"));
    }
    // A fresh base folder holding a store.
    void fresh_base(const StoreFiles& files) {
        base_dirs_.emplace_back(std::make_unique<TempDir>());
        base = base_dirs_.back()->path();
        write_store(base, files);
    }
    void fresh_base_before() { fresh_base(feed->before); }

  private:
    std::vector<std::unique_ptr<TempDir>> base_dirs_;
};

Feed* ImportWriterTest::feed = nullptr;

TEST(ImportWriter, ASampleFeedGetsTheBytesOfFilingRecordByRecord) {
    Feed sample([](const fs::path& folder) {
        SampleFeedOptions options;
        options.seed = 7;
        options.weeks = 1;
        options.today = kNow.date_number();
        make_sample_feed(folder, options);
    });
    TempDir base;
    ImportRun run = import(base.path(), sample.full, sample.full_cache, kLongAgo);
    EXPECT_FALSE(run.failed) << run.messages;
    EXPECT_EQ(read_store(base.path()), sample.complete);
    // The built-data list too, line for line.
    EXPECT_EQ(run.lines, sample.complete_lines);
    EXPECT_GT(sample.complete.size(), 100u);
    // An import of the newest files into the store of the others gives the
    // same store.
    write_store(base.path(), sample.before);
    run = import(base.path(), sample.full, sample.full_cache, sample.stamp_of(sample.split - 1));
    EXPECT_FALSE(run.failed) << run.messages;
    EXPECT_EQ(read_store(base.path()), sample.complete);
}

TEST_F(ImportWriterTest, WritesWhatFilingRecordByRecordWrites) {
    ImportRun run = import(base, feed->full, feed->full_cache, kLongAgo);
    EXPECT_FALSE(run.failed) << run.messages;
    EXPECT_EQ(read_store(base), feed->complete);
    EXPECT_EQ(run.lines, feed->complete_lines);
}

TEST_F(ImportWriterTest, AnIncrementalImportEqualsAFullOne) {
    auto [first, cache] = feed->first_files(feed->split);
    ASSERT_FALSE(import(base, first, cache, kLongAgo).failed);
    EXPECT_EQ(read_store(base), feed->before);
    // The new files only: those after the newest one imported.
    ImportRun run = import(base, feed->full, feed->full_cache, feed->stamp_of(feed->split - 1));
    EXPECT_FALSE(run.failed) << run.messages;
    EXPECT_EQ(read_store(base), feed->complete);
    // Everything again changes nothing.
    expect_complete_after_a_rerun();
}

TEST_F(ImportWriterTest, TheReimportReplaysRaceCardsOverResults) {
    // The premise of the tests below: the stored results of the last weekend
    // differ from the race cards the re-import replays over them, and the
    // re-import also corrects stored results and adds days.
    std::string day = "Data/" + cp932::to_utf8(sj("2026年12月05日中山"));
    ASSERT_TRUE(feed->before.count(day + ".jvRA"));
    int changed = 0, added = 0;
    for (const auto& [path, bytes] : feed->complete) {
        auto was = feed->before.find(path);
        if (was == feed->before.end()) {
            ++added;
        } else if (was->second != bytes) {
            ++changed;
        }
    }
    EXPECT_GE(changed, 3);  // the corrected race, its runner and horse files
    EXPECT_GE(added, 3);    // the next weekend's days
    // A card line of 2026-12-05 differs from the stored result line.
    std::string card;
    for (const auto& file : feed->files) {
        if (file.filename().string().rfind("20261204", 0) != 0) continue;
        for (const auto& line : split_lines(read_file(file))) {
            if (line.rfind("RA", 0) == 0) card = overwrite(line, "000000000", 3);
        }
    }
    std::vector<std::string> stored = split_lines(feed->before.at(day + ".jvRA"));
    ASSERT_FALSE(card.empty());
    EXPECT_EQ(std::count(stored.begin(), stored.end(), card), 0);
}

TEST_F(ImportWriterTest, AFailingFileOperationEndsTheRunWithoutRollingAnythingBack) {
    // How often each operation runs in a re-import, then failures spread over
    // those calls.
    // Little memory: files are written out and spilled all through the run,
    // so failures come while race cards stand over results too.
    StoreWriterOptions tight{150000, 1 << 20};
    FaultyFileLayer counter;
    fresh_base_before();
    {
        ScopedFileLayer scoped(counter);
        ASSERT_FALSE(reimport(0, tight).failed);
    }
    ASSERT_EQ(read_store(base), feed->complete);
    int failed_runs = 0;
    for (auto op : {FaultyFileLayer::MakeTemporary, FaultyFileLayer::Write, FaultyFileLayer::Close,
                    FaultyFileLayer::Rename, FaultyFileLayer::Open, FaultyFileLayer::Unlink,
                    FaultyFileLayer::Mkdir, FaultyFileLayer::Sync, FaultyFileLayer::SyncFolder}) {
        long m = counter.calls(op);
        std::vector<long> points = {1, 2, 3, m / 3, m / 2, 2 * m / 3, m - 1, m};
        points.erase(std::remove_if(points.begin(), points.end(), [&](long n) { return n < 1; }),
                     points.end());
        points.erase(std::unique(points.begin(), points.end()), points.end());
        for (long n : points) {
            SCOPED_TRACE(std::string(FaultyFileLayer::kNames[op]) + " #" + std::to_string(n));
            fresh_base_before();
            FaultyFileLayer layer;
            layer.fail(op, n, op == FaultyFileLayer::Write ? ENOSPC : EIO,
                       op == FaultyFileLayer::Write);
            ImportRun run;
            {
                ScopedFileLayer scoped(layer);
                run = reimport(0, tight);
            }
            StoreFiles after = read_store(base);
            if (run.failed) {
                ++failed_runs;
                // The message names a file of this base folder and the reason.
                EXPECT_NE(run.messages.find("\nデータ作成エラー:"), std::string::npos)
                    << run.messages;
                EXPECT_NE(run.messages.find(base.string()), std::string::npos) << run.messages;
                EXPECT_EQ(run.last_time, "unchanged");
            } else {
                // A failure that did not matter (a temporary file that could
                // not be removed is left for the next writer to remove).
                for (const auto& name : temporaries(after)) after.erase(name);
                EXPECT_EQ(after, feed->complete);
            }
            EXPECT_EQ(interrupted_store_problems(feed->before, after, feed->complete),
                      std::vector<std::string>{});
            expect_complete_after_a_rerun();
        }
    }
    EXPECT_GT(failed_runs, 25);
}

TEST_F(ImportWriterTest, ACancelKeepsOnlyWhatCannotRollBack) {
    for (int turn : {3, 100, 200, 260}) {
        SCOPED_TRACE("cancel at turn " + std::to_string(turn));
        fresh_base_before();
        ImportRun run = reimport(turn);
        EXPECT_NE(run.messages.find("JVCancel:キャンセルされました"), std::string::npos);
        EXPECT_EQ(interrupted_store_problems(feed->before, read_store(base), feed->complete),
                  std::vector<std::string>{});
        EXPECT_EQ(temporaries(read_store(base)), std::vector<std::string>{});
        expect_complete_after_a_rerun();
    }
}

// Runs a re-import (or a fresh import) in a child process that is killed: at
// the nth call of a file operation, or after a delay.
void import_killed(const fs::path& base, const fs::path& feed_folder, const fs::path& cache,
                   FaultyFileLayer::Op op, long nth, int delay_ms,
                   const StoreWriterOptions& writer = {}) {
#ifdef _WIN32
    (void)base, (void)feed_folder, (void)cache, (void)op, (void)nth, (void)delay_ms, (void)writer;
    FAIL() << "no fork()";
#else
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        FaultyFileLayer layer;
        if (nth > 0) layer.kill_at(op, nth);
        ScopedFileLayer scoped(layer);
        import(base, feed_folder, cache, kLongAgo, 0, writer);
        _exit(0);
    }
    if (delay_ms > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
        kill(child, SIGKILL);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) == 0));
#endif
}

TEST_F(ImportWriterTest, AKilledReimportNeverLeavesARecordOlderAndARerunCompletes) {
    SKIP_WITHOUT_FORK();
    StoreWriterOptions tight{150000, 1 << 20};
    FaultyFileLayer counter;
    fresh_base_before();
    {
        ScopedFileLayer scoped(counter);
        ASSERT_FALSE(reimport(0, tight).failed);
    }
    struct Kill {
        FaultyFileLayer::Op op;
        long nth;
        int delay_ms;
    };
    long writes = counter.calls(FaultyFileLayer::Write);
    long renames = counter.calls(FaultyFileLayer::Rename);
    std::vector<Kill> kills = {
        {FaultyFileLayer::Unlink, 1, 0}, {FaultyFileLayer::Write, 0, 2},
        {FaultyFileLayer::Write, 0, 10}, {FaultyFileLayer::Write, 0, 30},
        {FaultyFileLayer::Write, 0, 80},
    };
    for (int sixth = 0; sixth <= 6; ++sixth) {
        kills.push_back({FaultyFileLayer::Write, std::max(1L, writes * sixth / 6), 0});
        kills.push_back({FaultyFileLayer::Rename, std::max(1L, renames * sixth / 6), 0});
    }
    for (const Kill& k : kills) {
        SCOPED_TRACE(std::string(FaultyFileLayer::kNames[k.op]) + " #" + std::to_string(k.nth) +
                     " after " + std::to_string(k.delay_ms) + " ms");
        fresh_base_before();
        import_killed(base, feed->full, feed->full_cache, k.op, k.nth, k.delay_ms, tight);
        EXPECT_EQ(interrupted_store_problems(feed->before, read_store(base), feed->complete),
                  std::vector<std::string>{});
        // The next writer finishes what the killed one committed, and the
        // store is still never older than before. A kill inside a redo entry
        // leaves it cut off: kept and reported.
        try {
            DataStore store(base);
            StoreWriter next(store);
        } catch (const StoreDamaged& e) {
            EXPECT_NE(std::string(e.what()).find((base / "tolven.redo").string()),
                      std::string::npos)
                << e.what();
            EXPECT_TRUE(fs::exists(base / "tolven.redo.damaged"));
        }
        EXPECT_EQ(interrupted_store_problems(feed->before, read_store(base), feed->complete),
                  std::vector<std::string>{});
        expect_complete_after_a_rerun();
    }
}

TEST_F(ImportWriterTest, AKilledFreshImportKeepsEveryFeedFileItFinished) {
    SKIP_WITHOUT_FORK();
    // Each finished feed file is one redo entry of three writes; killed at the
    // first write of entry k + 1, the first k files are kept.
    for (std::size_t k = 1; k < feed->files.size(); ++k) {
        SCOPED_TRACE(std::to_string(k) + " files finished");
        fresh_base({});
        import_killed(base, feed->full, feed->full_cache, FaultyFileLayer::Write,
                      static_cast<long>(3 * k + 1), 0);
        {
            DataStore store(base);
            StoreWriter next(store);
            EXPECT_TRUE(next.stats().recovered);
            next.commit();
        }
        EXPECT_EQ(read_store(base), feed->store_of_first(k));
        expect_complete_after_a_rerun();
    }
}

// A file layer that forgets what was never flushed, as a power cut does: it
// remembers which files were written since their last flush (following them
// through renames), and power_cut() leaves each of them empty, which is what
// a file system with delayed allocation shows afterwards. With cut_at_rename
// the cut comes at the nth rename, and the process dies with it.
class PowerCutLayer : public FileLayer {
  public:
    long cut_at_rename = 0;

    int make_temporary(PathChar* pattern) override {
        int fd = FileLayer::make_temporary(pattern);
        if (fd >= 0) paths_[fd] = pattern;
        return fd;
    }
    int open(const PathChar* path, int flags, mode_t mode) override {
        int fd = FileLayer::open(path, flags, mode);
        if (fd >= 0) paths_[fd] = path;
        return fd;
    }
    ssize_t write(int fd, const void* data, std::size_t size) override {
        if (auto it = paths_.find(fd); it != paths_.end()) unflushed_.insert(it->second);
        return FileLayer::write(fd, data, size);
    }
    int sync(int fd) override {
        if (auto it = paths_.find(fd); it != paths_.end()) unflushed_.erase(it->second);
        return FileLayer::sync(fd);
    }
    int close(int fd) override {
        paths_.erase(fd);
        return FileLayer::close(fd);
    }
    int rename(const PathChar* from, const PathChar* to) override {
        if (++renames_ == cut_at_rename) {
            power_cut();
#ifdef SIGKILL
            std::raise(SIGKILL);
#else
            std::abort();  // only the test that forks cuts the power mid-run
#endif
        }
        int r = FileLayer::rename(from, to);
        if (r == 0) {
            bool moved = unflushed_.erase(from) > 0;
            unflushed_.erase(to);
            if (moved) unflushed_.insert(to);
        }
        return r;
    }
    int unlink(const PathChar* path) override {
        unflushed_.erase(path);
        return FileLayer::unlink(path);
    }
    void power_cut() {
        for (const auto& path : unflushed_) {
            std::error_code gone;  // gone since: nothing to lose
            fs::resize_file(path, 0, gone);
        }
        unflushed_.clear();
    }
    long renames() const { return renames_; }

  private:
    std::map<int, fs::path> paths_;
    std::set<fs::path> unflushed_;
    long renames_ = 0;
};

// The store files that the built-data lines ("作成済み:…/<file name>") name.
std::set<std::string> files_reported_done(const std::vector<std::string>& lines) {
    std::set<std::string> names;
    for (const auto& line : lines) {
        std::string text = cp932::to_utf8(line);
        if (text.rfind("作成済み:", 0) != 0) continue;
        names.insert(text.substr(text.rfind('/') + 1));
    }
    return names;
}

TEST_F(ImportWriterTest, APowerCutLosesNothingThatWasReportedDone) {
    // After a complete import, a cancelled one, and a re-import: the power
    // goes right after the run; every file reported done holds its data.
    for (int cancel_after : {0, 150}) {
        for (bool over_a_store : {false, true}) {
            SCOPED_TRACE("cancel at " + std::to_string(cancel_after) +
                         (over_a_store ? ", over a store" : ", fresh"));
            fresh_base(over_a_store ? feed->before : StoreFiles{});
            PowerCutLayer layer;
            ImportRun run;
            {
                ScopedFileLayer scoped(layer);
                run = reimport(cancel_after);
                layer.power_cut();
            }
            StoreFiles after = read_store(base);
            if (cancel_after == 0) {
                EXPECT_FALSE(run.failed) << run.messages;
                EXPECT_EQ(after, feed->complete);
                EXPECT_NE(run.last_time, "unchanged");
            } else {
                EXPECT_EQ(run.last_time, "unchanged");
            }
            std::set<std::string> done = files_reported_done(run.lines);
            EXPECT_FALSE(done.empty());
            for (const auto& [path, bytes] : after) {
                if (done.count(path_utf8(utf8_path(path).filename()))) {
                    EXPECT_FALSE(bytes.empty()) << path;
                }
            }
            EXPECT_EQ(interrupted_store_problems(over_a_store ? feed->before : StoreFiles{}, after,
                                                 feed->complete),
                      std::vector<std::string>{});
        }
    }
}

TEST_F(ImportWriterTest, APowerCutMidRunLeavesAStoreTheNextWriterFinishesOrReports) {
    SKIP_WITHOUT_FORK();
#ifndef _WIN32
    StoreWriterOptions tight{150000, 1 << 20};
    PowerCutLayer counter;
    fresh_base_before();
    {
        ScopedFileLayer scoped(counter);
        ASSERT_FALSE(reimport(0, tight).failed);
    }
    long renames = counter.renames();
    for (int eighth = 1; eighth <= 8; ++eighth) {
        long nth = std::max(1L, renames * eighth / 8);
        SCOPED_TRACE("power cut at rename " + std::to_string(nth));
        fresh_base_before();
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            PowerCutLayer layer;
            layer.cut_at_rename = nth;
            ScopedFileLayer scoped(layer);
            import(base, feed->full, feed->full_cache, kLongAgo, 0, tight);
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        std::string reported;
        try {
            DataStore store(base);
            StoreWriter next(store);
        } catch (const StoreDamaged& e) {
            reported = e.what();
        }
        // Nothing is torn or older than before, unless the loss is reported.
        std::vector<std::string> problems =
            interrupted_store_problems(feed->before, read_store(base), feed->complete);
        if (reported.empty()) {
            EXPECT_EQ(problems, std::vector<std::string>{});
        }
        expect_complete_after_a_rerun();
    }
#endif
}

TEST_F(ImportWriterTest, ALinkInTheDownloadCacheIsRefusedAndNothingIsCopiedThroughIt) {
    SKIP_WITHOUT_SYMLINKS();
    TempDir cache, outside;
    fs::path target = outside.path() / "y";
    write_bytes(target, "outside");
    fs::path part = cache.path() / (feed->files.front().filename().string() + ".part");
    fs::create_symlink(target, part);
    fresh_base({});
    ImportRun run = import(base, feed->full, cache.path(), kLongAgo);
    EXPECT_TRUE(run.failed);
    EXPECT_NE(run.messages.find(part.string()), std::string::npos) << run.messages;
    EXPECT_EQ(read_bytes(target), "outside");
    EXPECT_EQ(run.last_time, "unchanged");
}

TEST_F(ImportWriterTest, ADamagedJournalStopsTheImportWithAMessageAndTheNextOneCompletes) {
    fresh_base_before();
    write_bytes(base / "tolven.journal", "tolven journal 2\n1\nData/x.jvRA\t.x.jvRA.abcdef\t3\t");
    ImportRun run = reimport();
    EXPECT_TRUE(run.failed);
    EXPECT_NE(run.messages.find("データ作成エラー:中断された取込みの記録「" +
                                (base / "tolven.journal").string()),
              std::string::npos)
        << run.messages;
    EXPECT_NE(run.messages.find("データ取込みをやり直してください"), std::string::npos);
    EXPECT_EQ(run.last_time, "unchanged");
    EXPECT_TRUE(fs::exists(base / "tolven.journal.damaged"));
    expect_complete_after_a_rerun();
}

// A reader after a kill at many points of an import: it finishes the commit
// the killed writer left exactly as the next writer would, so every day it
// shows holds all of a commit or none of it.
TEST_F(ImportWriterTest, AReaderAfterAKillSeesAllOfACommitOrNone) {
    SKIP_WITHOUT_FORK();
    StoreWriterOptions tight{150000, 1 << 20};
    FaultyFileLayer counter;
    fresh_base_before();
    {
        ScopedFileLayer scoped(counter);
        ASSERT_FALSE(reimport(0, tight).failed);
    }
    long renames = counter.calls(FaultyFileLayer::Rename);
    long writes = counter.calls(FaultyFileLayer::Write);
    int left_unfinished = 0;
    for (int fifth = 1; fifth <= 5; ++fifth) {
        for (auto [op, nth] : {std::pair{FaultyFileLayer::Rename, renames * fifth / 5},
                               std::pair{FaultyFileLayer::Write, writes * fifth / 5}}) {
            SCOPED_TRACE(std::string(FaultyFileLayer::kNames[op]) + " #" + std::to_string(nth));
            fresh_base_before();
            import_killed(base, feed->full, feed->full_cache, op, std::max(1L, nth), 0, tight);
            if (commit_unfinished(base)) ++left_unfinished;
            // What the next writer makes of the killed one's leftovers.
            TempDir reference;
            fs::copy(base, reference.path(), fs::copy_options::recursive);
            bool reported = false;
            try {
                DataStore store(reference.path());
                StoreWriter next(store);
            } catch (const FileError&) {
                // A kill in the middle of a redo entry leaves its tail cut:
                // the next writer finishes what checks and reports the rest.
                reported = true;
            }
            if (reported) {
                EXPECT_ANY_THROW(settle_store(base));
                continue;
            }
            // Temporary files a writer left are no part of what readers see
            // (the next writer removes them; a reader leaves them).
            auto shown = [](StoreFiles files) {
                for (const auto& name : temporaries(files)) files.erase(name);
                return files;
            };
            StoreFiles expected = shown(read_store(reference.path()));

            // The reader lists the days as `tolven-cli days` does, and loads each.
            settle_store(base);
            RaceDay day;
            std::vector<std::string> days =
                list_race_days(base / "Data", DateFilter::Any, 0, kNow);
            ASSERT_FALSE(days.empty());
            for (const auto& d : days) load_race_day(day, base, d);
            EXPECT_FALSE(commit_unfinished(base));
            EXPECT_EQ(shown(read_store(base)), expected);
            EXPECT_EQ(interrupted_store_problems(feed->before, read_store(base), feed->complete),
                      std::vector<std::string>{});
        }
    }
    // Most kills leave a journal or a redo log for the reader to finish.
    EXPECT_GE(left_unfinished, 5);
}

// While the lock is held (a running writer), or when the leftovers cannot be
// finished, a reader refuses with a message instead of showing half a commit.
TEST_F(ImportWriterTest, AReaderRefusesAnUnfinishedCommitItCannotFinish) {
    SKIP_WITHOUT_FORK();
    fresh_base({});
    import_killed(base, feed->full, feed->full_cache, FaultyFileLayer::Write, 3 * 3 + 1, 0);
    ASSERT_TRUE(commit_unfinished(base));
    // Everything the killed import did is still in its redo log.
    EXPECT_TRUE(list_race_days(base / "Data", DateFilter::Any, 0, kNow).empty());
    std::string some_day;
    for (const auto& [name, bytes] : feed->store_of_first(3)) {
        if (name.rfind("Data/", 0) == 0 && fs::path(name).extension() == ".jvRA") {
            some_day = cp932::from_utf8(path_utf8(utf8_path(name).stem()));
        }
    }
    ASSERT_FALSE(some_day.empty());
    RaceDay day;
    auto refusal = [&] {
        try {
            load_race_day(day, base, some_day);
        } catch (const UnfinishedImport& e) {
            return std::string(e.what());
        }
        return std::string("loaded");
    };
    {
        StoreLock running(base);
        EXPECT_NE(refusal().find("データの取込みが完了していません"), std::string::npos);
        EXPECT_THROW(run_balance(base, BalanceOptions{20000101, 20991231}), UnfinishedImport);
        EXPECT_THROW(settle_store(base), UnfinishedImport);
    }
    {
        FaultyFileLayer failing;
        failing.fail(FaultyFileLayer::Rename, 1, EIO, true);
        ScopedFileLayer scoped(failing);
        EXPECT_NE(refusal().find("データの取込みが中断されたままです"), std::string::npos);
    }
    ASSERT_TRUE(commit_unfinished(base));
    EXPECT_EQ(refusal(), "loaded");
    EXPECT_FALSE(commit_unfinished(base));
    EXPECT_EQ(read_store(base), feed->store_of_first(3));
}

}  // namespace
}  // namespace tolven
