#pragma once

// File names are UTF-8 text inside the program. These are the one conversion
// between such text and a std::filesystem::path; a path built from a plain
// std::string would read the bytes in the system's code page on Windows.

#include <filesystem>
#include <string>
#include <string_view>

namespace tolven {

inline std::filesystem::path utf8_path(std::string_view text) {
    std::u8string bytes(text.size(), u8'\0');
    for (std::size_t i = 0; i < text.size(); ++i) bytes[i] = static_cast<char8_t>(text[i]);
    return std::filesystem::path(bytes);
}

inline std::string path_utf8(const std::filesystem::path& path) {
    std::u8string bytes = path.u8string();
    return std::string(bytes.begin(), bytes.end());
}

// With "/" between the parts on every system, for text that is written on
// one system and read on another.
inline std::string generic_path_utf8(const std::filesystem::path& path) {
    std::u8string bytes = path.generic_u8string();
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace tolven
