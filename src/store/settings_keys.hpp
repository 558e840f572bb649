#pragma once

#include <climits>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tolven {

class IniFile;

// The settings file's name; it lives in the base folder.
inline constexpr const char* kSettingsFileName = "tolven.ini";
std::filesystem::path settings_file(const std::filesystem::path& base);

// One entry of the settings file: section, key, the default a missing value
// gives, and for a number the range of values the program writes; a stored
// number outside it (or not a number) reads as the default.
struct Setting {
    const char* section;
    const char* key;
    int default_number = 0;
    int low = INT_MIN;
    int high = INT_MAX;
    const char* default_text = "";
};

// Every setting the programs read or write.
namespace settings {
// The main window's place and size.
inline constexpr Setting main_top{"locate", "top", 10};
inline constexpr Setting main_left{"locate", "left", 10};
inline constexpr Setting main_width{"locate", "width", 1000};
inline constexpr Setting main_height{"locate", "height", 800};
// "Off" hides the ticker; anything else shows it.
inline constexpr Setting ticker{"Ticker", "OnOff", 0, INT_MIN, INT_MAX, "On"};
// "no" hides the toolbar; anything else shows it.
inline constexpr Setting toolbar{"ToolBar", "Chk"};
// The chosen racecourse (0..10) and date (0..2) buttons of the day list.
inline constexpr Setting course_index{"SelPlace", "basho", 0, 0, 10};
inline constexpr Setting date_index{"SelPlace", "hiduke", 0, 0, 2};
// The print preview's place, size and zoom button (0..3: 25%, 50%, 75%, 100%).
inline constexpr Setting print_top{"Printlocate", "top", 10};
inline constexpr Setting print_left{"Printlocate", "left", 10};
inline constexpr Setting print_width{"Printlocate", "width", 630};
inline constexpr Setting print_height{"Printlocate", "height", 450};
inline constexpr Setting print_zoom{"PrintZoom", "ratio", 1, 0, 3};
// The time of the last import, "YYYYMMDDhhmmss" ("" before the first).
inline constexpr Setting last_import{"JvDataGet", "LastTime"};
// The folder FeedLink reads ("" for <base>/feed).
inline constexpr Setting feed_folder{"FeedLink", "Folder"};
// Where JV-Data comes from and how the bridge is started.
inline constexpr Setting link_source{"JVLink", "Source"};
inline constexpr Setting bridge_path{"JVLink", "BridgePath"};
inline constexpr Setting wine_path{"JVLink", "WinePath"};
inline constexpr Setting wine_prefix{"JVLink", "WinePrefix"};
// How many seconds JVOpen and JVRTOpen may take: JV-Link may hold an open up
// with a window of its own until a person answers it. A value outside the
// range is refused with a message (link_source.cpp), not read as the default.
inline constexpr Setting open_timeout{"JVLink", "OpenTimeout", 1800, 5, 86400};

inline constexpr const Setting* table[] = {
    &main_top,     &main_left,   &main_width,  &main_height,  &ticker,
    &toolbar,      &course_index, &date_index, &print_top,    &print_left,
    &print_width,  &print_height, &print_zoom, &last_import,  &feed_folder,
    &link_source,  &bridge_path,  &wine_path,  &wine_prefix,  &open_timeout,
};
}  // namespace settings

// The value when it lies in the setting's range, else the default.
int setting_in_range(const Setting& setting, int value);

int read_setting_number(const IniFile& ini, const Setting& setting);
void write_setting_number(const IniFile& ini, const Setting& setting, int value);
// CP932 text; a missing key gives the default text.
std::string read_setting_text(const IniFile& ini, const Setting& setting);
void write_setting_text(const IniFile& ini, const Setting& setting, std::string_view value);

// The feed folder FeedLink reads, the same for both programs: the folder
// given on the command line, else the feed-folder setting of the base's
// settings file, else <base>/feed.
std::filesystem::path resolve_feed_folder(const std::filesystem::path& base,
                                          const std::optional<std::filesystem::path>& given);

}  // namespace tolven
