#include "jvlink/import.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>

#include "jvlink/open_wait.hpp"
#include "store/cp932.hpp"
#include "store/store_reader.hpp"
#include "support/fake_jvlink.hpp"
#include "support/records.hpp"
#include "support/temp_dir.hpp"

namespace fs = std::filesystem;

namespace tolven {
namespace {

using namespace tolven::testing;

const DateTime kNow{2026, 12, 5, 9, 30, 0};

// Logs everything the import shows, one line per event, in UTF-8.
class RecordingHost : public ImportHost {
  public:
    std::string log;
    bool answer_yes = true;
    std::optional<std::string> last_time;
    std::function<void()> on_process_events;
    int process_events_calls = 0;

    void beep() override { log += "beep\n"; }
    void show_information(const std::string& text) override {
        log += "info " + cp932::to_utf8(text) + "\n";
    }
    bool confirm(const std::string& text) override {
        log += "confirm " + cp932::to_utf8(text) + "\n";
        return answer_yes;
    }
    void set_progress_line(const std::string& text) override {
        log += "line " + cp932::to_utf8(text) + "\n";
    }
    void set_bar_range(int bar, int maximum) override {
        log += "bar" + std::to_string(bar) + " range " + std::to_string(maximum) + "\n";
    }
    void set_bar_position(int bar, int position) override {
        log += "bar" + std::to_string(bar) + " " + std::to_string(position) + "\n";
    }
    void clear_built_lines() override { log += "clear\n"; }
    void add_built_line(const std::string& text) override {
        log += "built " + cp932::to_utf8(text) + "\n";
    }
    void set_busy_cursor(bool busy) override { log += busy ? "busy\n" : "normal\n"; }
    void process_events() override {
        ++process_events_calls;
        if (on_process_events) on_process_events();
    }
    void set_status_timer(bool enabled) override { log += enabled ? "timer on\n" : "timer off\n"; }
    void show_from_time(const DateTime& t) override { log += "picker " + t.text() + "\n"; }
    void open_waiting(int seconds) override { log += "waiting " + std::to_string(seconds) + "\n"; }
    std::optional<std::string> read_last_time() override { return last_time; }
    void write_last_time(const std::string& text) override {
        last_time = text;
        log += "LastTime " + text + "\n";
    }
};

const char* const kStartText =
    "info データ取込を開始します。データ作成が終了するまで本ソフトを操作したり"
    "他のアプリケーションを操作することは極力避けてください。\n"
    "timer off\nbar1 0\nbar2 0\nclear\nbusy\n";

class ImportTest : public ::testing::Test {
  protected:
    TempDir dir;
    DataStore store{dir.path()};
    FakeJvLink link;
    CancelFlag cancel;
    RecordingHost host;
    ImportController import{link, store, cancel, host, [] { return kNow; }};

