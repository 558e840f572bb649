#include "platform/system.hpp"

#include <cstdlib>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace tolven::platform {

std::optional<fs::path> environment_path(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') return std::nullopt;
    return fs::path(value);
}

std::optional<fs::path> executable_file() {
    std::error_code error;
    fs::path exe = fs::read_symlink("/proc/self/exe", error);
    if (error) return std::nullopt;
    return exe;
}

fs::path user_data_folder() {
    if (auto data = environment_path("XDG_DATA_HOME")) return *data / "tolven";
    fs::path home = environment_path("HOME").value_or(fs::path("."));
    return home / ".local" / "share" / "tolven";
}

std::vector<std::string> utf8_arguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

void set_binary_output() {}

bool is_terminal(std::FILE* stream) {
    return ::isatty(::fileno(stream)) != 0;
}

std::string host_name() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return "?";
    return name;
}

long process_id() {
    return static_cast<long>(::getpid());
}

}  // namespace tolven::platform
