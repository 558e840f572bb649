#pragma once

// The program's surroundings, one POSIX and one Windows side: environment,
// its own file, its arguments and its standard streams.

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tolven::platform {

// An environment variable as a path; nothing when unset or empty. (Windows
// keeps the environment in UTF-16; it is read as such.)
std::optional<std::filesystem::path> environment_path(const char* name);

// The running program's file; nothing when the system cannot say.
std::optional<std::filesystem::path> executable_file();

// Where a user's data goes when the program's folder is not writable:
// $XDG_DATA_HOME/tolven (default ~/.local/share/tolven); on Windows
// %LOCALAPPDATA%\TOLVEN.
std::filesystem::path user_data_folder();

// The command line's arguments as UTF-8 text, argv[0] included. On Windows
// they are read from the UTF-16 command line: argv holds them in the ANSI
// code page, which loses every character outside it.
std::vector<std::string> utf8_arguments(int argc, char** argv);

// Standard output and error pass bytes through unchanged (no CR added before
// LF on Windows), so the output is the same on every system.
void set_binary_output();

bool is_terminal(std::FILE* stream);
// This computer's name (UTF-8) and this process's id, to name a lock's holder.
std::string host_name();
long process_id();

}  // namespace tolven::platform
