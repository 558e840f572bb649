#include "jvlink/bridge_jvlink.hpp"

#include <gtest/gtest.h>

#include <chrono>
#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <unistd.h>
#endif

#include "jvlink/feed_link.hpp"
#include "jvlink/result_text.hpp"
#include "jvlink/results_refresh.hpp"
#include "sample/sample_feed.hpp"
#include "store/error_text.hpp"
#include "store/cp932.hpp"
#include "store/data_store.hpp"
#include "support/link_import.hpp"
#include "support/temp_dir.hpp"

namespace fs = std::filesystem;

namespace tolven {
namespace {

using namespace tolven::testing;

const DateTime kNow{2026, 12, 6, 9, 30, 0};

// Runs the fake bridge (a native program speaking the bridge protocol over
// FeedLink) directly, without Wine.
class BridgeJvLinkTest : public ::testing::Test {
  protected:
    TempDir dir;
    fs::path feed = dir.path() / "feed";
    fs::path log = dir.path() / "bridge.log";
    std::vector<std::string> reports;

    static void SetUpTestSuite() {
        shared_ = new TempDir;
        SampleFeedOptions options;
        options.seed = 3;
        options.weeks = 0;
        options.today = kNow.date_number();
        make_sample_feed(shared_->path() / "feed", options);
    }
    static void TearDownTestSuite() {
        delete shared_;
        shared_ = nullptr;
    }

    void SetUp() override { fs::copy(shared_->path() / "feed", feed, fs::copy_options::recursive); }

    BridgeOptions options(const std::string& fault, const fs::path& base) {
        BridgeOptions o;
        o.bridge = FAKE_BRIDGE;
        o.wine.clear();
        o.environment = {"FAKE_BRIDGE_FEED=" + feed.string(),
                         "FAKE_BRIDGE_CACHE=" + (base / "JVCache").string(),
                         "FAKE_BRIDGE_LOG=" + log.string()};
        if (!fault.empty()) o.environment.push_back("FAKE_BRIDGE_FAULT=" + fault);
        o.timeouts.start = 10000;
        o.timeouts.call = 10000;
        o.timeouts.open = 10000;
        o.timeouts.shutdown = 2000;
        return o;
    }

    std::unique_ptr<BridgeJvLink> bridge(const std::string& fault = "",
                                         fs::path base = fs::path()) {
        if (base.empty()) base = dir.path() / "bridge";
        auto link = std::make_unique<BridgeJvLink>(options(fault, base));
        link->set_failure_reporter([this](const std::string& text) { reports.push_back(text); });
        return link;
    }

    // The FeedLink import of the same feed, the store to compare with.
    std::map<std::string, std::string> feed_link_store(int* built_lines = nullptr,
                                                       std::string* last_time = nullptr) {
        fs::path base = dir.path() / "feedlink";
        FeedLink link(feed, base / "JVCache");
        EXPECT_EQ(link.JVInit(jvlink_sid()), 0);
        RecordingImportHost host;
        EXPECT_TRUE(import_through(link, base, kNow, host));
        // A second run finds every file downloaded and reads at once.
        EXPECT_TRUE(import_through(link, base, kNow, host));
        if (built_lines) *built_lines = host.built_lines;
        if (last_time) *last_time = host.read_last_time().value_or("");
        return store_snapshot(base);
    }

    std::string log_text() { return read_bytes(log); }

