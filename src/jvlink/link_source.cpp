#include "jvlink/link_source.hpp"

#include <cctype>

#include "platform/utf8_path.hpp"
#include "store/cp932.hpp"
#include "store/lenient.hpp"
#include "store/settings_keys.hpp"
#include "store/ini_file.hpp"

namespace fs = std::filesystem;

namespace tolven {

std::optional<LinkSource> parse_link_source(std::string_view text) {
    std::string lower;
    for (char c : trim(text)) {
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (lower == "feed") return LinkSource::Feed;
    if (lower == "bridge") return LinkSource::Bridge;
    if (lower == "com") return LinkSource::Com;
    return std::nullopt;
}

LinkSettings read_link_settings(const std::function<std::string(std::string_view key)>& read) {
    LinkSettings link;
    std::string source = read(settings::link_source.key);
    if (!trim(source).empty()) {
        if (auto parsed = parse_link_source(source)) {
            link.source = *parsed;
        } else {
            link.problem = sj("設定ファイル tolven.ini の [JVLink] Source=") + source +
                               sj(" は feed、bridge、com のどれかにしてください。");
        }
    }
    const Setting& timeout = settings::open_timeout;
    link.open_timeout_seconds = timeout.default_number;
    std::string seconds(trim(read(timeout.key)));
    if (!seconds.empty()) {
        bool digits = seconds.size() <= 9;
        for (char c : seconds) digits = digits && c >= '0' && c <= '9';
        int value = digits ? std::stoi(seconds) : 0;
        if (digits && value >= timeout.low && value <= timeout.high) {
            link.open_timeout_seconds = value;
        } else {
            link.open_timeout_problem =
                sj("設定ファイル tolven.ini の [JVLink] OpenTimeout=") + seconds + sj(" は ") +
                std::to_string(timeout.low) + sj(" から ") + std::to_string(timeout.high) +
                sj(" までの秒数にしてください。");
        }
    }
    link.bridge_path = cp932::to_utf8(trim(read(settings::bridge_path.key)));
    link.wine_path = cp932::to_utf8(trim(read(settings::wine_path.key)));
    link.wine_prefix = cp932::to_utf8(trim(read(settings::wine_prefix.key)));
    return link;
}

LinkSettings read_link_settings(const IniFile& ini) {
    return read_link_settings([&ini](std::string_view key) {
        return ini.read_text(settings::link_source.section, key, "");
    });
}

BridgeOptions bridge_options(const LinkSettings& settings, const fs::path& program_folder) {
    BridgeOptions options;
    if (settings.bridge_path.empty()) {
        // JV-Link 4.x is a 32-bit component; its bridge is the 32-bit one.
        options.bridge = program_folder / "jvbridge" / "win32" / "tolven-jvbridge.exe";
    } else {
        fs::path path = utf8_path(settings.bridge_path);
        options.bridge = path.is_relative() ? program_folder / path : path;
    }
#ifdef _WIN32
    options.wine.clear();
#else
    options.wine = settings.wine_path.empty() ? "wine" : settings.wine_path;
#endif
    options.timeouts.open = settings.open_timeout_seconds * 1000;
    if (!settings.wine_prefix.empty()) {
        options.environment.push_back("WINEPREFIX=" + settings.wine_prefix);
    }
    return options;
}

}  // namespace tolven
