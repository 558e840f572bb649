#include "app/cli_context.hpp"

#include <cerrno>
#include <cstdlib>

#include "store/cp932.hpp"
#include "store/ini_file.hpp"

namespace tolven::cli {

std::filesystem::path Context::feed_folder() const {
    if (feed_option) return *feed_option;
    std::string folder = IniFile(base / "tolven.ini").read_text("FeedLink", "Folder", "");
    if (!folder.empty()) return cp932::to_utf8(folder);
    return base / "feed";
}

std::optional<std::string> take_option(std::vector<std::string>& args, const std::string& name) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == name) {
            if (i + 1 >= args.size()) throw UsageError(name + " needs a value");
            std::string value = args[i + 1];
            args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                       args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
            return value;
        }
        if (args[i].rfind(name + "=", 0) == 0) {
            std::string value = args[i].substr(name.size() + 1);
            args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
            return value;
        }
    }
    return std::nullopt;
}

bool take_flag(std::vector<std::string>& args, const std::string& name) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == name) {
            args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
            return true;
        }
    }
    return false;
}

int parse_int(const std::string& text, const char* what) {
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || value < -2147483647L || value > 2147483647L) {
        throw UsageError(std::string(what) + " is not a number: " + text);
    }
    return static_cast<int>(value);
}

void print_line(std::FILE* out, const std::string& cp932_text) {
    std::string text = cp932::to_utf8(cp932_text);
    // Messages of several lines use CR LF; a terminal wants LF.
    std::string plain;
    for (char c : text) {
        if (c != '\r') plain += c;
    }
    std::fprintf(out, "%s\n", plain.c_str());
}

}  // namespace tolven::cli
