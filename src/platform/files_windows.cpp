#include "platform/files.hpp"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <string>
#include <vector>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "platform/windows_error.hpp"

namespace tolven::platform {
namespace {

HANDLE handle_of(int fd) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

// A handle as a C runtime descriptor; the handle is closed on failure.
int descriptor_of(HANDLE handle, int flags) {
    int crt = _O_BINARY;
    if (!(flags & open_write)) crt |= _O_RDONLY;
    if (flags & open_append) crt |= _O_APPEND;
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), crt);
    if (fd < 0) {
        CloseHandle(handle);
        errno = EMFILE;
    }
    return fd;
}

DWORD chunk(std::size_t size) {
    return size > static_cast<std::size_t>(INT_MAX) ? static_cast<DWORD>(INT_MAX)
                                                    : static_cast<DWORD>(size);
}

// True when a folder of the path is a file: Windows says "path not found"
// where POSIX says "not a folder".
bool under_a_file(const PathChar* path) {
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    for (; !folder.empty() && folder != folder.root_path(); folder = folder.parent_path()) {
        DWORD kind = GetFileAttributesW(folder.c_str());
        if (kind != INVALID_FILE_ATTRIBUTES) return !(kind & FILE_ATTRIBUTE_DIRECTORY);
    }
    return false;
}

}  // namespace

