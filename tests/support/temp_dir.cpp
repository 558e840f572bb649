#include "support/temp_dir.hpp"

#include <atomic>
#include <chrono>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "platform/utf8_path.hpp"

namespace tolven::testing {

// mkdtemp, portably: create_directory is false when the name is taken.
TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    std::mt19937_64 random(std::random_device{}() ^
                           static_cast<std::uint64_t>(
                               std::chrono::steady_clock::now().time_since_epoch().count()) ^
                           ++counter);
    const auto folder = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = "tolven-test-";
        for (int i = 0; i < 8; ++i) name += "abcdefghijklmnopqrstuvwxyz0123456789"[random() % 36];
        if (std::filesystem::create_directory(folder / name)) {
            path_ = folder / name;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder in " + path_utf8(folder));
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void write_bytes(const std::filesystem::path& file, const std::string& bytes) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out << bytes;
}

std::string read_bytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

}  // namespace tolven::testing

namespace tolven::testing {

std::set<std::string> folder_entries(const std::filesystem::path& folder) {
    std::set<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        names.insert(path_utf8(it->path().filename()));
    }
    return names;
}

}  // namespace tolven::testing
