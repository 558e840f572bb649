#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "jvlink/bridge_jvlink.hpp"

namespace tolven {

class IniFile;

// Where JV-Data comes from: the feed folder (FeedLink, the default), the real
// JV-Link component through tolven-jvbridge.exe (BridgeJvLink), or the
// component loaded into this program (ComJvLink: Windows only).
enum class LinkSource { Feed, Bridge, Com };

// "feed", "bridge" or "com" (any case, blanks around ignored); nullopt
// otherwise.
std::optional<LinkSource> parse_link_source(std::string_view text);

// The keys of settings section "JVLink".
//
//   Source      feed | bridge | com              default feed
//   BridgePath  tolven-jvbridge.exe              default jvbridge/win32/tolven-jvbridge.exe
//                                                beside the program (a relative path
//                                                is taken from the program's folder)
//   WinePath    the wine command (Linux)         default wine, looked up in PATH
//   WinePrefix  the Wine prefix holding JV-Link  default: the WINEPREFIX of the
//                                                environment, else Wine's own default
//   OpenTimeout seconds JVOpen/JVRTOpen may take default 1800; 5..86400, anything
//                                                else is refused with a message
struct LinkSettings {
    LinkSource source = LinkSource::Feed;
    std::string bridge_path;  // UTF-8
    std::string wine_path;    // UTF-8
    std::string wine_prefix;  // UTF-8
    int open_timeout_seconds = 1800;
    // A Source value that is none of the three (CP932), empty when fine.
    std::string problem;
    // An OpenTimeout that is not a number of seconds in its range (CP932),
    // empty when fine; the time-out then keeps its default.
    std::string open_timeout_problem;
};

// Reads the keys through read(key), which returns the CP932 value of the key
// in section "JVLink" (empty when missing).
LinkSettings read_link_settings(const std::function<std::string(std::string_view key)>& read);
// Reads them from the settings file.
LinkSettings read_link_settings(const IniFile& ini);

// The bridge's command line and environment for the settings; program_folder
// is the folder of the running executable.
BridgeOptions bridge_options(const LinkSettings& settings,
                             const std::filesystem::path& program_folder);

}  // namespace tolven
