#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "jvlink/bridge_jvlink.hpp"

namespace tolven {

class IniFile;

// Where JV-Data comes from: the feed folder (FeedLink, the default), or the
// real JV-Link component through tolven-jvbridge.exe (BridgeJvLink).
enum class LinkSource { Feed, Bridge };

// "feed" or "bridge" (any case, blanks around ignored); nullopt otherwise.
std::optional<LinkSource> parse_link_source(std::string_view text);

// The keys of settings section "JVLink".
//
//   Source      feed | bridge                    default feed
//   BridgePath  tolven-jvbridge.exe              default jvbridge/win32/tolven-jvbridge.exe
//                                                beside the program (a relative path
//                                                is taken from the program's folder)
//   WinePath    the wine command (Linux)         default wine, looked up in PATH
//   WinePrefix  the Wine prefix holding JV-Link  default: the WINEPREFIX of the
//                                                environment, else Wine's own default
struct LinkSettings {
    LinkSource source = LinkSource::Feed;
    std::string bridge_path;  // UTF-8
    std::string wine_path;    // UTF-8
    std::string wine_prefix;  // UTF-8
    // A Source value that is neither feed nor bridge (CP932), empty when fine.
    std::string problem;
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
