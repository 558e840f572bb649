#pragma once

#include <filesystem>
#include <optional>

namespace tolven {

// The application folder that holds Data, SEI, SEIR, HPupload and tolven.ini.
// In this order: the --base option; the environment variable TOLVEN_HOME; the
// executable's folder when it is writable; $XDG_DATA_HOME/tolven (default
// ~/.local/share/tolven; on Windows %LOCALAPPDATA%\TOLVEN).
std::filesystem::path resolve_base_folder(const std::optional<std::filesystem::path>& option,
                                          const std::filesystem::path& executable);

// The running executable (/proc/self/exe; GetModuleFileNameW), or the given
// fallback (argv[0]) when it cannot be read.
std::filesystem::path executable_path(const char* argv0);

}  // namespace tolven