int open_file(const PathChar* path, int flags, mode_t /*mode*/) {
    DWORD access = 0;
    if (flags & open_read || !(flags & open_write)) access |= GENERIC_READ;
    if (flags & open_write) access |= GENERIC_WRITE;
    bool no_follow = (flags & open_no_follow) != 0;
    // Truncation waits until the file is known not to be a link.
    bool truncate_later = no_follow && (flags & open_truncate);
    DWORD disposition = OPEN_EXISTING;
    if ((flags & open_create) && (flags & open_exclusive)) {
        disposition = CREATE_NEW;
    } else if ((flags & open_create) && (flags & open_truncate) && !truncate_later) {
        disposition = CREATE_ALWAYS;
    } else if (flags & open_create) {
        disposition = OPEN_ALWAYS;
    } else if ((flags & open_truncate) && !truncate_later) {
        disposition = TRUNCATE_EXISTING;
    }
    // Readers and writers share delete access, so a file may be replaced or
    // removed while another one reads it, as on POSIX.
    SECURITY_ATTRIBUTES security{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
    DWORD attributes = FILE_ATTRIBUTE_NORMAL | (no_follow ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    HANDLE h = CreateFileW(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           &security, disposition, attributes, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        // Windows refuses to open a folder as a file with "access denied";
        // POSIX says what it is.
        DWORD kind = GetFileAttributesW(path);
        if (error == ERROR_ACCESS_DENIED && kind != INVALID_FILE_ATTRIBUTES &&
            (kind & FILE_ATTRIBUTE_DIRECTORY)) {
            errno = EISDIR;
            return -1;
        }
        errno = error == ERROR_PATH_NOT_FOUND && under_a_file(path) ? ENOTDIR : errno_of(error);
        return -1;
    }
    if (no_follow) {
        BY_HANDLE_FILE_INFORMATION info{};
        if (!GetFileInformationByHandle(h, &info)) {
            int r = fail_with_last_error();
            CloseHandle(h);
            return r;
        }
        if (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) {
            CloseHandle(h);
            errno = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? ELOOP : EISDIR;
            return -1;
        }
        if (truncate_later && !SetEndOfFile(h)) {
            int r = fail_with_last_error();
            CloseHandle(h);
            return r;
        }
    }
    return descriptor_of(h, flags);
}

int make_temporary(PathChar* pattern) {
    static std::atomic<unsigned long> counter{0};
    std::size_t length = std::wcslen(pattern);
    if (length < 6 || std::wcscmp(pattern + length - 6, L"XXXXXX") != 0) {
        errno = EINVAL;
        return -1;
    }
    static constexpr wchar_t kLetters[] = L"abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        unsigned long long seed = (static_cast<unsigned long long>(GetCurrentProcessId()) << 32) ^
                                  GetTickCount() ^ (++counter * 0x9E3779B97F4A7C15ULL);
        for (std::size_t i = length - 6; i < length; ++i) {
            seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
            pattern[i] = kLetters[(seed >> 33) % 36];
        }
        int fd = open_file(pattern, open_read | open_write | open_create | open_exclusive, 0644);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

ssize_t write_file(int fd, const void* data, std::size_t size) {
    return _write(fd, data, static_cast<unsigned>(chunk(size)));
}

ssize_t read_file(int fd, void* data, std::size_t size) {
    return _read(fd, data, static_cast<unsigned>(chunk(size)));
}

// ReadFile and WriteFile with an offset move the file position of a
// synchronous handle; callers do not rely on it either way.
ssize_t read_at(int fd, void* data, std::size_t size, std::uint64_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD done = 0;
    if (!ReadFile(handle_of(fd), data, chunk(size), &done, &at)) {
        if (GetLastError() == ERROR_HANDLE_EOF) return 0;
        return fail_with_last_error();
    }
    return static_cast<ssize_t>(done);
}

ssize_t write_at(int fd, const void* data, std::size_t size, std::uint64_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD done = 0;
    if (!WriteFile(handle_of(fd), data, chunk(size), &done, &at)) return fail_with_last_error();
    return static_cast<ssize_t>(done);
}

int close_file(int fd) {
    return _close(fd);
}

namespace {

// FileRenameInfoEx and its flags (Windows 10 1709 and later); MinGW's headers
// declare them only for newer targets than this build's.
constexpr auto kFileRenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);
constexpr DWORD kRenameReplaceIfExists = 0x1;
constexpr DWORD kRenamePosixSemantics = 0x2;

std::wstring full_path(const wchar_t* path) {
    DWORD size = GetFullPathNameW(path, 0, nullptr, nullptr);
    if (size == 0) return {};
    std::wstring full(size, L'\0');
    DWORD length = GetFullPathNameW(path, size, full.data(), nullptr);
    if (length == 0 || length >= size) return {};
    full.resize(length);
    return full;
}

// The rename POSIX does: the name moves to the new file in one step while
// readers of the old one go on reading it. False, with GetLastError(), where
// the system or its file system has no such rename (older Windows, FAT,
// Wine 8) or it fails.
bool rename_posix(const wchar_t* from, const wchar_t* to) {
    std::wstring target = full_path(to);
    if (target.empty()) return false;
    HANDLE h = CreateFileW(from, DELETE | SYNCHRONIZE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    std::size_t name_bytes = target.size() * sizeof(wchar_t);
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + name_bytes);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    // The flags share their place with the older ReplaceIfExists.
    const DWORD flags = kRenameReplaceIfExists | kRenamePosixSemantics;
    std::memcpy(buffer.data(), &flags, sizeof flags);
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(name_bytes);
    std::memcpy(info->FileName, target.data(), name_bytes);
    BOOL ok = SetFileInformationByHandle(h, kFileRenameInfoEx, info,
                                         static_cast<DWORD>(buffer.size()));
    DWORD error = GetLastError();
    CloseHandle(h);
    SetLastError(error);
    return ok != FALSE;
}

bool held_by_another(DWORD error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ||
           error == ERROR_LOCK_VIOLATION;
}

// Where a POSIX rename is missing, a target that a reader holds open (sharing
// delete access, as TOLVEN's readers do) cannot be replaced, but it can be
// renamed: it moves aside to a hidden name beside it, the new file takes the
// name, and the old one is deleted, which Windows completes when the last
// reader closes it. The name is missing for the moment between the two
// renames; a failed second rename puts the old file back. ERROR_SUCCESS when
// replaced, else the error of the step that failed.
DWORD replace_moving_aside(const wchar_t* from, const wchar_t* to) {
    DWORD attributes = GetFileAttributesW(to);
    if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError();
    // A folder or a link is never moved aside.
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return ERROR_DIRECTORY;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return ERROR_ACCESS_DENIED;
    std::filesystem::path target(to);
    static std::atomic<unsigned long> counter{0};
    std::wstring aside;
    for (int attempt = 0;; ++attempt) {
        std::wstring name = L"." + target.filename().native() + L".old";
        name += std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
        aside = (target.parent_path() / name).native();
        if (MoveFileExW(to, aside.c_str(), 0)) break;
        DWORD error = GetLastError();
        if ((error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) || attempt >= 100) {
            return error;
        }
    }
    if (!MoveFileExW(from, to, 0)) {
        DWORD error = GetLastError();
        MoveFileExW(aside.c_str(), to, 0);
        return error;
    }
    // Left behind only if it cannot be deleted; a hidden name either way.
    DeleteFileW(aside.c_str());
    return ERROR_SUCCESS;
}

}  // namespace

int replace_file(const PathChar* from, const PathChar* to) {
    if (rename_posix(from, to)) return 0;
    // A reader that opened the target without sharing delete access (the C
    // runtime's fopen does not share it) blocks every rename until it closes
    // the file; such reads are short, so the replace is tried again for two
    // seconds.
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING)) return 0;
        DWORD error = GetLastError();
        if (held_by_another(error)) {
            error = replace_moving_aside(from, to);
            if (error == ERROR_SUCCESS) return 0;
        }
        if (!held_by_another(error) || attempt >= 40) {
            errno = errno_of(error);
            return -1;
        }
        Sleep(50);
    }
}

