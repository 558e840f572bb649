#pragma once

// The system's conversion between CP932 and UTF-8 (iconv; on Windows code
// page 932). An invalid or unconvertible sequence becomes `replacement`, and
// the conversion goes on after it.

#include <string>
#include <string_view>

namespace tolven::platform {

std::string cp932_to_utf8(std::string_view cp932);
std::string utf8_to_cp932(std::string_view utf8);

}  // namespace tolven::platform
