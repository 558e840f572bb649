#include "store/settings_keys.hpp"

#include "store/cp932.hpp"
#include "store/ini_file.hpp"

namespace tolven {

std::filesystem::path settings_file(const std::filesystem::path& base) {
    return base / kSettingsFileName;
}

int setting_in_range(const Setting& setting, int value) {
    return value >= setting.low && value <= setting.high ? value : setting.default_number;
}

int read_setting_number(const IniFile& ini, const Setting& setting) {
    return setting_in_range(setting,
                            ini.read_int(setting.section, setting.key, setting.default_number));
}

void write_setting_number(const IniFile& ini, const Setting& setting, int value) {
    ini.write_int(setting.section, setting.key, value);
}

std::string read_setting_text(const IniFile& ini, const Setting& setting) {
    return ini.read_text(setting.section, setting.key, setting.default_text);
}

void write_setting_text(const IniFile& ini, const Setting& setting, std::string_view value) {
    ini.write_text(setting.section, setting.key, value);
}

std::filesystem::path resolve_feed_folder(const std::filesystem::path& base,
                                          const std::optional<std::filesystem::path>& given) {
    if (given) return *given;
    std::string folder = read_setting_text(IniFile(settings_file(base)), settings::feed_folder);
    if (!folder.empty()) return cp932::to_utf8(folder);
    return base / "feed";
}

}  // namespace tolven
