// CP932 text for the in-process check program only: Windows' own code page
// 932 stands in for the project's conversion, which this small program does
// not link.
// clang-format off
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// clang-format on

#include "store/cp932.hpp"

namespace tolven::cp932 {
namespace {

std::string convert(std::string_view text, UINT from, UINT to) {
    if (text.empty()) return {};
    int n = MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    int m = WideCharToMultiByte(to, 0, wide.data(), n, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(m), '\0');
    WideCharToMultiByte(to, 0, wide.data(), n, out.data(), m, nullptr, nullptr);
    return out;
}

}  // namespace

std::string to_utf8(std::string_view cp932) {
    return convert(cp932, 932, CP_UTF8);
}

std::string from_utf8(std::string_view utf8) {
    return convert(utf8, CP_UTF8, 932);
}

}  // namespace tolven::cp932
