// Readers of a store: damaged day files are reported, a read-only base is
// browsed, two programs save one user file.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <sys/wait.h>

#include "model/user_file.hpp"
#include "pipeline/backtest.hpp"
#include "pipeline/day_loader.hpp"
#include "pipeline/hit_export.hpp"
#include "prediction/results_record.hpp"
#include "prediction/user_prediction.hpp"
#include "store/catalogue.hpp"
#include "store/cp932.hpp"
#include "store/data_store.hpp"
#include "store/file_layer.hpp"
#include "store/store_reader.hpp"
#include "support/cli_run.hpp"
#include "support/sample_store.hpp"
#include "support/temp_dir.hpp"

namespace fs = std::filesystem;

namespace tolven {
namespace {

using namespace tolven::testing;

constexpr int kToday = 20261206;

// Runs tolven-cli with the arguments (UTF-8, quoted by the caller) in dir.
CliRun cli(const fs::path& dir, const std::string& arguments) {
    return run_cli(TOLVEN_CLI, dir, arguments);
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A sample store imported once; each test works on its own copy.
class Reader : public ::testing::Test {
  protected:
    static TempDir* pristine;
    static std::string day;  // a past day with races, runners and payouts (CP932)

    static void SetUpTestSuite() {
        pristine = new TempDir;
        import_sample_feed(pristine->path(), SampleFeedOptions{5, 1, kToday},
                           DateTime{2026, 12, 6, 10, 0, 0});
        DataStore store(pristine->path());
        for (const auto& d : list_race_days(pristine->path() / "Data", DateFilter::Any, 0,
                                            DateTime{2026, 12, 6})) {
            if (day_name_date(d) < kToday && fs::exists(store.day_file(d, ".jvHR"))) {
                day = d;
                break;
            }
        }
    }
    static void TearDownTestSuite() {
        delete pristine;
        pristine = nullptr;
    }

    TempDir dir;
    fs::path base = dir.path() / "base";
    std::string base_option = "--base '" + base.string() + "'";
    std::string day_utf8 = cp932::to_utf8(day);
    int date = day_name_date(day);

    void SetUp() override {
        ASSERT_FALSE(day.empty());
        fs::copy(pristine->path(), base, fs::copy_options::recursive);
    }
    fs::path file(const char* extension) const { return DataStore(base).day_file(day, extension); }
    BalanceReport balance_of_the_day() const {
        BalanceOptions options;
        options.from = date;
        options.to = date;
        return run_balance(base, options);
    }
};

TempDir* Reader::pristine = nullptr;
std::string Reader::day;

TEST_F(Reader, EveryDamagedDayFileIsReportedWithItsNameAndReason) {
    auto cut_to = [](std::size_t size) {
        return [size](const fs::path& f) { fs::resize_file(f, size); };
    };
    auto replace_by = [](std::string bytes) {
        return [bytes](const fs::path& f) { write_bytes(f, bytes); };
    };
    auto with_line_feed_in_race_one = [](const fs::path& f) {
        std::string bytes = read_bytes(f);
        bytes[600] = '\n';
        write_bytes(f, bytes);
    };
    struct Case {
        const char* name;
        const char* extension;
        std::function<void(const fs::path&)> damage;
        const char* reason;
    } cases[] = {
        {"race file cut", ".jvRA", cut_to(5000), "4行目が途中で切れています"},
        {"payout file empty", ".jvHR", replace_by(""), "空のファイルです"},
        {"race file of other bytes", ".jvRA", replace_by(std::string(3000, 'x') + "\n"),
         "1行目のレコード長が不正です（3000/1270バイト）"},
        {"a line feed inside race 1", ".jvRA", with_line_feed_in_race_one,
         "1行目のレコードに改行文字が含まれています"},
        {"payout lines ended by LF alone", ".jvHR",
         [](const fs::path& f) {
             std::string bytes = read_bytes(f);
             write_bytes(f, bytes.substr(0, 717) + "\n" + bytes.substr(719));
         },
         "1行目の改行がCR LFではありません"},
        {"runner file cut to whole lines", ".jvSEr", cut_to(100 * 555),
         "出走馬の枠が100行しかありません"},
        {"race file a folder", ".jvRA",
         [](const fs::path& f) {
             fs::remove(f);
             fs::create_directory(f);
         },
         "ファイルではなくフォルダです"},
        {"payout file a FIFO", ".jvHR",
         [](const fs::path& f) {
             fs::remove(f);
             ASSERT_EQ(mkfifo(f.c_str(), 0644), 0);
         },
         "通常のファイルではありません"},
        {"runner file a link to /dev/zero", ".jvSEr",
         [](const fs::path& f) {
             fs::remove(f);
             fs::create_symlink("/dev/zero", f);
         },
         "シンボリックリンクです"},
        {"race file a link to a good copy elsewhere", ".jvRA",
         [](const fs::path& f) {
             fs::path elsewhere = f.parent_path().parent_path() / "elsewhere.jvRA";
             fs::rename(f, elsewhere);
             fs::create_symlink(elsewhere, f);
         },
         "シンボリックリンクです"},
        {"runner file larger than any store file", ".jvSEr", cut_to(std::size_t{64} << 20),
         "大きすぎます"},
    };
    BalanceReport whole = balance_of_the_day();
    ASSERT_TRUE(whole.skipped.empty());
    ASSERT_GE(whole.days.size(), 1u);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::path damaged = file(c.extension);
        std::string intact = read_bytes(damaged);
        c.damage(damaged);
        struct Restore {
            fs::path file;
            std::string bytes;
            ~Restore() {
                fs::remove_all(file);
                write_bytes(file, bytes);
            }
        } restore{damaged, intact};

        // The core: an error of its own type naming the file and the reason.
        RaceDay loaded;
        try {
            load_race_day(loaded, base, day);
            ADD_FAILURE() << "the damaged day loaded";
        } catch (const DamagedStoreFile& e) {
            EXPECT_EQ(e.file(), damaged);
            EXPECT_TRUE(contains(e.reason(), c.reason)) << e.reason();
            EXPECT_TRUE(contains(e.what(), damaged.string())) << e.what();
        }

        // The balance: the day is skipped with the reason, never counted short.
        BalanceReport report = balance_of_the_day();
        ASSERT_EQ(report.skipped.size(), 1u);
        EXPECT_EQ(report.skipped[0].day, day);
        std::string reason = cp932::to_utf8(report.skipped[0].reason);
        EXPECT_TRUE(contains(reason, c.reason)) << reason;
        EXPECT_TRUE(contains(reason, damaged.filename().string())) << reason;
        EXPECT_EQ(report.days.size(), whole.days.size() - 1);

        // The command line: exit 1 with the reason; the day is still listed.
        CliRun show = cli(dir.path(), base_option + " show " + day_utf8);
        EXPECT_EQ(show.status, 1);
        EXPECT_EQ(show.out, "");
        EXPECT_TRUE(contains(show.err, c.reason)) << show.err;
        CliRun days = cli(dir.path(), base_option + " days");
        EXPECT_EQ(days.status, 0);
        EXPECT_TRUE(contains(days.out, day_utf8 + "\n"));
    }
}

// A file layer of a base that cannot be written: every call that would
// create, change or remove a file fails as on a read-only file system.
class ReadOnlyLayer : public FileLayer {
  public:
    int attempts = 0;
    int make_temporary(char*) override { return refuse(); }
    int open(const char* path, int flags, mode_t mode) override {
        if ((flags & (O_WRONLY | O_RDWR | O_CREAT)) != 0) return refuse();
        return FileLayer::open(path, flags, mode);
    }
    ssize_t write(int, const void*, std::size_t) override { return refuse(); }
    int rename(const char*, const char*) override { return refuse(); }
    int unlink(const char*) override { return refuse(); }
    int mkdir(const char*, mode_t) override { return refuse(); }

