#include "app/cli_context.hpp"

#include <cerrno>
#include <cstdlib>

#include "store/cp932.hpp"
#include "store/settings_keys.hpp"

namespace tolven::cli {

std::filesystem::path Context::feed_folder() const {
    return resolve_feed_folder(base, feed_option);
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

std::string terminal_text(std::string_view cp932_text, bool keep_line_feeds) {
    std::string text = cp932::to_utf8(cp932_text);
    std::string plain;
    plain.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c == '\r') continue;  // messages of several lines use CR LF
        if ((c == '\n' && keep_line_feeds) || c == '\t') {
            plain += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            plain += '?';
        } else if (c == 0xC2 && i + 1 < text.size() &&
                   static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            plain += '?';  // a C1 control (U+0080..U+009F)
            ++i;
        } else {
            plain += static_cast<char>(c);
        }
    }
    return plain;
}

void print_line(std::FILE* out, const std::string& cp932_text) {
    std::fprintf(out, "%s\n", terminal_text(cp932_text, true).c_str());
}

}  // namespace tolven::cli
