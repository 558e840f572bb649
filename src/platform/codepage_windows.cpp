#include "platform/codepage.hpp"

#include <windows.h>

namespace tolven::platform {
namespace {

std::wstring wide(UINT page, std::string_view in) {
    if (in.empty()) return {};
    int n = MultiByteToWideChar(page, 0, in.data(), static_cast<int>(in.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(page, 0, in.data(), static_cast<int>(in.size()), out.data(), n);
    return out;
}

std::string narrow(UINT page, const std::wstring& in) {
    if (in.empty()) return {};
    int n = WideCharToMultiByte(page, 0, in.data(), static_cast<int>(in.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(page, 0, in.data(), static_cast<int>(in.size()), out.data(), n, nullptr,
                        nullptr);
    return out;
}

}  // namespace

std::string cp932_to_utf8(std::string_view cp932) {
    return narrow(CP_UTF8, wide(932, cp932));
}

std::string utf8_to_cp932(std::string_view utf8) {
    return narrow(932, wide(CP_UTF8, utf8));
}

}  // namespace tolven::platform
