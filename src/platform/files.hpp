#pragma once

// The operating system's file calls, one POSIX and one Windows side behind the
// same functions. Nothing else in the core includes a system header.
//
// Every function behaves like the POSIX call it is named after: a descriptor
// or 0 on success, -1 with errno on failure. Descriptors are C runtime
// descriptors on both sides. Paths are the platform's native strings
// (std::filesystem::path::c_str()): bytes on POSIX, UTF-16 on Windows.

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>
#include <sys/types.h>

#ifdef _MSC_VER
// MSVC's C runtime defines neither; POSIX's and MinGW's <sys/types.h> do.
using ssize_t = std::ptrdiff_t;
using mode_t = unsigned short;
#endif

namespace tolven::platform {

using PathChar = std::filesystem::path::value_type;

// Flags of open_file(); the descriptor is never inherited by a child process.
enum OpenFlags : int {
    open_read = 0x01,
    open_write = 0x02,
    open_create = 0x04,
    open_truncate = 0x08,
    open_append = 0x10,
    open_exclusive = 0x20,  // with open_create: fails with EEXIST when the file exists
    // Fails with ELOOP when the path's last part is a symbolic link (on
    // Windows any reparse point), so a planted link can never redirect a write.
    open_no_follow = 0x40,
    // Never waits for a writer at the other end of a FIFO (POSIX only: Windows
    // has no such files).
    open_non_blocking = 0x80,
};

int open_file(const PathChar* path, int flags, mode_t mode);
// mkstemp: pattern ends in "XXXXXX", which is replaced in place; the file is
// created for reading and writing with mode 0644.
int make_temporary(PathChar* pattern);
ssize_t write_file(int fd, const void* data, std::size_t size);
ssize_t read_file(int fd, void* data, std::size_t size);
// At an offset, without moving the file position.
ssize_t read_at(int fd, void* data, std::size_t size, std::uint64_t offset);
ssize_t write_at(int fd, const void* data, std::size_t size, std::uint64_t offset);
int close_file(int fd);
// Renames from over to, replacing an existing to in one step. On Windows a
// target some reader holds open is retried for a moment.
int replace_file(const PathChar* from, const PathChar* to);
int remove_file(const PathChar* path);
int make_folder(const PathChar* path, mode_t mode);

// Writes the file's data through to the disk (fsync).
int sync_file(int fd);
// Writes a folder's entries (a rename or a new file in it) through to the
// disk. Windows keeps no such state apart from the files: 0 there.
int sync_folder(const PathChar* path);

enum class FileKind { missing, regular, folder, link, other };
// What is at path, the last part not followed when it is a link (lstat);
// missing also when it cannot be examined.
FileKind file_kind(const PathChar* path);
// The size of an open file; -1 with errno when unknown.
std::int64_t file_size(int fd);
// True when the open file is a regular file (not a FIFO, device or folder).
bool is_regular_file(int fd);
// What tells two files apart on one machine: device and file number (inode;
// volume serial and file index on Windows).
struct FileId {
    std::uint64_t device = 0;
    std::uint64_t file = 0;
    bool operator==(const FileId&) const = default;
};
// The id of an open file, or of what is at path (a link not followed); false
// with errno when it cannot be read.
bool file_id(int fd, FileId& out);
bool file_id(const PathChar* path, FileId& out);
// When the file at path was last modified, in nanoseconds since the epoch, as
// finely as the system keeps it (std::filesystem's last_write_time is whole
// seconds in MinGW's library); false with errno when it cannot be read.
bool modified_time(const PathChar* path, std::int64_t& out);
// Cuts or extends an open file to size bytes (ftruncate).
int truncate_file(int fd, std::uint64_t size);
// True when this process may create files in the folder.
bool folder_writable(const PathChar* path);

// The store lock: an advisory lock on the whole file, released when the
// descriptor is closed or the process ends. 0 when taken, 1 when another
// holder has it, -1 with errno on another failure.
int try_lock_exclusive(int fd);

// Waits for an exclusive advisory lock on a folder and returns the
// descriptor that holds it (closing it releases the lock); -1 with errno when
// the folder cannot be locked (always on Windows, which locks no folders).
int lock_folder(const PathChar* path);
// The local time of t (localtime_r); false when it cannot be converted.
bool local_time(std::time_t t, std::tm& out);

// A write beyond the file-size limit fails with an error instead of ending
// the process (SIGXFSZ, where the system has it).
void ignore_file_size_signal();

// The text of an errno value, as strerror.
std::string error_text(int error);

}  // namespace tolven::platform
