// The bridge as a subscriber runs it on Linux: BridgeJvLink starts
// tolven-jvbridge.exe through Wine, and the bridge creates the component by its
// ProgID. Here the component is the stand-in COM server, registered with
// regsvr32 in a Wine prefix made fresh for this run. Run by `make test-bridge`
// (TOLVEN_WINE_TESTS=1); skipped otherwise.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <signal.h>
#include <stdlib.h>

#include "jvlink/bridge_jvlink.hpp"
#include "jvlink/bridge_process.hpp"
#include "jvlink/feed_link.hpp"
#include "jvlink/result_text.hpp"
#include "jvlink/results_refresh.hpp"
#include "sample/sample_feed.hpp"
#include "store/cp932.hpp"
#include "store/data_store.hpp"
#include "support/link_import.hpp"
#include "support/temp_dir.hpp"

namespace fs = std::filesystem;

namespace tolven {
namespace {

using namespace tolven::testing;

const DateTime kNow{2026, 12, 6, 9, 30, 0};
constexpr int kSkipped = 77;

std::string windows_path(const fs::path& p) {
    std::string s = "Z:" + p.string();
    for (char& c : s) {
        if (c == '/') c = '\\';
    }
    return s;
}

// Runs a shell command; its exit status, with stdout and stderr in *output.
// The output goes through a file, not a pipe: a Wine server started by the
// command lives on with the command's output handles, and a pipe would not
// end before it does.
int run(const std::string& command, std::string* output = nullptr) {
    TempDir out;
    fs::path file = out.path() / "output";
    int status = std::system((command + " >'" + file.string() + "' 2>&1 </dev/null").c_str());
    if (output) *output = read_bytes(file);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string quoted(const std::string& s) {
    return "'" + s + "'";
}

int count_of(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// One Wine prefix and one sample feed for the whole run.
class WineWorld : public ::testing::Environment {
  public:
    static inline TempDir* dir = nullptr;
    static inline fs::path feed;
    BridgeProcess keeper;

    void SetUp() override {
        dir = new TempDir;
        feed = dir->path() / "feed";
        setenv("WINEPREFIX", (dir->path() / "prefix").c_str(), 1);
        setenv("WINEARCH", "win64", 1);
        setenv("WINEDEBUG", "-all", 1);
        // No Mono or Gecko installers in a prefix that never needs them.
        setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1);
        setenv("TOLVEN_STANDIN_FEED", windows_path(feed).c_str(), 1);
        auto started = std::chrono::steady_clock::now();
        std::string said;
        ASSERT_EQ(run("wineboot -i", &said), 0) << said;
        // One Windows process lives as long as the run, so Wine keeps its
        // services up between the tests' bridges: started afresh after they
        // went down, each bridge would wait for them.
        std::string why;
        ASSERT_TRUE(keeper.start({"wine", JVBRIDGE_WIN64}, {}, why)) << why;
        std::printf(
            "[   WINE   ] fresh prefix ready in %.1f s\n",
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
        SampleFeedOptions options;
        options.seed = 11;
        options.weeks = 1;
        options.today = kNow.date_number();
        make_sample_feed(feed, options);
    }

    void TearDown() override {
        keeper.stop(5000);
        run("wineserver -k");
        delete dir;
        dir = nullptr;
    }
};

bool registered = false;

void register_stand_in(bool on) {
    std::string said;
    std::string command =
        std::string("wine regsvr32 /s ") + (on ? "" : "/u ") + quoted(windows_path(STANDIN_WIN64));
    ASSERT_EQ(run(command, &said), 0) << command << "\n" << said;
    registered = on;
}

class BridgeUnderWine : public ::testing::Test {
  protected:
    TempDir dir;
    std::vector<std::string> reports;
    fs::path log = dir.path() / "standin.log";

    void SetUp() override {
        if (!registered) register_stand_in(true);
    }

    BridgeOptions options(const fs::path& base, std::vector<std::string> extra = {},
                          const char* bridge = JVBRIDGE_WIN64) {
        BridgeOptions o;
        o.bridge = bridge;
        o.wine = "wine";
        o.environment = {"TOLVEN_STANDIN_CACHE=" + windows_path(base / "standin-cache"),
                         "TOLVEN_STANDIN_LOG=" + windows_path(log)};
        o.environment.insert(o.environment.end(), extra.begin(), extra.end());
        return o;
    }

    std::unique_ptr<BridgeJvLink> bridge(const fs::path& base,
                                         std::vector<std::string> extra = {}) {
        auto link = std::make_unique<BridgeJvLink>(options(base, std::move(extra)));
        link->set_failure_reporter([this](const std::string& text) { reports.push_back(text); });
        return link;
    }

    // The store FeedLink makes of the same feed.
    std::map<std::string, std::string> feed_link_store(const fs::path& base) {
        FeedLink link(WineWorld::feed, base / "JVCache");
        EXPECT_EQ(link.JVInit(jvlink_sid()), 0);
        RecordingImportHost host;
        EXPECT_TRUE(import_through(link, base, kNow, host));
        return store_snapshot(base);
    }
};

TEST_F(BridgeUnderWine, AnUnregisteredComponentGivesTheNotInstalledMessage) {
    register_stand_in(false);
    auto link = bridge(dir.path());
    BridgePresence presence = link->check_presence();
    EXPECT_EQ(presence.state, BridgePresence::State::NotInstalled);
    EXPECT_EQ(presence.message, jvlink_not_installed_message());
    EXPECT_NE(presence.detail.find("JVDTLab.JVLink is not registered (CLSIDFromProgID: 0x800401F3"),
              std::string::npos)
        << presence.detail;
    // A call that needs the component says the same and leaves nothing open.
    EXPECT_EQ(link->JVInit(jvlink_sid()), BridgeJvLink::kBridgeFailure);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].rfind(jvlink_not_installed_message(), 0), 0u);
    EXPECT_EQ(link->JVClose(), -201);

    register_stand_in(true);
    EXPECT_EQ(link->check_presence().state, BridgePresence::State::Installed);
    EXPECT_EQ(link->JVInit(jvlink_sid()), 0);
}

TEST_F(BridgeUnderWine, ImportIsByteIdenticalToFeedLink) {
    auto expected = feed_link_store(dir.path() / "feedlink");
    ASSERT_GT(expected.size(), 20u);
    fs::path base = dir.path() / "bridge";
    auto link = bridge(base);
    ASSERT_EQ(link->check_presence().state, BridgePresence::State::Installed);
    ASSERT_EQ(link->JVInit(jvlink_sid()), 0);
    EXPECT_EQ(link->version(), "0490");
    RecordingImportHost host;
    auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(import_through(*link, base, kNow, host));
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_EQ(store_snapshot(base), expected);
    EXPECT_EQ(host.messages, std::vector<std::string>{import_start_notice()});
    EXPECT_EQ(reports, std::vector<std::string>{});
    std::printf("[   WINE   ] import of %d built-data lines through the bridge in %.1f s\n",
                host.built_lines, seconds);
    // The stand-in saw the arguments as given, through by-reference outputs.
    std::string calls = read_bytes(log);
    EXPECT_EQ(count_of(calls, "JVInit TL000130/TL000130/TOLVEN/Ver.1.30\n"), 1) << calls;
    EXPECT_EQ(count_of(calls, "m_JVLinkVersion\n"), 1) << calls;
    EXPECT_EQ(count_of(calls, "JVOpen RACERCVN 20000101000000 2\n"), 1) << calls;
    EXPECT_EQ(count_of(calls, "JVRead 60000\n"), 1) << calls;
    EXPECT_EQ(count_of(calls, "JVClose\n"), 1) << calls;
}

TEST_F(BridgeUnderWine, RefreshIsByteIdenticalToFeedLink) {
    fs::path feed_base = dir.path() / "feedlink";
    auto before = feed_link_store(feed_base);
    fs::path base = dir.path() / "bridge";
    fs::copy(feed_base, base, fs::copy_options::recursive);
    std::string first_race;
    for (const auto& [name, content] : before) {
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
    FeedLink direct(WineWorld::feed, feed_base / "JVCache");
    ASSERT_EQ(direct.JVInit(jvlink_sid()), 0);
    auto link = bridge(base);
    ASSERT_EQ(link->JVInit(jvlink_sid()), 0);
    RefreshResult by_feed =
        refresh_results(direct, DataStore(feed_base), cancel, first_race, refresh_host);
    RefreshResult by_bridge =
        refresh_results(*link, DataStore(base), cancel, first_race, refresh_host);
    EXPECT_GT(by_feed.records_filed, 0);
    EXPECT_EQ(by_bridge.records_filed, by_feed.records_filed);
    EXPECT_EQ(beeps, 4);
    EXPECT_EQ(store_snapshot(base), store_snapshot(feed_base));
    EXPECT_NE(store_snapshot(base), before);
    EXPECT_EQ(count_of(read_bytes(log), "JVRTOpen 0B12 20261206\n"), 1);
    EXPECT_EQ(reports, std::vector<std::string>{});
}

TEST_F(BridgeUnderWine, ABridgeKilledMidReadLosesNothing) {
    auto expected = feed_link_store(dir.path() / "feedlink");
    fs::path base = dir.path() / "bridge";
    auto link = bridge(base);
    ASSERT_EQ(link->JVInit(jvlink_sid()), 0);
    RecordingImportHost host;
    int turns = 0;
    int killed = 0;
    host.on_events = [&] {
        if (++turns == 500) {
            killed = link->process_id();
            ASSERT_GT(killed, 0);
            kill(killed, SIGKILL);
        }
    };
    EXPECT_FALSE(import_through(*link, base, kNow, host));
    ASSERT_GT(killed, 0);
    EXPECT_EQ(host.messages,
              (std::vector<std::string>{import_start_notice(), sj("JVReadエラー:(-401)")}));
    EXPECT_EQ(reports,
              std::vector<std::string>{sj("JV-Link 中継プログラムが JVRead の途中で終了しまし"
                                          "た（シグナル 9）。次の取得開始時に起動し直します。")});
    EXPECT_FALSE(store_snapshot(base).empty());
    EXPECT_NE(store_snapshot(base), expected);

    host.on_events = nullptr;
    ASSERT_TRUE(import_through(*link, base, kNow, host));
    EXPECT_EQ(store_snapshot(base), expected);
    EXPECT_EQ(reports.size(), 1u);
}

TEST_F(BridgeUnderWine, CodesOfTheComponentReachTheImportsMessages) {
    auto expected = feed_link_store(dir.path() / "feedlink");
    fs::path base = dir.path() / "bridge";
    {
        auto link = bridge(base, {"TOLVEN_STANDIN_READ_ERROR=120:-402"});
        ASSERT_EQ(link->JVInit(jvlink_sid()), 0);
        RecordingImportHost host;
        EXPECT_FALSE(import_through(*link, base, kNow, host));
        EXPECT_EQ(host.messages,
                  (std::vector<std::string>{
                      import_start_notice(),
                      sj("JVReadエラー:ダウンロードしたファイルサイズが異常です。(-402)")}));
        EXPECT_FALSE(store_snapshot(base).empty());
    }
    {
        auto link = bridge(base, {"TOLVEN_STANDIN_OPEN_ERROR=-504"});
        ASSERT_EQ(link->JVInit(jvlink_sid()), 0);
        RecordingImportHost host;
        EXPECT_FALSE(import_through(*link, base, kNow, host));
        EXPECT_EQ(host.messages, (std::vector<std::string>{
                                     import_start_notice(),
                                     sj("JVOpenエラー:サーバーがメンテナンス中です。(-504)")}));
    }
    {
        // Records in strings sized to the caller's buffer arrive without
        // the padding.
        auto link = bridge(base, {"TOLVEN_STANDIN_VERSION=0480", "TOLVEN_STANDIN_PAD=60000"});
        ASSERT_EQ(link->JVInit(jvlink_sid()), 0);
        EXPECT_EQ(link->version(), "0480");
        EXPECT_TRUE(jvlink_version_too_old(link->version()));
        // Nothing was lost: the next import completes the store.
        RecordingImportHost host;
        ASSERT_TRUE(import_through(*link, base, kNow, host));
        EXPECT_EQ(store_snapshot(base), expected);
    }
    EXPECT_EQ(reports, std::vector<std::string>{});
}

// The command line with the bridge chosen by option and setting: the same
// store as from the feed folder, and the failures as messages.
TEST_F(BridgeUnderWine, TheCommandLineImportsThroughTheBridge) {
    fs::path feed_base = dir.path() / "feedlink";
    fs::path base = dir.path() / "bridge";
    std::string cli = TOLVEN_CLI;
    std::string said;
    ASSERT_EQ(run(cli + " --base " + quoted(feed_base.string()) + " --feed " +
                      quoted(WineWorld::feed.string()) + " import --quiet --from 20000101000000",
                  &said),
              0)
        << said;
    write_bytes(base / "tolven.ini",
                "[JVLink]\r\nSource=bridge\r\nBridgePath=" + std::string(JVBRIDGE_WIN64) + "\r\n");
    setenv("TOLVEN_STANDIN_CACHE", windows_path(base / "standin-cache").c_str(), 1);
    ASSERT_EQ(
        run(cli + " --base " + quoted(base.string()) + " import --quiet --from 20000101000000",
            &said),
        0)
        << said;
    EXPECT_EQ(store_snapshot(base), store_snapshot(feed_base));

    // --jvlink feed overrides the setting; the bridge is not asked. (The feed
    // folder exists but is empty: a missing one is an error of its own.)
    fs::create_directories(dir.path() / "empty");
    EXPECT_EQ(run(cli + " --base " + quoted(base.string()) + " --jvlink feed --feed " +
                      quoted((dir.path() / "empty").string()) + " import --quiet",
                  &said),
              0)
        << said;
    EXPECT_NE(said.find("最新のデータがありません。"), std::string::npos) << said;

    // A bridge that is not where the setting says.
    write_bytes(base / "tolven.ini", "[JVLink]\r\nSource=bridge\r\nBridgePath=" +
                                         (dir.path() / "gone.exe").string() + "\r\n");
    EXPECT_EQ(run(cli + " --base " + quoted(base.string()) + " import --quiet", &said), 1);
    EXPECT_NE(
        said.find("JV-Link 中継プログラムが見つかりません：" + (dir.path() / "gone.exe").string()),
        std::string::npos)
        << said;

    // The component not registered: the not-installed message.
    write_bytes(base / "tolven.ini",
                "[JVLink]\r\nBridgePath=" + std::string(JVBRIDGE_WIN64) + "\r\n");
    register_stand_in(false);
    EXPECT_EQ(run(cli + " --base " + quoted(base.string()) + " --jvlink bridge import --quiet " +
                      "--from 20000101000000",
                  &said),
              1);
    register_stand_in(true);
    EXPECT_NE(said.find(cp932::to_utf8(jvlink_not_installed_message())), std::string::npos) << said;
    EXPECT_EQ(store_snapshot(base), store_snapshot(feed_base));
}

// JV-Link may keep JVOpen waiting while its own window waits for a person.
// Through the command line, with [JVLink] OpenTimeout: an open that takes
// longer ends the bridge with a message naming the setting and changes
// nothing stored; one that takes less says on stderr where to look and
// imports the same store as the feed folder.
TEST_F(BridgeUnderWine, ASlowOpenTimesOutOrCompletesThroughTheCommandLine) {
    fs::path feed_base = dir.path() / "feedlink";
    auto expected = feed_link_store(feed_base);
    struct Case {
        const char* name;
        int delay_ms;
        int timeout_seconds;
        int status;
        const char* said;
    };
    const Case cases[] = {
        {"longer", 9000, 5, 1,
         "JV-Link が JVOpen に 5 秒以内に応答しませんでした。JV-Link が自分のウィンドウで答えを"
         "待っていたかもしれません。中継プログラムを終了しました。待つ時間は設定ファイル "
         "tolven.ini の [JVLink] OpenTimeout（秒）で変えられます。"},
        {"shorter", 4500, 30, 0, "JV-Link の応答を待っています（3 秒）。"},
    };
    std::string cli = TOLVEN_CLI;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::path base = dir.path() / c.name;
        write_bytes(base / "tolven.ini", "[JVLink]\r\nSource=bridge\r\nBridgePath=" +
                                             std::string(JVBRIDGE_WIN64) + "\r\nOpenTimeout=" +
                                             std::to_string(c.timeout_seconds) + "\r\n");
        setenv("TOLVEN_STANDIN_CACHE", windows_path(base / "standin-cache").c_str(), 1);
        setenv("TOLVEN_STANDIN_OPEN_DELAY", std::to_string(c.delay_ms).c_str(), 1);
        std::string said;
        auto started = std::chrono::steady_clock::now();
        int status = run(cli + " --base " + quoted(base.string()) +
                             " import --quiet --from 20000101000000",
                         &said);
        double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        unsetenv("TOLVEN_STANDIN_OPEN_DELAY");
        EXPECT_EQ(status, c.status) << said;
        EXPECT_NE(said.find(c.said), std::string::npos) << said;
        std::printf("[   WINE   ] open of %d ms with a time-out of %d s: status %d in %.1f s\n",
                    c.delay_ms, c.timeout_seconds, status, seconds);
        if (c.status == 0) {
            EXPECT_EQ(store_snapshot(base), expected);
        } else {
            EXPECT_EQ(store_snapshot(base), (std::map<std::string, std::string>{}));
            EXPECT_NE(said.find("JVOpenエラー:JV-Link 内部エラーが発生しました。(-401)"),
                      std::string::npos)
                << said;
            EXPECT_LT(seconds, c.delay_ms / 1000.0 + 30);
        }
        std::string ini = read_bytes(base / "tolven.ini");
        EXPECT_EQ(ini.find("LastTime"), std::string::npos) << ini;
    }
    // A time-out outside its range is refused, not replaced.
    fs::path base = dir.path() / "bad";
    write_bytes(base / "tolven.ini", "[JVLink]\r\nSource=bridge\r\nBridgePath=" +
                                         std::string(JVBRIDGE_WIN64) + "\r\nOpenTimeout=2\r\n");
    std::string said;
    EXPECT_EQ(run(cli + " --base " + quoted(base.string()) + " import --quiet", &said), 1);
    EXPECT_NE(said.find("[JVLink] OpenTimeout=2 は 5 から 86400 までの秒数にしてください。"),
              std::string::npos)
        << said;
}

#ifdef JVBRIDGE_WIN32
// The 32-bit bridge runs only where Wine has its 32-bit half (wine32).
TEST_F(BridgeUnderWine, The32BitBridgeWhereWineCanRunIt) {
    BridgeOptions o = options(dir.path(), {}, JVBRIDGE_WIN32);
    BridgeJvLink link(o);
    BridgePresence presence = link.check_presence();
    if (presence.state == BridgePresence::State::BridgeFailed) {
        // make test-bridge installs wine32 and asks for this test to run.
        const char* required = std::getenv("TOLVEN_REQUIRE_WINE32");
        if (required != nullptr && std::string(required) == "1") {
            FAIL() << "the 32-bit bridge does not start under this Wine: "
                   << cp932::to_utf8(presence.message);
        }
        GTEST_SKIP() << "the 32-bit bridge does not start under this Wine (wine32 missing): "
                     << cp932::to_utf8(presence.message);
    }
    std::string said;
    ASSERT_EQ(run("wine regsvr32 /s " + quoted(windows_path(STANDIN_WIN32)), &said), 0) << said;
    EXPECT_EQ(link.check_presence().state, BridgePresence::State::Installed);
    fs::path base = dir.path() / "bridge32";
    auto expected = feed_link_store(dir.path() / "feedlink");
    ASSERT_EQ(link.JVInit(jvlink_sid()), 0);
    RecordingImportHost host;
    ASSERT_TRUE(import_through(link, base, kNow, host));
    EXPECT_EQ(store_snapshot(base), expected);
}
#endif

#ifdef COM_CHECK_WIN32
// The component loaded into a 32-bit program (ComJvLink, Source=com), as a
// 32-bit tolven-cli.exe loads JV-Link 4.x: every record as FeedLink reads
// it; an open held longer than the time-out given up after it, the component
// busy until it returns and then closed, so the next open is not "still
// open"; an open given up from another thread at once. A 64-bit program
// with only the 32-bit component registered says so and names Source=bridge.
TEST_F(BridgeUnderWine, TheComponentInProcessOfA32BitProgram) {
    std::string said;
    register_stand_in(false);
    ASSERT_EQ(run("wine regsvr32 /s " + quoted(windows_path(STANDIN_WIN32)), &said), 0) << said;
    const std::string check = std::string("wine ") + quoted(COM_CHECK_WIN32);
    setenv("TOLVEN_STANDIN_CACHE", windows_path(dir.path() / "com-cache").c_str(), 1);
    int status = run(check + " presence", &said);
    if (status != 0 && said.find("refused") == std::string::npos) {
        register_stand_in(true);
        GTEST_SKIP() << "32-bit programs do not start under this Wine (wine32 missing): " << said;
    }
    EXPECT_EQ(said, "loaded\n");

    // What FeedLink reads from the same feed.
    FeedLink feed(WineWorld::feed, dir.path() / "feedlink-cache");
    ASSERT_EQ(feed.JVInit(jvlink_sid()), 0);
    int reads = 0, downloads = 0;
    std::string last;
    ASSERT_EQ(feed.JVOpen("RACERCVN", "20000101000000", 2, reads, downloads, last), 0);
    while (feed.JVStatus() < downloads) {
    }
    long records = 0, bytes = 0;
    int files = 0, size = 60000, r = 0;
    std::string record, file;
    while ((r = feed.JVRead(record, size, file)) != 0 && !jv::read_failed(r)) {
        if (r > 0) {
            ++records;
            bytes += static_cast<long>(record.size());
        }
        if (r == jv::kNextFile) ++files;
    }
    EXPECT_EQ(run(check + " read", &said), 0) << said;
    EXPECT_EQ(said, "init 0\nversion 0490\nopen 0 reads " + std::to_string(reads) +
                        " downloads " + std::to_string(downloads) + "\nrecords " +
                        std::to_string(records) + " bytes " + std::to_string(bytes) + " files " +
                        std::to_string(files) + " end 0\nclose 0\n");

    setenv("TOLVEN_STANDIN_OPEN_DELAY", "8000", 1);
    EXPECT_EQ(run(check + " timeout", &said), 0) << said;
    EXPECT_NE(said.find("open -401 after 5 s\n"), std::string::npos) << said;
    EXPECT_NE(said.find("detail JV-Link が JVOpen に 5 秒以内に応答しませんでした。"),
              std::string::npos)
        << said;
    EXPECT_NE(said.find("[JVLink] OpenTimeout（秒）で変えられます。\n"), std::string::npos) << said;
    EXPECT_NE(said.find("busy -401\nreopen 0\nclose 0\n"), std::string::npos) << said;
    EXPECT_EQ(run(check + " interrupt", &said), 0) << said;
    EXPECT_NE(said.find("open -401 after 1 s\ndetail JV-Link の JVOpen を中止しました。\n"),
              std::string::npos)
        << said;
    unsetenv("TOLVEN_STANDIN_OPEN_DELAY");

    // Only the 32-bit component is registered: a 64-bit program cannot load it.
    EXPECT_EQ(run(std::string("wine ") + quoted(COM_CHECK_WIN64) + " presence", &said), 2);
    EXPECT_NE(said.find("refused このプログラムは 64 ビット版で、登録されている JV-Link は 32 "
                        "ビット版です。"),
              std::string::npos)
        << said;
    EXPECT_NE(said.find("[JVLink] Source=bridge にして"), std::string::npos) << said;

    ASSERT_EQ(run("wine regsvr32 /s /u " + quoted(windows_path(STANDIN_WIN32)), &said), 0) << said;
    register_stand_in(true);
}
#endif

}  // namespace
}  // namespace tolven

int main(int argc, char** argv) {
#ifndef JVBRIDGE_WIN32
    const char* required = std::getenv("TOLVEN_REQUIRE_WINE32");
    if (required != nullptr && std::string(required) == "1") {
        std::printf("The 32-bit bridge was not built (i686 MinGW-w64 missing).\n");
        return 1;
    }
#endif
    const char* enabled = std::getenv("TOLVEN_WINE_TESTS");
    if (enabled == nullptr || std::string(enabled) != "1") {
        std::printf("The Wine tests run with TOLVEN_WINE_TESTS=1 (make test-bridge).\n");
        return tolven::kSkipped;
    }
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new tolven::WineWorld);
    return RUN_ALL_TESTS();
}
