// tolven-cli given wrong folders, wrong day names and tampered store files:
// a message that says what is wrong, exit status 1, nothing written outside
// the base folder.
#include <gtest/gtest.h>

#include <cstdlib>

#include "store/error_text.hpp"
#include "store/cp932.hpp"
#include "store/data_store.hpp"
#include "store/record_builder.hpp"
#include "support/cli_run.hpp"
#include "support/records.hpp"
#include "support/temp_dir.hpp"

namespace fs = std::filesystem;

namespace tolven {
namespace {

using namespace tolven::testing;

// Runs tolven-cli with the arguments (UTF-8, quoted by the caller) in dir.
CliRun cli(const fs::path& dir, const std::string& arguments) {
    return run_cli(TOLVEN_CLI, dir, arguments);
}

std::string quoted(const fs::path& p) {
    return "'" + p.string() + "'";
}

const char* const kStartMessage =
    "データ取込を開始します。データ作成が終了するまで本ソフトを操作したり"
    "他のアプリケーションを操作することは極力避けてください。\n";

// A base folder two levels down in a temporary folder, with one race day of
// two races at Hanshin on 2026-12-07.
class CliInput : public ::testing::Test {
  protected:
    TempDir dir;
    fs::path base = dir.path() / "a" / "base";
    std::string base_option = "--base " + quoted(base);
    std::set<std::string> root_before = folder_entries("/");

    void SetUp() override {
        DataStore store(base);
        store.create_folders();
        for (int n = 1; n <= 2; ++n) {
            store.store(StoreFile::DayRaces, RecordBuilder(RecordKind::Race)
                                                 .race(20261207, "09", 5, 2, n)
                                                 .number(ra::entries, 2)
                                                 .number(ra::distance, 1600)
                                                 .number(ra::track, 17)
                                                 .str());
            for (int h = 1; h <= 2; ++h) {
                store.store(StoreFile::DayRunners, runner_record(20261207, "09", n, h, "2"));
            }
        }
    }

    // Names new in "/" or beside the base folder since the test began.
    std::string created_outside() {
        std::string found;
        for (const auto& name : folder_entries("/")) {
            if (!root_before.count(name)) found += "/" + name + "\n";
        }
        for (const auto& name : folder_entries(base.parent_path())) {
            if (name != "base") found += name + "\n";
        }
        return found;
    }
};

TEST_F(CliInput, TheUntouchedDayShows) {
    CliRun run = cli(dir.path(), base_option + " show 2026年12月07日阪神");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    // Viewing a day writes nothing.
    EXPECT_FALSE(fs::exists(base / "Data" / u8"2026年12月07日阪神.User"));
    // While an interrupted import's record could not be checked whole, every
    // command that reads the store says that data may be missing, each time.
    write_bytes(base / "tolven.journal.damaged", "tolven journal 2\n3\n");
    for (const char* command : {"days", "show 2026年12月07日阪神", "days"}) {
        SCOPED_TRACE(command);
        run = cli(dir.path(), base_option + " " + command);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "tolven-cli: 中断されたデータ取込みの記録「" +
                               (base / "tolven.journal.damaged").string() +
                               "」を最後まで確かめられませんでした。その取込みのデータが一部欠けて"
                               "いる可能性があります。データ取込みをもう一度実行してください。\n");
    }
}

TEST_F(CliInput, ATamperedRaceFileIsRefusedByEveryCommandThatLoadsTheDay) {
    fs::path races = base / "Data" / u8"2026年12月07日阪神.jvRA";
    std::vector<std::string> lines = split_lines(read_bytes(races));
    for (const char* year : {"/abc", "/../"}) {
        lines[0].replace(header::year.offset, header::year.width, year);
        write_bytes(races, join_lines(lines));
        for (const std::string command : {"show", "show --json", "results", "tick"}) {
            SCOPED_TRACE(std::string(year) + " " + command);
            std::string tail = command == "tick" ? " 1 1 3" : "";
            CliRun run =
                cli(dir.path(), base_option + " " + command + " 2026年12月07日阪神" + tail);
            EXPECT_EQ(run.status, 1);
            EXPECT_EQ(run.out, "");
            EXPECT_EQ(run.err, "レースデータが不正です:" + races.string() +
                                   " 1行目 開催年が数字ではありません:\"" + year + "\"\n");
        }
    }
    EXPECT_FALSE(fs::exists(base / "Data" / u8"2026年12月07日阪神.User"));
    EXPECT_EQ(created_outside(), "");
}

TEST_F(CliInput, ADayArgumentThatIsNoDayKeyIsRefused) {
    // The day files "../x" would name, were it taken as a path.
    write_bytes(base / "x.jvRA", read_bytes(base / "Data" / u8"2026年12月07日阪神.jvRA"));
    write_bytes(base / "x.jvSEr", read_bytes(base / "Data" / u8"2026年12月07日阪神.jvSEr"));
    for (const std::string day : {"../x", "/abc年12月07日阪神", "2026年12月07日阪神/..", ".."}) {
        for (const std::string command : {"show", "results", "refresh", "tick"}) {
            SCOPED_TRACE(day + " " + command);
            std::string tail = command == "tick" ? " 1 1 3" : "";
            CliRun run = cli(dir.path(), base_option + " " + command + " '" + day + "'" + tail);
            EXPECT_EQ(run.status, 1);
            EXPECT_EQ(run.err, "レース日の指定が不正です:\"" + day + "\"\n");
        }
    }
    EXPECT_FALSE(fs::exists(base / "x.User"));
    EXPECT_EQ(created_outside(), "");
}

TEST_F(CliInput, AFeedFolderThatCannotBeUsedFailsTheImportNamingIt) {
    fs::path feed = dir.path() / "feed";
    const std::string open_error = "JVOpenエラー:JV-Link 内部エラーが発生しました。(-401)\n";
    struct Case {
        const char* what;
        std::function<void()> make;
        std::string detail;
    } cases[] = {
        {"missing", [] {}, "フィードフォルダが見つかりません:" + feed.string()},
        {"a file", [&] { write_bytes(feed, "x"); },
         "フィードフォルダがフォルダではありません:" + feed.string()},
        {"a link to itself", [&] { fs::create_symlink(feed, feed); },
         "フィードフォルダを読み取れません:" + feed.string() + " (" +
             tolven::error_reason(std::make_error_code(std::errc::too_many_symbolic_link_levels)) + ")"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(feed);
        c.make();
        CliRun run = cli(dir.path(), base_option + " --feed " + quoted(feed) +
                                         " import --quiet --from 20000101000000");
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, kStartMessage + open_error + c.detail + "\n");
        CliRun refresh = cli(
            dir.path(), base_option + " --feed " + quoted(feed) + " refresh 2026年12月07日阪神");
        EXPECT_EQ(refresh.status, 1);
        EXPECT_EQ(refresh.err,
                  "JVRTOpenエラー:JV-Link 内部エラーが発生しました。(-401)\n" + c.detail + "\n");
    }
    // An empty feed folder has nothing newer: a message, not a failure.
    fs::remove_all(feed);
    fs::create_directories(feed);
    CliRun run = cli(dir.path(), base_option + " --feed " + quoted(feed) +
                                     " import --quiet --from 20000101000000");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, kStartMessage + std::string("最新のデータがありません。\n"));
}

