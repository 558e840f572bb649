#include "platform/codepage.hpp"

#include <cerrno>
#include <iconv.h>
#include <stdexcept>
#include <string>

namespace tolven::platform {
namespace {

// One iconv descriptor per direction and thread: iconv_open is far slower than
// a conversion, and a descriptor must not be shared between threads.
class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {
            throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " +
                                     to);
        }
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts in; on an invalid or unconvertible sequence appends replacement
    // and skips `skip(in)` bytes of input.
    template <typename Skip>
    std::string convert(std::string_view in, std::string_view replacement, Skip skip) {
        std::string out;
        out.reserve(in.size() * 3 / 2 + 4);
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in.data());
        std::size_t src_left = in.size();
        char buffer[1024];
        while (src_left > 0) {
            char* dst = buffer;
            std::size_t dst_left = sizeof buffer;
            std::size_t r = iconv(cd_, &src, &src_left, &dst, &dst_left);
            out.append(buffer, static_cast<std::size_t>(dst - buffer));
            if (r != static_cast<std::size_t>(-1)) continue;
            if (errno == E2BIG) continue;
            // EILSEQ or EINVAL (a sequence cut off at the end).
            out.append(replacement);
            std::size_t n = skip(std::string_view(src, src_left));
            src += n;
            src_left -= n;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
        return out;
    }

  private:
    iconv_t cd_;
};

std::size_t utf8_sequence_length(std::string_view s) {
    auto b = static_cast<unsigned char>(s[0]);
    std::size_t n = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    for (std::size_t i = 1; i < n; ++i) {
        if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return i;
    }
    return n;
}

}  // namespace

std::string cp932_to_utf8(std::string_view cp932) {
    thread_local Converter converter("UTF-8", "CP932");
    return converter.convert(cp932, "\xEF\xBF\xBD", [](std::string_view) { return 1; });
}

std::string utf8_to_cp932(std::string_view utf8) {
    thread_local Converter converter("CP932", "UTF-8");
    return converter.convert(utf8, "?", utf8_sequence_length);
}

}  // namespace tolven::platform
