#include "store/base_folder.hpp"

#include <cstdlib>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace tolven {

fs::path resolve_base_folder(const std::optional<fs::path>& option, const fs::path& executable) {
    if (option && !option->empty()) return fs::absolute(*option);
    if (const char* home = std::getenv("TOLVEN_HOME"); home != nullptr && *home != '\0') {
        return fs::absolute(home);
    }
    fs::path folder = executable.parent_path();
    if (!folder.empty() && access(folder.c_str(), W_OK) == 0) return folder;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && *data != '\0') {
        return fs::path(data) / "tolven";
    }
    const char* user_home = std::getenv("HOME");
    return fs::path(user_home != nullptr ? user_home : ".") / ".local" / "share" / "tolven";
}

fs::path executable_path(const char* argv0) {
    std::error_code error;
    fs::path exe = fs::read_symlink("/proc/self/exe", error);
    if (!error) return exe;
    return fs::absolute(argv0 != nullptr ? argv0 : ".", error);
}

}  // namespace tolven
