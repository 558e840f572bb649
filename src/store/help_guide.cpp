#include "store/help_guide.hpp"

#include <system_error>

namespace fs = std::filesystem;

namespace tolven {

std::vector<fs::path> help_guide_places(const fs::path& base, const fs::path& program_folder) {
    const fs::path guide = fs::path("help") / "index.html";
    std::vector<fs::path> places{base / guide, program_folder / guide,
                                 (program_folder.parent_path() / "share" / "tolven" / guide)};
#ifdef TOLVEN_SOURCE_DIR
    places.push_back(fs::path(TOLVEN_SOURCE_DIR) / guide);
#endif
    // The same folder reached twice (a base beside the program) is looked at once.
    std::vector<fs::path> unique;
    for (const fs::path& p : places) {
        fs::path normal = p.lexically_normal();
        bool seen = false;
        for (const fs::path& u : unique) seen = seen || u == normal;
        if (!seen) unique.push_back(normal);
    }
    return unique;
}

std::optional<fs::path> find_help_guide(const std::vector<fs::path>& places) {
    for (const fs::path& p : places) {
        std::error_code error;
        if (fs::is_regular_file(p, error)) return p;
    }
    return std::nullopt;
}

}  // namespace tolven
