#pragma once

#include <filesystem>
#include <set>
#include <string>

namespace tolven::testing {

// A fresh folder under the system's temporary folder, removed with its
// content when the object goes.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

// Writes bytes to a file, creating its folder.
void write_bytes(const std::filesystem::path& file, const std::string& bytes);
// The file's bytes ("" when missing).
std::string read_bytes(const std::filesystem::path& file);

// The names in a folder (none when it cannot be listed), to compare before
// and after a run that must create nothing there.
std::set<std::string> folder_entries(const std::filesystem::path& folder);

}  // namespace tolven::testing