    static TempDir* shared_;
};

TempDir* BridgeJvLinkTest::shared_ = nullptr;

int count_of(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

TEST_F(BridgeJvLinkTest, ImportIsByteIdenticalToFeedLink) {
    int feed_lines = 0;
    std::string feed_last_time;
    auto expected = feed_link_store(&feed_lines, &feed_last_time);
    ASSERT_GT(expected.size(), 20u);

    auto link = bridge();
    ASSERT_EQ(link->check_presence().state, BridgePresence::State::Installed);
    ASSERT_EQ(link->JVInit(jvlink_sid()), 0);
    EXPECT_EQ(link->version(), "0490");
    fs::path base = dir.path() / "bridge";
    RecordingImportHost host;
    // First with the download wait, then reading at once.
    ASSERT_TRUE(import_through(*link, base, kNow, host));
    ASSERT_TRUE(import_through(*link, base, kNow, host));
    EXPECT_EQ(store_snapshot(base), expected);
    EXPECT_EQ(host.built_lines, feed_lines);
    EXPECT_EQ(host.read_last_time().value_or(""), feed_last_time);
    const std::string start = import_start_notice();
    EXPECT_EQ(host.messages, (std::vector<std::string>{start, start}));
    EXPECT_EQ(reports, std::vector<std::string>{});
    // The arguments crossed as given: the sid, the open's dataspec, from-time
    // and option, the size variable of 60000.
    std::string calls = log_text();
    EXPECT_EQ(count_of(calls, "JVInit 0 TL000130/TL000130/TOLVEN/Ver.1.30 \n"), 1) << calls;
    EXPECT_EQ(count_of(calls, "JVOpen 2 RACERCVN 20000101000000\n"), 2) << calls;
    EXPECT_EQ(count_of(calls, "JVRead 60000  \n"), count_of(calls, "JVRead "));
}

TEST_F(BridgeJvLinkTest, OpenCountsAndTimestampComeBackAsFeedLinkGivesThem) {
    FeedLink direct(feed, dir.path() / "direct-cache");
    ASSERT_EQ(direct.JVInit(jvlink_sid()), 0);
    auto link = bridge();
    ASSERT_EQ(link->JVInit(jvlink_sid()), 0);
    for (const char* from : {"20000101000000", "20261204000000", "20991231000000", "2026"}) {
        int rc1 = -9, dc1 = -9, rc2 = -7, dc2 = -7;
        std::string last1 = "x", last2 = "y";
        int r1 = direct.JVOpen("RACERCVN", from, 2, rc1, dc1, last1);
        int r2 = link->JVOpen("RACERCVN", from, 2, rc2, dc2, last2);
        EXPECT_EQ(r2, r1) << from;
        EXPECT_EQ(rc2, rc1) << from;
        EXPECT_EQ(dc2, dc1) << from;
        EXPECT_EQ(last2, last1) << from;
        EXPECT_EQ(link->JVClose(), direct.JVClose());
    }
    // Before an open, reading gets the component's own code.
    std::string buffer, name;
    int size = 60000;
    EXPECT_EQ(link->JVRead(buffer, size, name), -203);
    EXPECT_EQ(size, 60000);
}

TEST_F(BridgeJvLinkTest, RefreshIsByteIdenticalToFeedLink) {
    auto expected_before = feed_link_store();
    fs::path feed_base = dir.path() / "feedlink";
    auto link = bridge();
    ASSERT_EQ(link->JVInit(jvlink_sid()), 0);
    fs::path base = dir.path() / "bridge";
    RecordingImportHost host;
    ASSERT_TRUE(import_through(*link, base, kNow, host));
    ASSERT_EQ(store_snapshot(base), expected_before);

    // The first race of today's first racecourse, as the main window passes it.
    std::string first_race;
    for (const auto& [name, content] : expected_before) {
        if (name.find("2026年12月06日") != std::string::npos && name.size() > 5 &&
            name.substr(name.size() - 5) == ".jvRA") {
            first_race = content.substr(0, content.find("\r\n") + 2);
            break;
        }
    }
    ASSERT_FALSE(first_race.empty());
    int beeps = 0;
    RefreshHost refresh_host{[&] { ++beeps; }, [] {}, [](bool) {}, [] {}};
    CancelFlag cancel;
    FeedLink direct(feed, feed_base / "JVCache");
    ASSERT_EQ(direct.JVInit(jvlink_sid()), 0);
    RefreshResult by_feed =
        refresh_results(direct, DataStore(feed_base), cancel, first_race, refresh_host);
    RefreshResult by_bridge =
        refresh_results(*link, DataStore(base), cancel, first_race, refresh_host);
    EXPECT_GT(by_feed.records_filed, 0);
    EXPECT_EQ(by_bridge.records_filed, by_feed.records_filed);
    EXPECT_EQ(beeps, 4);  // each refresh closes twice and each close succeeds
    EXPECT_EQ(store_snapshot(base), store_snapshot(feed_base));
    EXPECT_NE(store_snapshot(base), expected_before);
    EXPECT_NE(log_text().find("JVRTOpen 0 0B12 20261206\n"), std::string::npos);
}

TEST_F(BridgeJvLinkTest, PresenceCheckTellsTheThreeCasesApart) {
    EXPECT_EQ(bridge()->check_presence().state, BridgePresence::State::Installed);

    BridgePresence missing = bridge("not-installed")->check_presence();
    EXPECT_EQ(missing.state, BridgePresence::State::NotInstalled);
    EXPECT_EQ(missing.message, jvlink_not_installed_message());
    EXPECT_EQ(missing.detail, "JVDTLab.JVLink is not registered");

    BridgeOptions o = options("", dir.path());
    o.bridge = dir.path() / "nowhere" / "tolven-jvbridge.exe";
    BridgePresence no_bridge = BridgeJvLink(o).check_presence();
    EXPECT_EQ(no_bridge.state, BridgePresence::State::BridgeFailed);
    EXPECT_EQ(no_bridge.message,
              sj("JV-Link 中継プログラムが見つかりません：" + o.bridge.string() +
                 "\r\n設定ファイル tolven.ini の [JVLink] BridgePath を確かめてください。"));

    o = options("", dir.path());
    o.wine = (dir.path() / "no-wine").string();
    BridgePresence no_wine = BridgeJvLink(o).check_presence();
    EXPECT_EQ(no_wine.state, BridgePresence::State::BridgeFailed);
    EXPECT_EQ(no_wine.message, sj("JV-Link 中継プログラムを起動できません：" + o.wine +
                                  "（" + error_reason(ENOENT) + "）\r\n設定ファイル tolven.ini の "
                                  "[JVLink] WinePath を確かめてください。"));
    // The start-up check shows its own message; nothing was reported besides.
    EXPECT_EQ(reports, std::vector<std::string>{});
}

TEST_F(BridgeJvLinkTest, ABridgeThatEndsAtOnceOrSpeaksAnotherVersionIsReported) {
    BridgePresence ended = bridge("exit-at-start")->check_presence();
    EXPECT_EQ(ended.state, BridgePresence::State::BridgeFailed);
    EXPECT_EQ(ended.message,
              sj(std::string("JV-Link 中継プログラムが起動直後に終了しました（終了コード 3）：") +
                 FAKE_BRIDGE));

    auto other = bridge("protocol:7");
    EXPECT_EQ(other->JVInit(jvlink_sid()), BridgeJvLink::kBridgeFailure);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], sj(std::string("JV-Link 中継プログラムの版が合いません（") + FAKE_BRIDGE +
                             "：通信の版 7、必要な版 1）。本ソフトと同じ版の中継プログラムを使って"
                             "ください。"));
    EXPECT_EQ(other->process_id(), 0);
}

// A person's import while the bridge dies: the reading stops with a message,
// what was filed stays, and the next start runs a new bridge that completes
// the store exactly.
TEST_F(BridgeJvLinkTest, ABridgeKilledMidReadIsReportedAndRestartedAtTheNextOpen) {
    auto expected = feed_link_store();
    auto link = bridge();
    ASSERT_EQ(link->JVInit(jvlink_sid()), 0);
    fs::path base = dir.path() / "bridge";
    RecordingImportHost host;
    int turns = 0;
    int killed_pid = 0;
    host.on_events = [&] {
        // The reading loop lets events run before every JVRead.
        if (++turns == 300) {
            killed_pid = link->process_id();
            ASSERT_GT(killed_pid, 0);
#ifdef _WIN32
            HANDLE bridge = OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(killed_pid));
            ASSERT_NE(bridge, nullptr);
            TerminateProcess(bridge, 9);
            CloseHandle(bridge);
#else
            kill(killed_pid, SIGKILL);
#endif
        }
    };
    EXPECT_FALSE(import_through(*link, base, kNow, host));
    ASSERT_GT(killed_pid, 0);
    EXPECT_EQ(host.messages,
              (std::vector<std::string>{import_start_notice(), sj("JVReadエラー:(-401)")}));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], sj("JV-Link 中継プログラムが JVRead の途中で終了しました（シグナル 9）。"
                             "次の取得開始時に起動し直します。"));
    EXPECT_EQ(link->process_id(), 0);
    auto partial = store_snapshot(base);
    EXPECT_FALSE(partial.empty());
    EXPECT_NE(partial, expected);
    // The from-time stays where it was, so the records not yet read are
    // fetched again.
    EXPECT_EQ(host.read_last_time().value_or(""), "2000/01/01 00:00:00");

    host.on_events = nullptr;
    host.messages.clear();
    ASSERT_TRUE(import_through(*link, base, kNow, host));
    EXPECT_NE(link->process_id(), killed_pid);
    EXPECT_EQ(store_snapshot(base), expected);
    EXPECT_EQ(host.messages, std::vector<std::string>{import_start_notice()});
    EXPECT_EQ(reports.size(), 1u);
    // The new bridge was initialised with the sid of the first one.
    EXPECT_EQ(count_of(log_text(), "JVInit 0 TL000130/TL000130/TOLVEN/Ver.1.30"), 2);
}

