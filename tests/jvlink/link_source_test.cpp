#include "jvlink/link_source.hpp"

#include <gtest/gtest.h>

#include <map>

#include "store/cp932.hpp"
#include "store/lenient.hpp"

namespace fs = std::filesystem;

namespace tolven {
namespace {

TEST(LinkSource, NamesAreFeedBridgeAndCom) {
    const std::map<std::string, std::optional<LinkSource>> cases = {
        {"feed", LinkSource::Feed},
        {"Feed", LinkSource::Feed},
        {" bridge ", LinkSource::Bridge},
        {"BRIDGE", LinkSource::Bridge},
        {"com", LinkSource::Com},
        {" COM", LinkSource::Com},
        {"comm", std::nullopt},
        {"", std::nullopt},
        {"wine", std::nullopt},
        {"bridges", std::nullopt},
        {"fee d", std::nullopt},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(parse_link_source(text), expected) << text;
}

// The settings as tolven.ini holds them, and the bridge command they give.
TEST(LinkSource, SettingsGiveTheBridgeCommand) {
    struct Case {
        std::map<std::string, std::string> ini;
        LinkSource source;
        std::string problem;
        std::string bridge;
        std::string wine;
        std::vector<std::string> environment;
    };
    const fs::path program = "/opt/tolven/bin";
    const std::vector<Case> cases = {
        {{},
         LinkSource::Feed,
         "",
         "/opt/tolven/bin/jvbridge/win32/tolven-jvbridge.exe",
         "wine",
         {}},
        {{{"Source", "bridge"}, {"BridgePath", "jvbridge/win64/tolven-jvbridge.exe"}},
         LinkSource::Bridge,
         "",
         "/opt/tolven/bin/jvbridge/win64/tolven-jvbridge.exe",
         "wine",
         {}},
        {{{"Source", "Bridge"},
          {"BridgePath", " /home/a/jv/tolven-jvbridge.exe "},
          {"WinePath", "/usr/lib/wine/wine64"},
          {"WinePrefix", "/home/a/.wine-jvlink"}},
         LinkSource::Bridge,
         "",
         "/home/a/jv/tolven-jvbridge.exe",
         "/usr/lib/wine/wine64",
         {"WINEPREFIX=/home/a/.wine-jvlink"}},
        {{{"Source", "jvlink"}},
         LinkSource::Feed,
         "設定ファイル tolven.ini の [JVLink] Source=jvlink は feed、bridge、com のどれかにしてく"
         "ださい。",
         "/opt/tolven/bin/jvbridge/win32/tolven-jvbridge.exe",
         "wine",
         {}},
        // A path in the settings is CP932 and becomes a UTF-8 file name.
        {{{"BridgePath", sj("/home/競馬/tolven-jvbridge.exe")}},
         LinkSource::Feed,
         "",
         "/home/競馬/tolven-jvbridge.exe",
         "wine",
         {}},
    };
    for (const auto& c : cases) {
        LinkSettings s = read_link_settings([&c](std::string_view key) {
            auto it = c.ini.find(std::string(key));
            return it == c.ini.end() ? std::string() : it->second;
        });
        EXPECT_EQ(s.source, c.source);
        EXPECT_EQ(s.problem, sj(c.problem));
        BridgeOptions o = bridge_options(s, program);
        EXPECT_EQ(o.bridge.string(), c.bridge);
        EXPECT_EQ(o.wine, c.wine);
        EXPECT_EQ(o.environment, c.environment);
    }
}

// The open's time-out in seconds: the default when missing, the value when it
// lies in 5..86400, and anything else refused with a message naming the key
// and the range (the default stays, so nothing is replaced silently).
TEST(LinkSource, OpenTimeoutIsCheckedAgainstItsRange) {
    struct Case {
        const char* stored;  // nullptr: missing
        int seconds;
        bool refused;
    };
    const Case cases[] = {
        {nullptr, 1800, false}, {"", 1800, false},     {"5", 5, false},
        {" 600 ", 600, false},  {"86400", 86400, false}, {"4", 1800, true},
        {"0", 1800, true},      {"86401", 1800, true}, {"-30", 1800, true},
        {"10m", 1800, true},    {"1e3", 1800, true},   {"99999999999", 1800, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored == nullptr ? "missing" : c.stored);
        LinkSettings s = read_link_settings([&c](std::string_view key) {
            return key == "OpenTimeout" && c.stored != nullptr ? std::string(c.stored)
                                                               : std::string();
        });
        EXPECT_EQ(s.open_timeout_seconds, c.seconds);
        EXPECT_EQ(s.problem, "");
        EXPECT_EQ(bridge_options(s, "/opt").timeouts.open, c.seconds * 1000);
        if (c.refused) {
            EXPECT_EQ(s.open_timeout_problem,
                      sj("設定ファイル tolven.ini の [JVLink] OpenTimeout=" +
                         std::string(trim(c.stored)) + " は 5 から 86400 までの秒数にしてください。"));
        } else {
            EXPECT_EQ(s.open_timeout_problem, "");
        }
    }
}

}  // namespace
}  // namespace tolven
