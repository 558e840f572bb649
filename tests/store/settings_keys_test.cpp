#include "store/settings_keys.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "store/cp932.hpp"
#include "support/temp_dir.hpp"
#include "store/ini_file.hpp"

namespace fs = std::filesystem;

namespace tolven {
namespace {

using namespace tolven::testing;

// What a missing settings file gives for every setting.
TEST(SettingsKeys, DefaultsOfAMissingFile) {
    struct Case {
        const Setting& setting;
        int number;
        const char* text;
    } cases[] = {
        {settings::main_top, 10, ""},      {settings::main_left, 10, ""},
        {settings::main_width, 1000, ""},  {settings::main_height, 800, ""},
        {settings::ticker, 0, "On"},       {settings::toolbar, 0, ""},
        {settings::course_index, 0, ""},   {settings::date_index, 0, ""},
        {settings::print_top, 10, ""},     {settings::print_left, 10, ""},
        {settings::print_width, 630, ""},  {settings::print_height, 450, ""},
        {settings::print_zoom, 1, ""},     {settings::last_import, 0, ""},
        {settings::feed_folder, 0, ""},    {settings::link_source, 0, ""},
        {settings::bridge_path, 0, ""},    {settings::wine_path, 0, ""},
        {settings::wine_prefix, 0, ""},    {settings::open_timeout, 1800, ""},
    };
    ASSERT_EQ(std::size(cases), std::size(settings::table));
    TempDir dir;
    IniFile ini(settings_file(dir.path()));
    EXPECT_EQ(ini.path(), dir.path() / "tolven.ini");
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.setting.section) + "/" + c.setting.key);
        EXPECT_EQ(read_setting_number(ini, c.setting), c.number);
        EXPECT_EQ(read_setting_text(ini, c.setting), c.text);
    }
    EXPECT_FALSE(fs::exists(ini.path()));
}

// Every section/key pair names one setting (names compare without case).
TEST(SettingsKeys, EachKeyOnce) {
    std::set<std::string> names;
    for (const Setting* s : settings::table) {
        std::string name = std::string(s->section) + "/" + s->key;
        for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_TRUE(names.insert(name).second) << name;
    }
}

// A stored number outside the range the program writes reads as the default;
// the ends of the range are kept.
TEST(SettingsKeys, NumbersOutsideTheRangeGiveTheDefault) {
    struct Case {
        const Setting& setting;
        int stored;
        int read;
    } cases[] = {
        {settings::course_index, -1, 0}, {settings::course_index, 0, 0},
        {settings::course_index, 10, 10}, {settings::course_index, 11, 0},
        {settings::date_index, -1, 0},   {settings::date_index, 2, 2},
        {settings::date_index, 3, 0},    {settings::print_zoom, -1, 1},
        {settings::print_zoom, 0, 0},    {settings::print_zoom, 3, 3},
        {settings::print_zoom, 4, 1},    {settings::main_left, -1200, -1200},
        {settings::print_width, 99999, 99999},
    };
    TempDir dir;
    IniFile ini(settings_file(dir.path()));
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.setting.key) + "=" + std::to_string(c.stored));
        EXPECT_EQ(setting_in_range(c.setting, c.stored), c.read);
        write_setting_number(ini, c.setting, c.stored);
        EXPECT_EQ(ini.read_int(c.setting.section, c.setting.key, -7), c.stored);
        EXPECT_EQ(read_setting_number(ini, c.setting), c.read);
    }
    // Not a number: the default.
    ini.write_text(settings::print_zoom.section, settings::print_zoom.key, "2x");
    EXPECT_EQ(read_setting_number(ini, settings::print_zoom), 1);
}

TEST(SettingsKeys, TextsAreWrittenAndReadBack) {
    TempDir dir;
    IniFile ini(settings_file(dir.path()));
    write_setting_text(ini, settings::ticker, "Off");
    write_setting_text(ini, settings::last_import, "20261207153000");
    EXPECT_EQ(read_setting_text(ini, settings::ticker), "Off");
    EXPECT_EQ(read_setting_text(ini, settings::last_import), "20261207153000");
    EXPECT_EQ(read_bytes(ini.path()),
              "[Ticker]\r\nOnOff=Off\r\n\r\n[JvDataGet]\r\nLastTime=20261207153000\r\n");
}

// Both programs take the feed folder from here: the folder given on the
// command line, else the setting, else <base>/feed.
TEST(SettingsKeys, FeedFolder) {
    TempDir dir;
    const fs::path base = dir.path();
    EXPECT_EQ(resolve_feed_folder(base, std::nullopt), base / "feed");
    IniFile ini(settings_file(base));
    write_setting_text(ini, settings::feed_folder, sj("/srv/データ"));
    EXPECT_EQ(resolve_feed_folder(base, std::nullopt), fs::path("/srv/データ"));
    EXPECT_EQ(resolve_feed_folder(base, fs::path("given")), fs::path("given"));
    write_setting_text(ini, settings::feed_folder, "");
    EXPECT_EQ(resolve_feed_folder(base, std::nullopt), base / "feed");
}

}  // namespace
}  // namespace tolven