    void SetUp() override {
        store.create_folders();
        host.last_time = "2026/11/20 08:00:00";
        import.open();
        host.log.clear();
    }
};

TEST_F(ImportTest, OpeningTakesLastTimeOrEightDaysBack) {
    EXPECT_EQ(import.from_time().text(), "2026/11/20 08:00:00");
    host.last_time.reset();
    import.open();
    EXPECT_EQ(import.from_time().text(), "2026/11/27 09:30:00");
    host.last_time = "not a date";
    import.open();
    EXPECT_EQ(import.from_time().text(), "2026/11/27 09:30:00");
    EXPECT_EQ(host.log, "picker 2026/11/27 09:30:00\npicker 2026/11/27 09:30:00\n");
}

TEST_F(ImportTest, NothingNewerShowsTheSameMessageForMinusOneAndZeroRecords) {
    for (int result : {-1, 0}) {
        link.open_result = result;
        link.read_count = 0;
        host.log.clear();
        import.start();
        EXPECT_EQ(host.log,
                  std::string(kStartText) + "beep\ninfo 最新のデータがありません。\nnormal\nbeep\n")
            << result;
    }
    EXPECT_EQ(link.calls.front(), "JVOpen RACERCVN 20261120080000 2");
    EXPECT_EQ(link.calls.back(), "JVClose");
}

TEST_F(ImportTest, OpenErrorShowsItsText) {
    link.open_result = -504;
    import.start();
    EXPECT_EQ(host.log, std::string(kStartText) +
                            "beep\ninfo JVOpenエラー:サーバーがメンテナンス中です。(-504)\n"
                            "normal\nbeep\n");
    EXPECT_FALSE(host.last_time != "2026/11/20 08:00:00");
}

TEST_F(ImportTest, ReadingWithoutDownloadFilesAndWritesLastTime) {
    link.read_count = 2;
    link.download_count = 0;
    link.last_file_timestamp = "20261204183000";
    link.reads = {FakeJvLink::record(race_record(20261212, "06", 1, "1"), "a.txt"),
                  {-1, "", "a.txt"},
                  {-2, "", ""},
                  {-3, "", ""},
                  FakeJvLink::record(payout_record(20261205, "06", 3), "b.txt"),
                  FakeJvLink::record("O1 an odds record nobody keeps\r\n", "b.txt"),
                  {-1, "", "b.txt"},
                  {0, "", ""}};
    // An earlier import cut short left a record it could not finish; this one
    // reads everything since the same from-time, and the record goes.
    write_bytes(dir.path() / "tolven.redo.damaged", "cut");
    import.start();
    EXPECT_FALSE(fs::exists(dir.path() / "tolven.redo.damaged"));
    EXPECT_EQ(host.log, std::string(kStartText) +
                            "line JVOpen正常:正常に実行されました。(0)\n"
                            "line ReadCount:2, DownloadCount:0\n"
                            "bar1 range 100\nbar1 100\n"
                            "line データ読込み中．．．(0/2)\nbar2 range 2\nbar2 0\n"
                            // A built-data line once its feed file is on the disk.
                            "bar2 1\nline データ読込み中．．．(1/2)\n"
                            "built 作成済み:01R/2026年12月12日中山.jvRA\n"
                            "bar2 2\nline データ読込み中．．．(2/2)\n"
                            "built 作成済み:03R/2026年12月05日中山.jvHR\n"
                            "line データ読込み完了(2/2)\nbar1 0\nbar2 0\nbeep\n"
                            "normal\nbeep\n"
                            "picker 2026/12/04 18:30:00\nLastTime 2026/12/04 18:30:00\n");
    EXPECT_EQ(import.from_time().text(), "2026/12/04 18:30:00");
    // Every read was preceded by a turn of the event loop, with size 60000.
    EXPECT_EQ(host.process_events_calls, 8);
    EXPECT_EQ(link.calls[1], "JVRead 60000");
    EXPECT_TRUE(fs::exists(store.data_folder() / u8"2026年12月12日中山.jvRA"));
}

TEST_F(ImportTest, BlankOrZeroTimestampLeavesLastTime) {
    for (const char* stamp : {"", "              ", "00000000000000"}) {
        link.read_count = 1;
        link.last_file_timestamp = stamp;
        link.reads = {{-1, "", "a.txt"}, {0, "", ""}};
        host.log.clear();
        import.start();
        EXPECT_EQ(host.log.find("LastTime"), std::string::npos) << '"' << stamp << '"';
    }
    EXPECT_EQ(host.last_time, "2026/11/20 08:00:00");
}

TEST_F(ImportTest, DownloadPathPollsStatusAndNeverWritesLastTime) {
    link.read_count = 1;
    link.download_count = 2;
    link.last_file_timestamp = "20261204183000";
    link.statuses = {0, 1, 2};
    link.reads = {FakeJvLink::record(race_record(20261212, "06", 2, "1"), "a.txt"),
                  {-1, "", "a.txt"},
                  {0, "", ""}};
    import.start();
    EXPECT_TRUE(import.downloading());
    EXPECT_EQ(host.log, std::string(kStartText) +
                            "line JVOpen正常:正常に実行されました。(0)\n"
                            "line ReadCount:1, DownloadCount:2\n"
                            "line ダウンロード中・・・\nbar1 range 2\ntimer on\n");
    host.log.clear();
    import.status_tick();
    import.status_tick();
    EXPECT_EQ(host.log,
              "line ダウンロード中．．．(0/2)\nbar1 0\nline ダウンロード中．．．(1/2)\nbar1 1\n");
    host.log.clear();
    import.status_tick();
    EXPECT_FALSE(import.downloading());
    EXPECT_EQ(host.log,
              "line ダウンロード中．．．(2/2)\nbar1 2\ntimer off\n"
              "line データ読込み中．．．(0/1)\nbar2 range 1\nbar2 0\n"
              "bar2 1\nline データ読込み中．．．(1/1)\n"
              "built 作成済み:02R/2026年12月12日中山.jvRA\n"
              "line データ読込み完了(1/1)\nbar1 0\nbar2 0\nbeep\n"
              "normal\nbeep\n");
    EXPECT_EQ(host.last_time, "2026/11/20 08:00:00");
    // The next start uses the picker, which still shows the previous value.
    import.start();
    EXPECT_EQ(link.calls.back(), "JVOpen RACERCVN 20261120080000 2");
}

TEST_F(ImportTest, StatusAboveDownloadCountDoesNothing) {
    link.read_count = 1;
    link.download_count = 2;
    link.statuses = {3};
    import.start();
    host.log.clear();
    import.status_tick();
    EXPECT_EQ(host.log, "");
    EXPECT_TRUE(import.downloading());
}

TEST_F(ImportTest, StatusErrorStopsAndCloses) {
    link.read_count = 1;
    link.download_count = 2;
    link.statuses = {-502};
    import.start();
    host.log.clear();
    import.status_tick();
    EXPECT_EQ(
        host.log,
        "beep\ninfo JVStatusエラー:ダウンロードに失敗しました。（通信エラーやディスクエラーなど）"
        "(-502)\ntimer off\nnormal\nbeep\n");
    EXPECT_EQ(link.calls.back(), "JVClose");
}

TEST_F(ImportTest, ReadErrorAndCloseError) {
    link.read_count = 1;
    link.last_file_timestamp = "20261204183000";
    link.reads = {{-503, "", ""}};
    link.close_result = -201;
    import.start();
    std::string tail =
        "line データ読込み中．．．(0/1)\nbar2 range 1\nbar2 0\n"
        "beep\ninfo JVReadエラー:ファイルが見つかりません。(-503)\n"
        "built 取込みを中断しました。作成済み 0 件は保存済み、保存されなかった変更 0 件。"
        "データ取込みをやり直してください。\n"
        "normal\nbeep\ninfo JVCloseエラー:(-201)\n";
    EXPECT_EQ(host.log.substr(host.log.size() - tail.size()), tail);
    // A read that stopped at an error does not move the from-time on.
    EXPECT_EQ(host.last_time, "2026/11/20 08:00:00");
}

TEST_F(ImportTest, CancelDuringReadingStopsTheLoopAndKeepsTheFromTime) {
    link.read_count = 2;
    link.last_file_timestamp = "20261204183000";
    link.reads = {FakeJvLink::record(race_record(20261212, "06", 1, "1")),
                  FakeJvLink::record(race_record(20261212, "06", 2, "1")),
                  {-1, "", ""},
                  {0, "", ""}};
    host.on_process_events = [&] {
        if (host.process_events_calls == 2) import.cancel();
    };
    write_bytes(dir.path() / "tolven.journal.damaged", "cut");
    import.start();
    EXPECT_TRUE(cancel.set);
    // A cancelled import did not read everything: the damage is still told.
    EXPECT_TRUE(damaged_import_notice(dir.path()).has_value());
    EXPECT_NE(host.log.find("confirm データ取込を中止します。実行しますか？\n"
                            "timer off\nbeep\ninfo JVCancel:キャンセルされました\n"
                            "line JVCancel:キャンセルされました\n"
                            // What was filed before the cancel is kept, and said so.
                            "built 作成済み:01R/2026年12月12日中山.jvRA\n"
                            "built 取込みを中断しました。作成済み 1 件は保存済み、保存されなかった"
                            "変更 0 件。データ取込みをやり直してください。\n"
                            "normal\nbeep\n"),
              std::string::npos)
        << host.log;
    EXPECT_EQ(host.log.find("LastTime"), std::string::npos);
    // One record was filed before the cancel, the second never read.
    EXPECT_EQ(std::count(link.calls.begin(), link.calls.end(), "JVRead 60000"), 1);
    EXPECT_EQ(std::count(link.calls.begin(), link.calls.end(), "JVClose"), 1);
    // The next start clears the flag.
    link.reads = {{0, "", ""}};
    host.on_process_events = nullptr;
    import.start();
    EXPECT_FALSE(cancel.set);
}

TEST_F(ImportTest, CancelAnsweredNoChangesNothing) {
    host.answer_yes = false;
    import.cancel();
    EXPECT_EQ(host.log, "confirm データ取込を中止します。実行しますか？\n");
    EXPECT_FALSE(cancel.set);
    EXPECT_TRUE(link.calls.empty());
}

TEST_F(ImportTest, CancelDuringDownloadClosesTheReading) {
    link.read_count = 1;
    link.download_count = 3;
    link.statuses = {1};
    import.start();
    import.status_tick();
    host.log.clear();
    import.cancel();
    EXPECT_FALSE(import.downloading());
    EXPECT_EQ(host.log,
              "confirm データ取込を中止します。実行しますか？\ntimer off\nbeep\n"
              "info JVCancel:キャンセルされました\nline JVCancel:キャンセルされました\nnormal\n");
    EXPECT_EQ(link.calls[link.calls.size() - 2], "JVCancel");
    EXPECT_EQ(link.calls.back(), "JVClose");
    // The timer no longer reaches JV-Link.
    import.status_tick();
    EXPECT_EQ(link.calls.back(), "JVClose");
}

// JVOpen runs on a thread of its own while the host's events go on: a slow
// open gets the notice and then reads as usual; a cancel while it is pending
// interrupts it, reads nothing and keeps the from-time; JVLink設定 waits.
TEST_F(ImportTest, APendingOpenLetsEventsRunAndCanBeCancelled) {
    struct Case {
        const char* name;
        int delay_ms;
        int cancel_at_events;    // 0: never
        int settings_at_events;  // 0: never
        bool notice;
        bool completes;
    };
    const Case cases[] = {
        {"at once", 0, 0, 0, false, true},
        {"slow", 3400, 0, 10, true, true},
        {"cancelled", 30000, 25, 0, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir base;
        DataStore here(base.path());
        here.create_folders();
        FakeJvLink slow;
        slow.open_delay_ms = c.delay_ms;
        slow.read_count = 1;
        slow.last_file_timestamp = "20261204183000";
        slow.reads = {FakeJvLink::record(race_record(20261212, "06", 1, "1"), "a.txt"),
                      {-1, "", "a.txt"},
                      {0, "", ""}};
        RecordingHost watcher;
        watcher.last_time = "2026/11/20 08:00:00";
        ImportController run(slow, here, cancel, watcher, [] { return kNow; });
        run.open();
        int during_open = 0;
        watcher.on_process_events = [&] {
            if (!slow.open_pending()) return;
            ++during_open;
            if (during_open == c.cancel_at_events) run.cancel();
            if (during_open == c.settings_at_events) run.settings();
        };
        auto started = std::chrono::steady_clock::now();
        run.start();
        auto took = std::chrono::steady_clock::now() - started;
        const std::string& log = watcher.log;
        // About every 20 ms while the open runs.
        if (c.delay_ms > 0) {
            EXPECT_GT(during_open, c.cancel_at_events ? 20 : c.delay_ms / 40);
        }
        EXPECT_EQ(log.find("waiting 3\n") != std::string::npos, c.notice) << log;
        if (c.notice) {
            // Taken back when the open returns, before its result is shown.
            EXPECT_LT(log.find("waiting 0\n"), log.find("line JVOpen正常"));
            EXPECT_NE(log.find("info JV-Link の応答を待っています。JVLink設定は取込みの開始が"
                               "終わってから使えます。\n"),
                      std::string::npos)
                << log;
        }
        EXPECT_EQ(std::count(slow.calls.begin(), slow.calls.end(), "JVSetUIProperties"), 0);
        EXPECT_EQ(std::count(slow.calls.begin(), slow.calls.end(), "JVClose"), 1);
        EXPECT_EQ(std::count(slow.calls.begin(), slow.calls.end(), "JVCancel"), 0);
        EXPECT_EQ(watcher.last_time, c.completes ? "2026/12/04 18:30:00" : "2026/11/20 08:00:00");
        EXPECT_EQ(fs::exists(here.data_folder() / u8"2026年12月12日中山.jvRA"), c.completes);
        if (!c.completes) {
            EXPECT_GT(slow.interrupts.load(), 0);
            EXPECT_LT(took, std::chrono::seconds(5));
            EXPECT_EQ(slow.calls.size(), 2u);  // JVOpen, JVClose: nothing read
            std::string tail = "confirm データ取込を中止します。実行しますか？\ntimer off\nbeep\n"
                               "info JVCancel:キャンセルされました\n"
                               "line JVCancel:キャンセルされました\nnormal\nbeep\n";
            ASSERT_GE(log.size(), tail.size());
            EXPECT_EQ(log.substr(log.size() - tail.size()), tail);
        }
    }
}

// A failure on the caller's side while JVOpen is pending (an event handler
// that throws) gives the open up and waits for it before the error goes on:
// the program does not end with a thread still running.
TEST(OpenWait, AFailingEventHandlerEndsThePendingOpenAndPassesTheErrorOn) {
    FakeJvLink slow;
    slow.open_delay_ms = 30000;
    int events = 0;
    OpenWaitHost host;
    host.process_events = [&] {
        if (++events == 3) throw std::runtime_error("handler failed");
    };
    auto started = std::chrono::steady_clock::now();
    int rc = 0;
    int dc = 0;
    std::string last;
    EXPECT_THROW(run_open(
                     slow, [&] { return slow.JVOpen("RACE", "20261201000000", 1, rc, dc, last); },
                     host),
                 std::runtime_error);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_GT(slow.interrupts.load(), 0);
    EXPECT_FALSE(slow.open_pending());
    EXPECT_EQ(events, 3);
}

TEST_F(ImportTest, SettingsError) {
    link.set_ui_result = -100;
    import.settings();
    EXPECT_EQ(host.log,
              "beep\ninfo JVSetUIPropertiesエラー：パラメータが不正あるいはレジストリへの保存に"
              "失敗しました。(-100)\n");
    link.set_ui_result = 0;
    host.log.clear();
    import.settings();
    EXPECT_EQ(host.log, "");
}

TEST(ImportFailure, FileErrorEndsTheRunAndStillCloses) {
    TempDir dir;
    // The day-file folder is a plain file: no day file can be read or written.
    write_bytes(dir.path() / "base" / "Data", "x");
    DataStore store(dir.path() / "base");
    FakeJvLink link;
    CancelFlag cancel;
    RecordingHost host;
    ImportController import(link, store, cancel, host, [] { return kNow; });
    link.read_count = 1;
    link.last_file_timestamp = "20261204183000";
    link.reads = {FakeJvLink::record(race_record(20261212, "06", 1, "1")),
                  FakeJvLink::record(race_record(20261212, "06", 2, "1")),
                  {0, "", ""}};
    import.start();
    EXPECT_NE(host.log.find("beep\ninfo データ作成エラー:"), std::string::npos) << host.log;
    EXPECT_EQ(host.log.substr(host.log.size() - 12), "normal\nbeep\n");
    EXPECT_EQ(link.calls.back(), "JVClose");
    EXPECT_EQ(std::count(link.calls.begin(), link.calls.end(), "JVRead 60000"), 1);
    EXPECT_FALSE(host.last_time.has_value());
}

TEST_F(ImportTest, ASecondWriterOfTheBaseFolderIsRefusedBeforeJVOpen) {
    StoreWriter other(store);  // an import or refresh running elsewhere
    link.read_count = 1;
    import.start();
    EXPECT_EQ(host.log.substr(0, host.log.find("、プロセスID")),
              std::string(kStartText) +
                  "beep\ninfo データ作成エラー:別のデータ取込みか成績更新が実行中です（フォルダ: " +
                  dir.path().string());
    EXPECT_EQ(host.log.substr(host.log.size() - 11), "。\nnormal\n");
    EXPECT_TRUE(import.failed());
    EXPECT_TRUE(link.calls.empty());
}

TEST_F(ImportTest, AFeedFileEndIsACheckpointAndTheEndACommit) {
    link.read_count = 2;
    link.reads = {FakeJvLink::record(race_record(20261212, "06", 1, "1"), "a.txt"),
                  {-1, "", "a.txt"},
                  FakeJvLink::record(race_record(20261212, "06", 2, "1"), "b.txt"),
                  {-1, "", "b.txt"},
                  {0, "", ""}};
    fs::path races = store.data_folder() / u8"2026年12月12日中山.jvRA";
    host.on_process_events = [&] {
        // Write-behind: nothing in the file until the end, but the finished
        // feed file is in the redo log.
        if (host.process_events_calls == 3) {
            EXPECT_FALSE(fs::exists(races));
            EXPECT_TRUE(fs::exists(dir.path() / "tolven.redo"));
        }
    };
    import.start();
    EXPECT_FALSE(import.failed()) << host.log;
    EXPECT_EQ(split_lines(read_bytes(races)).size(), 2u);
    EXPECT_FALSE(fs::exists(dir.path() / "tolven.redo"));
    EXPECT_EQ(import.writer_stats().checkpoints, 2);
    EXPECT_EQ(import.writer_stats().files_written, 1);
    // The lock went with the run.
    EXPECT_NO_THROW(StoreWriter next(store));
}

TEST(ImportThreshold, FiveCalendarDaysBack) {
    EXPECT_EQ(import_threshold_date(DateTime{2026, 12, 5, 9, 0, 0}), 20261130);
    EXPECT_EQ(import_threshold_date(DateTime{2027, 1, 3, 0, 0, 0}), 20261229);
    EXPECT_EQ(import_threshold_date(DateTime{2028, 3, 4, 23, 59, 59}), 20280228);
}

}  // namespace
}  // namespace tolven
