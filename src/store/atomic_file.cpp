#include "store/atomic_file.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tolven {
namespace {

[[noreturn]] void fail(const std::string& what, const std::filesystem::path& path, int error) {
    throw FileError(what + " " + path.string() + ": " + std::strerror(error));
}

}  // namespace

AtomicFile::AtomicFile(std::filesystem::path target) : target_(std::move(target)) {
    // A hidden name beside the target (appended piecewise: GCC 12 warns
    // wrongly about "." + std::string).
    std::string name(".");
    name += target_.filename().string();
    name += ".XXXXXX";
    std::string pattern = (target_.parent_path() / name).string();
    fd_ = mkstemp(pattern.data());
    if (fd_ < 0) fail("cannot create a temporary file for", target_, errno);
    temporary_ = pattern;
    // mkstemp creates the file 0600; store files are ordinary user files.
    fchmod(fd_, 0644);
}

AtomicFile::~AtomicFile() {
    if (fd_ >= 0) close(fd_);
    if (!temporary_.empty()) {
        std::error_code ignored;
        std::filesystem::remove(temporary_, ignored);
    }
}

void AtomicFile::write(std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            fail("cannot write", temporary_, errno);
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

void AtomicFile::commit() {
    int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0) fail("cannot write", temporary_, errno);
    if (std::rename(temporary_.c_str(), target_.c_str()) != 0)
        fail("cannot replace", target_, errno);
    temporary_.clear();
}

void replace_file(const std::filesystem::path& path, std::string_view content) {
    AtomicFile file(path);
    file.write(content);
    file.commit();
}

void write_in_place(const std::filesystem::path& path, std::size_t offset, std::string_view bytes) {
    int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) fail("cannot open", path, errno);
    ssize_t n;
    do {
        n = pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset));
    } while (n < 0 && errno == EINTR);
    int error = errno;
    if (close(fd) != 0 && n >= 0) fail("cannot write", path, errno);
    if (n < 0) fail("cannot write", path, error);
    if (static_cast<std::size_t>(n) != bytes.size()) fail("short write to", path, EIO);
}

std::optional<std::string> read_file_if_exists(const std::filesystem::path& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return std::nullopt;
        fail("cannot open", path, errno);
    }
    std::string content;
    struct stat info {};
    if (fstat(fd, &info) == 0 && info.st_size > 0) {
        content.reserve(static_cast<std::size_t>(info.st_size));
    }
    char buffer[65536];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            int error = errno;
            close(fd);
            fail("cannot read", path, error);
        }
        content.append(buffer, static_cast<std::size_t>(n));
    }
    close(fd);
    return content;
}

std::string read_file(const std::filesystem::path& path) {
    auto content = read_file_if_exists(path);
    if (!content) fail("cannot open", path, ENOENT);
    return std::move(*content);
}

}  // namespace tolven
