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

// Throws FileError "<what>：<path>（<reason of error in Japanese>）"; `what`
// is Japanese, "書き込めません".
[[noreturn]] void throw_file_error(const std::string& what, const std::filesystem::path& path,
                                   int error);

// Throws FileError when path is a symbolic link: the files the system writes
// in the base folder and the cache are never written or read through one, so
// that nothing outside them can be changed or copied in.
void refuse_link(const std::filesystem::path& path);

// Flushes the names in a folder to the disk (after a rename or a new file in
// it); FileError naming the folder.
void sync_folder(const std::filesystem::path& folder);

// Replaces a file whole without ever leaving a torn file: the new content goes
// to a temporary file in the same folder, which commit() flushes to the disk
// and renames over the target, then flushes the folder. Destroyed without
// commit() (an exception, a failed write), the temporary file is removed and
// the old file stays as it was. A target that is a symbolic link is refused.
//
// The temporary file is named "." + the target's name + "." + six characters,
// which is how leftovers of a killed writer are recognised.
class AtomicFile {
  public:
    explicit AtomicFile(std::filesystem::path target);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    void write(std::string_view bytes);
    void commit();
    // Flushes and closes the temporary file complete and hands it over instead
    // of renaming it: the caller renames it over the target later (several files committed
    // together) or removes it.
    std::filesystem::path stage();

  private:
    void close_checked();

    std::filesystem::path target_;
    std::filesystem::path temporary_;
    int fd_ = -1;
};

// True when name has the form of an AtomicFile temporary of a file named
// target_name: "." + target_name + "." + six characters.
bool is_temporary_of(std::string_view name, std::string_view target_name);

// Writes content to path through an AtomicFile.
void replace_file(const std::filesystem::path& path, std::string_view content);

// Overwrites bytes of an existing file at offset with one write, and flushes
// it. A symbolic link is refused.
void write_in_place(const std::filesystem::path& path, std::size_t offset, std::string_view bytes);

// Creates a folder and its missing parents through the file layer.
void create_folders(const std::filesystem::path& folder);

// Writes all bytes to fd through the file layer; FileError naming path.
void write_all(int fd, std::string_view bytes, const std::filesystem::path& path);

// The whole file; FileError when it cannot be read.
std::string read_file(const std::filesystem::path& path);
// The whole file, or nullopt when it does not exist; FileError when it exists
// but cannot be read.
std::optional<std::string> read_file_if_exists(const std::filesystem::path& path);
// As read_file_if_exists, for a file the writer is about to replace or
// finish (a store file, the journal, the redo log): a symbolic link or
// anything but a regular file is refused with FileError naming it.
std::optional<std::string> read_own_file_if_exists(const std::filesystem::path& path);

}  // namespace tolven
