#include "jvlink/link_source.hpp"

#include <gtest/gtest.h>

#include <map>

#include "store/cp932.hpp"

namespace fs = std::filesystem;

namespace tolven {
namespace {

TEST(LinkSource, NamesAreFeedAndBridge) {
    const std::map<std::string, std::optional<LinkSource>> cases = {
        {"feed", LinkSource::Feed},
        {"Feed", LinkSource::Feed},
        {" bridge ", LinkSource::Bridge},
        {"BRIDGE", LinkSource::Bridge},
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
         "設定ファイル tolven.ini の [JVLink] Source=jvlink は feed か bridge にしてください。",
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

}  // namespace
}  // namespace tolven
