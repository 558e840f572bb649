#include "store/base_folder.hpp"

#include <system_error>

#include "platform/files.hpp"
#include "platform/system.hpp"

namespace fs = std::filesystem;

namespace tolven {

fs::path resolve_base_folder(const std::optional<fs::path>& option, const fs::path& executable) {
    if (option && !option->empty()) return fs::absolute(*option);
    if (auto home = platform::environment_path("TOLVEN_HOME")) return fs::absolute(*home);
    fs::path folder = executable.parent_path();
    if (!folder.empty() && platform::folder_writable(folder.c_str())) return folder;
    return platform::user_data_folder();
}

fs::path executable_path(const char* argv0) {
    if (auto exe = platform::executable_file()) return *exe;
    std::error_code error;
    return fs::absolute(argv0 != nullptr ? argv0 : ".", error);
}

}  // namespace tolven
