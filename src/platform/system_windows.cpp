#include "platform/system.hpp"

#include <cstdlib>
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

namespace fs = std::filesystem;

namespace tolven::platform {
namespace {

std::string utf8_of(const wchar_t* text) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return {};
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    out.pop_back();  // the terminating NUL
    return out;
}

std::wstring wide_of(const char* text) {
    std::wstring out;
    for (; *text != '\0'; ++text) out += static_cast<wchar_t>(static_cast<unsigned char>(*text));
    return out;
}

}  // namespace

std::optional<fs::path> environment_path(const char* name) {
    const wchar_t* value = _wgetenv(wide_of(name).c_str());
    if (value == nullptr || *value == L'\0') return std::nullopt;
    return fs::path(value);
}

std::optional<fs::path> executable_file() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return std::nullopt;
        if (n < buffer.size()) {
            buffer.resize(n);
            return fs::path(buffer);
        }
        buffer.resize(buffer.size() * 2);
    }
}

fs::path user_data_folder() {
    if (auto local = environment_path("LOCALAPPDATA")) return *local / "TOLVEN";
    if (auto profile = environment_path("USERPROFILE")) {
        return *profile / "AppData" / "Local" / "TOLVEN";
    }
    return fs::path("TOLVEN");
}

std::vector<std::string> utf8_arguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i) out.push_back(utf8_of(wide[i]));
    LocalFree(wide);
    return out;
}

void set_binary_output() {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

bool is_terminal(std::FILE* stream) {
    return _isatty(_fileno(stream)) != 0;
}

std::string host_name() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(name, &size)) return "?";
    return utf8_of(name);
}

long process_id() {
    return static_cast<long>(GetCurrentProcessId());
}

}  // namespace tolven::platform