  private:
    int refuse() {
        ++attempts;
        errno = EROFS;
        return -1;
    }
};

TEST_F(Reader, AReadOnlyBaseIsBrowsedAndOnlyAChangeFailsToBeSaved) {
    std::set<std::string> before = folder_entries(base / "Data");
    ReadOnlyLayer layer;
    {
        ScopedFileLayer scoped(layer);
        RaceDay loaded;
        LoadOutcome outcome = load_race_day(loaded, base, day);
        ASSERT_TRUE(outcome.built);
        EXPECT_TRUE(outcome.complete);
        EXPECT_FALSE(results_record(loaded, false).empty());
        BalanceReport report = balance_of_the_day();
        EXPECT_TRUE(report.skipped.empty());
        EXPECT_GT(report.total.tickets, 0);
        // Today's meetings have no payouts: the hit check writes nothing.
        RaceDay today;
        std::vector<std::string> days =
            list_race_days(base / "Data", DateFilter::Any, 0, DateTime{2026, 12, 6});
        HitExport hits = export_hits(today, base, days,
                                     catalogue_mask(DateFilter::Today, 0, DateTime{2026, 12, 6})
                                         .substr(0, 14),
                                     false);
        EXPECT_GT(hits.days, 0);
        EXPECT_FALSE(hits.written);
        EXPECT_EQ(layer.attempts, 0);
        // A tick is a change: its save fails and says so.
        EXPECT_THROW(toggle_check_item(loaded, 0, 1, 3), FileError);
        EXPECT_TRUE(loaded.user_changed);
    }
    EXPECT_EQ(folder_entries(base / "Data"), before);

    // The command line on a base mounted read-only, where mounting is allowed.
    fs::path mounted = dir.path() / "ro";
    fs::create_directory(mounted);
    std::string mount = "unshare -m sh -c \"mount --bind '" + base.string() + "' '" +
                        mounted.string() + "' && mount -o remount,ro,bind '" + mounted.string() +
                        "'";
    if (std::system((mount + "\" 2>/dev/null").c_str()) != 0) {
        GTEST_SKIP() << "no read-only bind mount here";
    }
    std::string ro = "--base '" + mounted.string() + "'";
    auto in_mount = [&](const std::string& arguments) {
        fs::path out = dir.path() / "cli.out", err = dir.path() / "cli.err";
        std::string command = mount + " && " + TOLVEN_CLI + " " + arguments + "\" >'" +
                              out.string() + "' 2>'" + err.string() + "'";
        CliRun run;
        run.status = WEXITSTATUS(std::system(command.c_str()));
        run.out = read_bytes(out);
        run.err = read_bytes(err);
        return run;
    };
    for (const std::string& command :
         {"show " + day_utf8, "show --json " + day_utf8, "results " + day_utf8,
          "hits " + std::to_string(kToday), std::string("days"),
          "balance " + std::to_string(date) + " " + std::to_string(date)}) {
        SCOPED_TRACE(command);
        CliRun run = in_mount(ro + " " + command);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.out, "");
    }
    CliRun tick = in_mount(ro + " tick " + day_utf8 + " 1 1 3");
    EXPECT_EQ(tick.status, 1);
    EXPECT_TRUE(contains(tick.err, "読み取り専用の場所です")) << tick.err;
    EXPECT_EQ(folder_entries(base / "Data"), before);
}

TEST_F(Reader, TwoProgramsSavingOneUserFileMergeByRaceOrRefuse) {
    fs::path user = file(".User");
    // The window's day, loaded before the file exists.
    RaceDay window;
    ASSERT_TRUE(load_race_day(window, base, day).built);
    EXPECT_FALSE(fs::exists(user));

    // Two command-line ticks at once, in races 1 and 2, several times over.
    for (int round = 0; round < 3; ++round) {
        std::string a = "--base '" + base.string() + "' tick " + day_utf8 + " 1 " +
                        std::to_string(1 + round) + " 3";
        std::string b = "--base '" + base.string() + "' tick " + day_utf8 + " 2 " +
                        std::to_string(1 + round) + " 4";
        std::string both = "(" + std::string(TOLVEN_CLI) + " " + a + " >/dev/null & " +
                           TOLVEN_CLI + " " + b + " >/dev/null & wait)";
        ASSERT_EQ(std::system(both.c_str()), 0);
    }
    auto tick_of = [&](const std::vector<std::string>& lines, int race, int row, int item) {
        return user_field(lines[user_runner_line(race, row)], user_tick_field(item));
    };
    std::vector<std::string> lines = user_lines_from(read_bytes(user));
    for (int row = 1; row <= 3; ++row) {
        EXPECT_EQ(tick_of(lines, 0, row, 0), "1") << row;
        EXPECT_EQ(tick_of(lines, 1, row, 1), "1") << row;
    }

    // The window's tick in race 3 keeps both races the others saved, and the
    // window takes them in.
    toggle_check_item(window, 2, 1, 3);
    lines = user_lines_from(read_bytes(user));
    EXPECT_EQ(tick_of(lines, 0, 1, 0), "1");
    EXPECT_EQ(tick_of(lines, 1, 3, 1), "1");
    EXPECT_EQ(tick_of(lines, 2, 1, 0), "1");
    EXPECT_EQ(window.user_lines, lines);

    // A race changed here and elsewhere since: refused, the other's kept.
    RaceDay other;
    ASSERT_TRUE(load_race_day(other, base, day).built);
    toggle_check_item(other, 3, 2, 3);
    std::string saved = read_bytes(user);
    EXPECT_THROW(toggle_check_item(window, 3, 5, 3), UserFileConflict);
    EXPECT_EQ(read_bytes(user), saved);
    // The window shows the file as it stands, and moving on is not refused.
    EXPECT_FALSE(window.user_changed);
    EXPECT_EQ(window.user_lines, user_lines_from(saved));

    // Viewing and the stake split write nothing.
    RaceDay viewer;
    ASSERT_TRUE(load_race_day(viewer, base, day).built);
    save_user_file(viewer, 0);
    EXPECT_EQ(read_bytes(user), saved);
    struct stat info {};
    ASSERT_EQ(stat(user.c_str(), &info), 0);
    ino_t inode = info.st_ino;
    CliRun show = cli(dir.path(), base_option + " show " + day_utf8 + " --invest 1=5000");
    EXPECT_EQ(show.status, 0) << show.err;
    ASSERT_EQ(stat(user.c_str(), &info), 0);
    EXPECT_EQ(info.st_ino, inode);
}

TEST_F(Reader, ControlCharactersOfAStoredNameNeverReachTheTerminal) {
    fs::path runners = file(".jvSEr");
    std::string bytes = read_bytes(runners);
    bytes.replace(40, 8, "\x1b]0;x\x07\x1b[");  // a title change and a sequence cut open
    write_bytes(runners, bytes);
    CliRun show = cli(dir.path(), base_option + " show " + day_utf8);
    ASSERT_EQ(show.status, 0) << show.err;
    EXPECT_EQ(show.out.find_first_of("\x1b\x07"), std::string::npos);
    EXPECT_TRUE(contains(show.out, "?]0;x??[")) << show.out.substr(0, 400);
}

}  // namespace
}  // namespace tolven
