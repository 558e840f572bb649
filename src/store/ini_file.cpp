#include "store/ini_file.hpp"

#include <cerrno>
#include <cstdlib>
#include <optional>

#include "store/atomic_file.hpp"
#include "store/data_store.hpp"
#include "store/lenient.hpp"

namespace tolven {
namespace {

bool same_name(std::string_view a, std::string_view b) {
    // Section and key names compare without regard to ASCII case, as INI
    // files always have.
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// The section name of a "[name]" line.
std::optional<std::string_view> section_of(std::string_view line) {
    line = trim(line);
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
        return trim(line.substr(1, line.size() - 2));
    }
    return std::nullopt;
}

}  // namespace

IniFile::IniFile(std::filesystem::path path) : path_(std::move(path)) {}

std::vector<std::string> IniFile::load() const {
    auto content = read_file_if_exists(path_);
    return content ? split_lines(*content) : std::vector<std::string>{};
}

bool IniFile::find(const std::vector<std::string>& lines, std::string_view section,
                   std::string_view key, std::string& value) const {
    bool in_section = false;
    for (const auto& line : lines) {
        if (auto name = section_of(line)) {
            in_section = same_name(*name, section);
            continue;
        }
        if (!in_section) continue;
        std::size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        if (same_name(trim(std::string_view(line).substr(0, eq)), key)) {
            value = line.substr(eq + 1);
            return true;
        }
    }
    return false;
}

int IniFile::read_int(std::string_view section, std::string_view key, int default_value) const {
    std::string value;
    if (!find(load(), section, key, value)) return default_value;
    std::string_view v = trim(value);
    if (v.empty()) return default_value;
    std::string text(v);
    char* end = nullptr;
    errno = 0;
    long n = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || n < INT32_MIN || n > INT32_MAX) return default_value;
    return static_cast<int>(n);
}

void IniFile::write_int(std::string_view section, std::string_view key, int value) const {
    write_text(section, key, std::to_string(value));
}

std::string IniFile::read_text(std::string_view section, std::string_view key,
                               std::string_view default_value) const {
    std::string value;
    if (!find(load(), section, key, value)) return std::string(default_value);
    std::string_view v = trim(value);
    // "｢" and "｣" are the single CP932 bytes A2 and A3.
    if (v.size() >= 2 &&
        ((v.front() == '"' && v.back() == '"') || (v.front() == '\xA2' && v.back() == '\xA3'))) {
        v = v.substr(1, v.size() - 2);
    }
    return std::string(v);
}

void IniFile::write_text(std::string_view section, std::string_view key,
                         std::string_view value) const {
    value = value.substr(0, value.find_first_of("\r\n"));
    std::vector<std::string> lines = load();
    std::string entry = std::string(key) + "=" + std::string(value);

    std::size_t section_line = lines.size();
    std::size_t insert_at = lines.size();
    bool in_section = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (auto name = section_of(lines[i])) {
            if (in_section) break;
            in_section = same_name(*name, section);
            if (in_section) {
                section_line = i;
                insert_at = i + 1;
            }
            continue;
        }
        if (!in_section) continue;
        std::size_t eq = lines[i].find('=');
        if (eq != std::string::npos &&
            same_name(trim(std::string_view(lines[i]).substr(0, eq)), key)) {
            lines[i] = entry;
            replace_file(path_, join_lines(lines));
            return;
        }
        if (!trim(lines[i]).empty()) insert_at = i + 1;
    }
    if (section_line == lines.size()) {
        if (!lines.empty() && !trim(lines.back()).empty()) lines.emplace_back();
        std::string header(1, '[');
        header.append(section);
        header += ']';
        lines.push_back(std::move(header));
        lines.push_back(entry);
    } else {
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insert_at), entry);
    }
    replace_file(path_, join_lines(lines));
}

}  // namespace tolven
