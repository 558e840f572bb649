#include "jvlink/results_refresh.hpp"

#include <gtest/gtest.h>

#include "store/cp932.hpp"
#include "support/fake_jvlink.hpp"
#include "support/faulty_file_layer.hpp"
#include "support/records.hpp"
#include "support/temp_dir.hpp"

namespace fs = std::filesystem;

namespace tolven {
namespace {

using namespace tolven::testing;

struct Refresh {
    TempDir dir;
    DataStore store{dir.path()};
    FakeJvLink link;
    CancelFlag cancel;
    std::string log;
    RefreshHost host{[this] { log += "beep\n"; }, [this] { log += "events\n"; },
                     [this](bool busy) { log += busy ? "busy\n" : "ready\n"; },
                     [this] { log += "reload\n"; },
                     [this](int seconds) { log += "waiting " + std::to_string(seconds) + "\n"; }};
    Refresh() { store.create_folders(); }
    RefreshResult run(const std::string& first_race) {
        return refresh_results(link, store, cancel, first_race, host);
    }
};

TEST(ResultsRefresh, FilesRecordsClosesTwiceAndReloads) {
    Refresh r;
    r.link.reads = {FakeJvLink::record(payout_record(20261205, "06", 3)),
                    {-1, "", ""},
                    FakeJvLink::record(race_record(20261205, "06", 3, "0")),
                    {-3, "", ""},
                    FakeJvLink::record(runner_record(20261205, "06", 3, 7, "0")),
                    FakeJvLink::record(payout_record(20261205, "09", 3)),
                    {0, "", ""}};
    RefreshResult result = r.run(race_record(20261205, "06", 1));
    EXPECT_TRUE(result.ran);
    EXPECT_EQ(result.records_filed, 4);
    EXPECT_EQ(r.link.calls.front(), "JVRTOpen 0B12 20261205");
    EXPECT_EQ(r.link.calls.back(), "JVClose");
    EXPECT_EQ(std::count(r.link.calls.begin(), r.link.calls.end(), "JVClose"), 2);
    EXPECT_EQ(r.log,
              "busy\nevents\nevents\nevents\nevents\nevents\nevents\nevents\nevents\nbeep\n"
              "events\nbeep\nreload\nready\n");
    fs::path data = r.dir.path() / "Data";
    EXPECT_TRUE(fs::exists(data / u8"2026年12月05日中山.jvHR"));
    EXPECT_TRUE(fs::exists(data / u8"2026年12月05日中山.jvRA"));
    EXPECT_TRUE(fs::exists(data / u8"2026年12月05日中山.jvSEr"));
    // Another racecourse of the same date goes to its own day file.
    EXPECT_TRUE(fs::exists(data / u8"2026年12月05日阪神.jvHR"));
    EXPECT_FALSE(fs::exists(r.dir.path() / "SEI" / "2022"));
}

// A JVRTOpen that JV-Link holds (a window of its own waiting for a person)
// is told after a few seconds, and taken back when it returns.
TEST(ResultsRefresh, ASlowOpenIsToldWhileItWaits) {
    Refresh r;
    r.link.open_delay_ms = 3400;
    r.link.reads = {FakeJvLink::record(payout_record(20261205, "06", 3)), {0, "", ""}};
    RefreshResult result = r.run(race_record(20261205, "06", 1));
    EXPECT_EQ(result.records_filed, 1);
    std::size_t told = r.log.find("waiting 3\n");
    ASSERT_NE(told, std::string::npos) << r.log;
    EXPECT_LT(told, r.log.find("waiting 0\n"));
    EXPECT_LT(r.log.find("waiting 0\n"), r.log.find("reload\n"));
}

TEST(ResultsRefresh, NoKeyMeansNoRefresh) {
    Refresh r;
    RefreshResult result = r.run(blank_record(RecordKind::Race));
    EXPECT_FALSE(result.ran);
    EXPECT_TRUE(r.link.calls.empty());
    EXPECT_EQ(r.log, "busy\nready\n");
}

TEST(ResultsRefresh, OpenFailureStillClosesTwiceAndReloads) {
    Refresh r;
    r.link.rt_open_result = -1;
    r.link.close_result = -201;
    r.run(race_record(20261205, "06", 1));
    EXPECT_EQ(r.link.calls,
              (std::vector<std::string>{"JVRTOpen 0B12 20261205", "JVClose", "JVClose"}));
    EXPECT_EQ(r.log, "busy\nevents\nevents\nreload\nready\n");  // no beep: close failed
}

TEST(ResultsRefresh, LeftoverCancelDoesNotBlockButReadErrorsEndSilently) {
    Refresh r;
    r.cancel.set = true;  // left by an import cancelled earlier
    r.link.reads = {FakeJvLink::record(payout_record(20261205, "06", 1)),
                    {-502, "", ""},
                    FakeJvLink::record(payout_record(20261205, "06", 2))};
    RefreshResult result = r.run(race_record(20261205, "06", 1));
    EXPECT_EQ(result.records_filed, 1);
    EXPECT_FALSE(r.cancel.set);
}

TEST(ResultsRefresh, OpenAndReadFailuresAreReportedToTheCaller) {
    struct Case {
        int open;
        int read;
        std::string detail;
        const char* error;
    } cases[] = {
        {0, 0, "", ""},
        {-1, 0, "", ""},  // no realtime data is no failure
        {-401, 0, sj("フィードフォルダが見つかりません:/x"),
         "JVRTOpenエラー:JV-Link 内部エラーが発生しました。(-401)\r\n"
         "フィードフォルダが見つかりません:/x"},
        {-114, 0, "", "JVRTOpenエラー:key パラメータが不正です。(-114)"},
        {0, -502, sj("キャッシュへのコピーに失敗しました:/x (No space left on device)"),
         "JVReadエラー:ダウンロードに失敗しました。(通信エラーやディスクエラー)(-502)\r\n"
         "キャッシュへのコピーに失敗しました:/x (No space left on device)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        Refresh r;
        r.link.rt_open_result = c.open;
        r.link.detail = c.detail;
        r.link.reads = {{c.read, "", ""}};
        RefreshResult result = r.run(race_record(20261205, "06", 1));
        EXPECT_EQ(cp932::to_utf8(result.error), c.error);
        EXPECT_EQ(std::count(r.link.calls.begin(), r.link.calls.end(), "JVClose"), 2);
        EXPECT_NE(r.log.find("reload"), std::string::npos);
    }
}

TEST(ResultsRefresh, CancelDuringTheRefreshStopsReading) {
    Refresh r;
    int turns = 0;
    r.host.process_events = [&] {
        if (++turns == 3) r.cancel.set = true;
    };
    r.link.reads = {FakeJvLink::record(payout_record(20261205, "06", 1)),
                    FakeJvLink::record(payout_record(20261205, "06", 2)),
                    FakeJvLink::record(payout_record(20261205, "06", 3))};
    RefreshResult result = r.run(race_record(20261205, "06", 1));
    EXPECT_EQ(result.records_filed, 1);
}

TEST(ResultsRefresh, IsRefusedWhileAnotherWriterRuns) {
    Refresh r;
    StoreWriter other(r.store);
    r.link.reads = {FakeJvLink::record(payout_record(20261205, "06", 1))};
    EXPECT_THROW(r.run(race_record(20261205, "06", 1)), StoreBusy);
    EXPECT_TRUE(r.link.calls.empty());
    EXPECT_EQ(r.log, "busy\nready\n");
}

TEST(ResultsRefresh, ItsFilesAreReplacedTogetherOrNotAtAll) {
    Refresh r;
    r.link.reads = {FakeJvLink::record(payout_record(20261205, "06", 3)),
                    FakeJvLink::record(race_record(20261205, "06", 3, "0")),
                    FakeJvLink::record(runner_record(20261205, "06", 3, 7, "0"))};
    FaultyFileLayer layer;
    layer.fail(FaultyFileLayer::MakeTemporary, 3, ENOSPC);  // the third file's
    {
        ScopedFileLayer scoped(layer);
        EXPECT_THROW(r.run(race_record(20261205, "06", 1)), FileError);
    }
    // Closed twice, reloaded and restored all the same; nothing written.
    EXPECT_EQ(std::count(r.link.calls.begin(), r.link.calls.end(), "JVClose"), 2);
    EXPECT_NE(r.log.find("reload\nready\n"), std::string::npos);
    EXPECT_FALSE(fs::exists(r.dir.path() / "Data" / u8"2026年12月05日中山.jvHR"));
    EXPECT_FALSE(fs::exists(r.dir.path() / "Data" / u8"2026年12月05日中山.jvRA"));
    EXPECT_FALSE(fs::exists(r.dir.path() / "Data" / u8"2026年12月05日中山.jvSEr"));
    // Without the failure all three arrive.
    r.link.reads = {FakeJvLink::record(payout_record(20261205, "06", 3)),
                    FakeJvLink::record(race_record(20261205, "06", 3, "0")),
                    FakeJvLink::record(runner_record(20261205, "06", 3, 7, "0"))};
    r.run(race_record(20261205, "06", 1));
    EXPECT_TRUE(fs::exists(r.dir.path() / "Data" / u8"2026年12月05日中山.jvSEr"));
}

}  // namespace
}  // namespace tolven