TEST_F(BridgeJvLinkTest, ABridgeThatHangsTimesOutInsteadOfHanging) {
    BridgeOptions o = options("hang:JVRead:5", dir.path() / "bridge");
    o.timeouts.call = 300;
    BridgeJvLink link(o);
    link.set_failure_reporter([this](const std::string& text) { reports.push_back(text); });
    ASSERT_EQ(link.JVInit(jvlink_sid()), 0);
    RecordingImportHost host;
    auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(import_through(link, dir.path() / "bridge", kNow, host));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
    EXPECT_EQ(host.messages,
              (std::vector<std::string>{import_start_notice(), sj("JVReadエラー:(-401)")}));
    EXPECT_EQ(reports, std::vector<std::string>{sj(
                           "JV-Link 中継プログラムが JVRead に 1 秒以内に応答しませんでした。中継プ"
                           "ログラムを終了しました。次の取得開始時に起動し直します。")});
    EXPECT_EQ(link.process_id(), 0);
}

// JV-Link may hold JVOpen up with a window of its own. An open that takes
// longer than the open time-out ends the bridge with a message that names the
// setting; one the user cancels (interrupt, from the window thread) ends the
// bridge at once without a report; one within the time-out imports as usual.
// Nothing is stored but by a completed import. (The last days of the feed
// only: the whole import is compared with FeedLink's above.)
TEST_F(BridgeJvLinkTest, ASlowOpenTimesOutOrIsInterruptedOrCompletes) {
    struct Case {
        const char* name;
        int open_ms;       // how long the bridge's JVOpen takes
        int timeout_ms;    // the open time-out
        int interrupt_ms;  // when the user cancels; 0: never
        const char* report;
    };
    const Case cases[] = {
        {"longer than the time-out", 4000, 1500, 0,
         "JV-Link が JVOpen に 2 秒以内に応答しませんでした。JV-Link が自分のウィンドウで答えを"
         "待っていたかもしれません。中継プログラムを終了しました。待つ時間は設定ファイル "
         "tolven.ini の [JVLink] OpenTimeout（秒）で変えられます。"},
        {"cancelled", 20000, 60000, 300, nullptr},
        {"within the time-out", 1200, 5000, 0, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        reports.clear();
        fs::path base = dir.path() / (std::string("slow-") + c.name);
        BridgeOptions o = options("sleep:JVOpen:1:" + std::to_string(c.open_ms), base);
        o.timeouts.open = c.timeout_ms;
        BridgeJvLink link(o);
        link.set_failure_reporter([this](const std::string& text) { reports.push_back(text); });
        ASSERT_EQ(link.JVInit(jvlink_sid()), 0);
        int pid = link.process_id();
        RecordingImportHost host;
        DataStore store(base);
        store.create_folders();
        CancelFlag cancel;
        ImportController import(link, store, cancel, host, [] { return kNow; });
        import.open();
        import.set_from_time(DateTime{2026, 12, 4, 0, 0, 0});
        auto started = std::chrono::steady_clock::now();
        int events_while_open = 0;
        host.on_events = [&] {
            if (!link.open_pending()) return;
            ++events_while_open;
            auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now() - started)
                          .count();
            if (c.interrupt_ms > 0 && ms >= c.interrupt_ms && !cancel.set) import.cancel();
        };
        import.start();
        while (import.downloading()) import.status_tick();
        auto took = std::chrono::steady_clock::now() - started;
        // The caller's events ran while the bridge held the open.
        EXPECT_GT(events_while_open, 10);
        std::vector<std::string> shown = {import_start_notice()};
        if (c.report != nullptr) {
            shown.push_back(sj("JVOpenエラー:JV-Link 内部エラーが発生しました。(-401)"));
            EXPECT_EQ(reports, std::vector<std::string>{sj(c.report)});
        } else {
            EXPECT_EQ(reports, std::vector<std::string>{});
        }
        if (c.interrupt_ms > 0) shown.push_back(sj("JVCancel:キャンセルされました"));
        EXPECT_EQ(host.messages, shown);
        bool completes = c.report == nullptr && c.interrupt_ms == 0;
        EXPECT_EQ(import.failed(), c.report != nullptr);
        if (completes) {
            EXPECT_GT(store_snapshot(base).size(), 5u);
            EXPECT_EQ(link.process_id(), pid);
        } else {
            EXPECT_EQ(store_snapshot(base), (std::map<std::string, std::string>{}));
            EXPECT_EQ(link.process_id(), 0);  // the bridge was ended
            EXPECT_LT(took, std::chrono::milliseconds(c.interrupt_ms > 0 ? 3000 : c.open_ms));
        }
    }
}