int remove_file(const PathChar* path) {
    return DeleteFileW(path) ? 0 : fail_with_last_error();
}

int make_folder(const PathChar* path, mode_t /*mode*/) {
    return CreateDirectoryW(path, nullptr) ? 0 : fail_with_last_error();
}

int sync_file(int fd) {
    return FlushFileBuffers(handle_of(fd)) ? 0 : fail_with_last_error();
}

int sync_folder(const PathChar* /*path*/) {
    return 0;
}

FileKind file_kind(const PathChar* path) {
    DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return FileKind::missing;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return FileKind::link;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return FileKind::folder;
    if (attributes & FILE_ATTRIBUTE_DEVICE) return FileKind::other;
    return FileKind::regular;
}

bool modified_time(const PathChar* path, std::int64_t& out) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data)) {
        fail_with_last_error();
        return false;
    }
    // 100 ns units since 1601-01-01.
    std::int64_t ticks = (static_cast<std::int64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                         data.ftLastWriteTime.dwLowDateTime;
    out = (ticks - 116444736000000000LL) * 100;
    return true;
}

std::int64_t file_size(int fd) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handle_of(fd), &size)) return fail_with_last_error();
    return static_cast<std::int64_t>(size.QuadPart);
}

bool is_regular_file(int fd) {
    HANDLE h = handle_of(fd);
    if (h == INVALID_HANDLE_VALUE || GetFileType(h) != FILE_TYPE_DISK) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    return GetFileInformationByHandle(h, &info) &&
           !(info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
}

namespace {

bool id_of_handle(HANDLE h, FileId& out) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(h, &info)) {
        fail_with_last_error();
        return false;
    }
    out = {info.dwVolumeSerialNumber,
           (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
    return true;
}

}  // namespace

bool file_id(int fd, FileId& out) {
    HANDLE h = handle_of(fd);
    if (h == INVALID_HANDLE_VALUE) {
        errno = EBADF;
        return false;
    }
    return id_of_handle(h, out);
}

bool file_id(const PathChar* path, FileId& out) {
    HANDLE h = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        fail_with_last_error();
        return false;
    }
    bool ok = id_of_handle(h, out);
    CloseHandle(h);
    return ok;
}

int truncate_file(int fd, std::uint64_t size) {
    errno_t error = _chsize_s(fd, static_cast<long long>(size));
    if (error == 0) return 0;
    errno = error;
    return -1;
}

bool folder_writable(const PathChar* path) {
    // Folder attributes say nothing about the right to create files in it
    // (Program Files is not marked read-only): create one and let it go.
    std::wstring probe(path);
    if (!probe.empty() && probe.back() != L'\\' && probe.back() != L'/') probe += L'\\';
    probe += L".tolven-write-test-" + std::to_wstring(GetCurrentProcessId());
    HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
}

int try_lock_exclusive(int fd) {
    // Windows locks are mandatory for the bytes they cover, so the lock is
    // taken on one byte far past the end: the file's content stays readable
    // by anyone, and the lock still excludes every other holder.
    OVERLAPPED at{};
    at.Offset = 0;
    at.OffsetHigh = 0x7FFFFFFF;
    if (LockFileEx(handle_of(fd), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                   &at)) {
        return 0;
    }
    DWORD error = GetLastError();
    if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) return 1;
    errno = errno_of(error);
    return -1;
}

int lock_folder(const PathChar*) {
    errno = ENOSYS;
    return -1;
}

bool local_time(std::time_t t, std::tm& out) {
    return localtime_s(&out, &t) == 0;
}

void ignore_file_size_signal() {
    // Windows has no file-size signal: a write beyond a limit fails.
}

std::string error_text(int error) {
    return std::strerror(error);
}

}  // namespace tolven::platform
