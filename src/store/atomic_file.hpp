#pragma once

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tolven {

// An input/output failure while reading or writing a store file. It ends the
// operation in progress; the message names the file and the reason.
class FileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Replaces a file whole without ever leaving a torn file: the new content goes
// to a temporary file in the same folder, which commit() renames over the
// target. Destroyed without commit() (an exception, a failed write), the
// temporary file is removed and the old file stays as it was.
class AtomicFile {
  public:
    explicit AtomicFile(std::filesystem::path target);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    void write(std::string_view bytes);
    void commit();

  private:
    std::filesystem::path target_;
    std::filesystem::path temporary_;
    int fd_ = -1;
};

// Writes content to path through an AtomicFile.
void replace_file(const std::filesystem::path& path, std::string_view content);

// Overwrites bytes of an existing file at offset with one write.
void write_in_place(const std::filesystem::path& path, std::size_t offset, std::string_view bytes);

// The whole file; FileError when it cannot be read.
std::string read_file(const std::filesystem::path& path);
// The whole file, or nullopt when it does not exist; FileError when it exists
// but cannot be read.
std::optional<std::string> read_file_if_exists(const std::filesystem::path& path);

}  // namespace tolven