struct ProtocolFault {
    const char* fault;
    const char* report;
};

class BridgeProtocolFaultTest : public BridgeJvLinkTest,
                                public ::testing::WithParamInterface<ProtocolFault> {};

TEST_P(BridgeProtocolFaultTest, AnAnswerOutOfProtocolEndsTheBridgeWithAMessage) {
    auto link = bridge(GetParam().fault);
    ASSERT_EQ(link->JVInit(jvlink_sid()), 0);
    RecordingImportHost host;
    EXPECT_FALSE(import_through(*link, dir.path() / "bridge", kNow, host));
    EXPECT_EQ(host.messages,
              (std::vector<std::string>{import_start_notice(), sj("JVReadエラー:(-401)")}));
    EXPECT_EQ(reports, std::vector<std::string>{sj(GetParam().report)});
    EXPECT_EQ(link->process_id(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, BridgeProtocolFaultTest,
    ::testing::Values(
        ProtocolFault{
            "garbage:JVRead:3",
            "JV-Link 中継プログラムとの通信が不正です（JVRead：unknown operation 97）。中継プ"
            "ログラムを終了しました。次の取得開始時に起動し直します。"},
        ProtocolFault{"wrong-op:JVRead:3",
                      "JV-Link 中継プログラムとの通信が不正です（JVRead：answer to JVStatus）。中継"
                      "プログラムを終了しました。次の取得開始時に起動し直します。"},
        ProtocolFault{"die:JVRead:3",
                      "JV-Link 中継プログラムが JVRead の途中で終了しました（終了コード 3）。次の取"
                      "得開始時に起動し直します。"}));

TEST_F(BridgeJvLinkTest, ComponentCodesAndFailedCallsReachTheImportsMessages) {
    struct Case {
        const char* fault;
        std::vector<std::string> messages;
        std::vector<std::string> reports;
    };
    const Case cases[] = {
        {"code:JVRead:40:-402",
         {sj("JVReadエラー:ダウンロードしたファイルサイズが異常です。(-402)")},
         {}},
        {"code:JVOpen:1:-504", {sj("JVOpenエラー:サーバーがメンテナンス中です。(-504)")}, {}},
        {"code:JVStatus:2:-502",
         {sj("JVStatusエラー:ダウンロードに失敗しました。（通信エラーやディスクエラーなど）(-"
             "502)")},
         {}},
        {"call-failed:JVOpen:1",
         {sj("JVOpenエラー:JV-Link 内部エラーが発生しました。(-401)")},
         {sj("JV-Link の JVOpen を呼び出せませんでした。\r\n（JVOpen failed: 0x80020005）")}},
        {"code:JVClose:1:-201", {sj("JVCloseエラー:(-201)")}, {}},
    };
    for (const auto& c : cases) {
        reports.clear();
        fs::path base = dir.path() / ("bridge-" + std::string(c.fault).substr(0, 9));
        auto link = bridge(c.fault, base);
        ASSERT_EQ(link->JVInit(jvlink_sid()), 0);
        RecordingImportHost host;
        EXPECT_FALSE(import_through(*link, base, kNow, host)) << c.fault;
        std::vector<std::string> shown = {import_start_notice()};
        shown.insert(shown.end(), c.messages.begin(), c.messages.end());
        EXPECT_EQ(host.messages, shown) << c.fault;
        EXPECT_EQ(reports, c.reports) << c.fault;
        // A code of the component leaves the bridge running.
        EXPECT_GT(link->process_id(), 0) << c.fault;
    }
}

// Ctrl-C at the terminal cancels the import; it must not also end the bridge,
// which gets it only when it shares the terminal's process group.
TEST_F(BridgeJvLinkTest, TheBridgeRunsInAProcessGroupOfItsOwn) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no process groups: Ctrl-C reaches a console's processes, "
                    "and the bridge runs without a console (CREATE_NO_WINDOW)";
#else
    auto link = bridge();
    ASSERT_EQ(link->JVInit(jvlink_sid()), 0);
    pid_t pid = link->process_id();
    ASSERT_GT(pid, 0);
    EXPECT_EQ(getpgid(pid), pid);
    EXPECT_NE(getpgid(pid), getpgrp());
#endif
}

TEST_F(BridgeJvLinkTest, ClosingAfterTheBridgeDiedLosesNothingAndSaysNothingMore) {
    auto link = bridge("die:JVStatus:1");
    ASSERT_EQ(link->JVInit(jvlink_sid()), 0);
    int rc = 0, dc = 0;
    std::string last;
    ASSERT_EQ(link->JVOpen("RACERCVN", "20000101000000", 2, rc, dc, last), 0);
    EXPECT_EQ(link->JVStatus(), BridgeJvLink::kBridgeFailure);
    EXPECT_EQ(reports.size(), 1u);
    EXPECT_EQ(link->JVStatus(), BridgeJvLink::kBridgeFailure);
    EXPECT_EQ(link->JVCancel(), 0);
    EXPECT_EQ(link->JVClose(), 0);
    EXPECT_EQ(reports.size(), 1u);
    EXPECT_EQ(link->last_failure(), reports[0]);
}

}  // namespace
}  // namespace tolven
