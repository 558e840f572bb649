#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "jvlink/link_source.hpp"

class MainWindow;

namespace tolven {

// The command line of the desktop program.
struct ProgramOptions {
    std::optional<std::filesystem::path> base;
    std::optional<std::filesystem::path> feed;
    // Where JV-Data comes from, over the settings' choice.
    std::optional<LinkSource> jvlink;
    bool help = false;
    bool version = false;
};

// A command line the program does not understand (exit status 2).
class ProgramUsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Reads the arguments after the program name. Qt's own options (-platform,
// -style, ...) pass through; anything else unknown is an error, and so is an
// option without its value.
ProgramOptions parse_program_options(const std::vector<std::string>& args);

std::string program_usage();
std::string program_version();

// What the program does once the application exists: resolves and creates the
// base folder, connects the JV-Link (the feed folder, or the component through
// the bridge), and creates the main window. A base folder that cannot be made,
// or a bridge without its component, is shown in the message dialog (with the
// folder and the reason) and gives no window.
std::unique_ptr<MainWindow> open_program(const ProgramOptions& options,
                                        const std::filesystem::path& executable);

}  // namespace tolven
