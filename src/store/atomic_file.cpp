#include "store/atomic_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace tolven {
namespace {

[[noreturn]] void fail(const std::string& what, const std::filesystem::path& path, int error) {
    throw FileError(what + " " + path.string() + ": " + std::strerror(error));
}

}  // namespace

AtomicFile::AtomicFile(std::filesystem::path target) : target_(std::move(target)) {
    std::string pattern =
        (target_.parent_path() / ("." + target_.filename().string() + ".XXXXXX")).string();
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
    if (std::rename(temporary_.c_str(), target_.c_str()) != 0) fail("cannot replace", target_, errno);
    temporary_.clear();
}

void replace_file(const std::filesystem::path& path, std::string_view content) {
    AtomicFile file(path);
    file.write(content);
    file.commit();
}

std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) fail("cannot open", path, errno);
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) fail("cannot read", path, errno);
    return std::move(buffer).str();
}

}  // namespace tolven
