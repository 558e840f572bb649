#pragma once

#include <filesystem>
#include <optional>
#include <vector>

namespace tolven {

// Where the user guide (help/index.html) may be, in the order it is looked
// for: the base folder, next to the program, the data folder of an installed
// program (<prefix>/share/tolven), and the source tree the program was built
// from.
std::vector<std::filesystem::path> help_guide_places(const std::filesystem::path& base,
                                                     const std::filesystem::path& program_folder);

// The first of the places that holds the guide.
std::optional<std::filesystem::path> find_help_guide(
    const std::vector<std::filesystem::path>& places);

}  // namespace tolven