// JV-Link settings this program cannot honour stop the import and the
// refresh with a message naming the key, before anything is read or written.
TEST_F(CliInput, JvLinkSettingsThatCannotBeHonouredAreRefused) {
    struct Case {
        const char* ini;
        const char* option;
        const char* said;
    } cases[] = {
        {"Source=com", "",
         "[JVLink] Source=com（JV-Link を本ソフトに直接読み込む方法）は Windows 版でだけ使えます。"
         "この環境では設定ファイル tolven.ini の [JVLink] Source=bridge（Wine 上の中継プログラム "
         "tolven-jvbridge.exe）を使ってください。\n"},
        {"", "--jvlink com ", "[JVLink] Source=com（JV-Link を本ソフトに直接読み込む方法）"},
        {"Source=feed\r\nOpenTimeout=4", "",
         "設定ファイル tolven.ini の [JVLink] OpenTimeout=4 は 5 から 86400 までの秒数にしてくださ"
         "い。\n"},
        {"OpenTimeout=half an hour", "--jvlink feed ",
         "[JVLink] OpenTimeout=half an hour は 5 から 86400 までの秒数にしてください。"},
    };
    auto before = folder_entries(base / "Data");
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.option) + c.ini);
        write_bytes(base / "tolven.ini", sj(std::string("[JVLink]\r\n") + c.ini + "\r\n"));
        for (const char* command : {"import --quiet", "refresh 2026年12月07日阪神"}) {
            CliRun run = cli(dir.path(), base_option + " " + c.option + command);
            EXPECT_EQ(run.status, 1) << command;
            EXPECT_NE(run.err.find(c.said), std::string::npos) << command << "\n" << run.err;
            EXPECT_EQ(run.out, "") << command;
        }
    }
    EXPECT_EQ(folder_entries(base / "Data"), before);
    EXPECT_FALSE(fs::exists(base / "JVCache"));
}

TEST_F(CliInput, ACacheThatCannotBeWrittenFailsTheImportNamingIt) {
    fs::path feed = dir.path() / "feed";
    write_bytes(feed / "20261201100000_a.txt", race_record(20261220, "06", 1, "1"));
    write_bytes(base / "JVCache", "in the way");
    CliRun run = cli(dir.path(), base_option + " --feed " + quoted(feed) +
                                     " import --quiet --from 20000101000000");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              kStartMessage +
                  std::string("JVStatusエラー:ダウンロードに失敗しました。（通信エラーやディ"
                              "スクエラーなど）(-502)\nキャッシュフォルダを作成できません:") +
                  (base / "JVCache").string() + " (" +
                  tolven::error_reason(std::make_error_code(std::errc::not_a_directory)) + ")\n");
    EXPECT_EQ(created_outside(), "");
}

TEST_F(CliInput, ARecordWithALineBreakInsideIsNotFiled) {
    fs::path feed = dir.path() / "feed";
    std::string broken = race_record(20261220, "06", 2, "1");
    broken[200] = '\r';
    write_bytes(feed / "20261201100000_a.txt", race_record(20261220, "06", 1, "1") + broken);
    CliRun run = cli(dir.path(), base_option + " --feed " + quoted(feed) +
                                     " import --quiet --from 20000101000000");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.substr(run.out.rfind('\n', run.out.size() - 2) + 1),
              "2 lines of built data, 1 records not filed\n");
    std::string stored = read_bytes(base / "Data" / u8"2026年12月20日中山.jvRA");
    EXPECT_EQ(split_lines(stored).size(), 1u);
    EXPECT_EQ(stored.find('\r'), stored.size() - 2);
}

}  // namespace
}  // namespace tolven
