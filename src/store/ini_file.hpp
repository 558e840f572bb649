#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tolven {

// The settings file: an INI file of sections and key=value lines, CP932 text
// with CR LF line ends. Every read goes to the file as it is on disk and every
// write replaces the file whole at once, so several readers and writers in one
// program see the same settings.
class IniFile {
  public:
    explicit IniFile(std::filesystem::path path);

    const std::filesystem::path& path() const { return path_; }

    // The integer stored under the key, or the default when the key is missing
    // or its value is not a plain integer.
    int read_int(std::string_view section, std::string_view key, int default_value) const;
    void write_int(std::string_view section, std::string_view key, int value) const;

    // The stored text. A value wrapped in double quotes or in the half-width
    // corner brackets "｢" "｣" comes back without the wrapper (so it can keep
    // leading and trailing blanks); a missing key gives the default unchanged.
    std::string read_text(std::string_view section, std::string_view key,
                          std::string_view default_value) const;
    // Writes the value unchanged, without a wrapper. A value holding a line
    // break is cut at it: it could not be read back otherwise.
    void write_text(std::string_view section, std::string_view key, std::string_view value) const;

  private:
    std::vector<std::string> load() const;
    bool find(const std::vector<std::string>& lines, std::string_view section, std::string_view key,
              std::string& value) const;

    std::filesystem::path path_;
};

}  // namespace tolven
