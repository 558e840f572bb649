#include "store/atomic_file.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "store/error_text.hpp"
#include "store/file_layer.hpp"

namespace tolven {

void throw_file_error(const std::string& what, const std::filesystem::path& path, int error) {
    throw FileError(file_error_text(what, path, error));
}

AtomicFile::AtomicFile(std::filesystem::path target) : target_(std::move(target)) {
    // A hidden name beside the target (appended piecewise: GCC 12 warns
    // wrongly about "." + std::string).
    std::string name(".");
    name += target_.filename().string();
    name += ".XXXXXX";
    std::string pattern = (target_.parent_path() / name).string();
    fd_ = file_layer().make_temporary(pattern.data());
    if (fd_ < 0) throw_file_error("一時ファイルを作成できません", target_, errno);
    temporary_ = pattern;
    // mkstemp creates the file 0600; store files are ordinary user files.
    fchmod(fd_, 0644);
}

AtomicFile::~AtomicFile() {
    if (fd_ >= 0) file_layer().close(fd_);
    if (!temporary_.empty()) file_layer().unlink(temporary_.c_str());
}

void AtomicFile::write(std::string_view bytes) {
    write_all(fd_, bytes, target_);
}

void AtomicFile::close_checked() {
    int fd = fd_;
    fd_ = -1;
    // A failed close can mean that written data did not reach the file.
    if (file_layer().close(fd) != 0) throw_file_error("書き込めません", target_, errno);
}

void AtomicFile::commit() {
    close_checked();
    if (file_layer().rename(temporary_.c_str(), target_.c_str()) != 0) {
        throw_file_error("置き換えられません", target_, errno);
    }
    temporary_.clear();
}

std::filesystem::path AtomicFile::stage() {
    close_checked();
    return std::exchange(temporary_, {});
}

bool is_temporary_of(std::string_view name, std::string_view target_name) {
    if (name.size() != target_name.size() + 8 || name.front() != '.') return false;
    if (name.substr(1, target_name.size()) != target_name) return false;
    return name[target_name.size() + 1] == '.';
}

void replace_file(const std::filesystem::path& path, std::string_view content) {
    AtomicFile file(path);
    file.write(content);
    file.commit();
}

void write_all(int fd, std::string_view bytes, const std::filesystem::path& path) {
    while (!bytes.empty()) {
        ssize_t n = file_layer().write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            throw_file_error("書き込めません", path, errno);
        }
        // A write that makes no progress would loop for ever.
        if (n == 0) throw_file_error("書き込めません", path, EIO);
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

void write_in_place(const std::filesystem::path& path, std::size_t offset, std::string_view bytes) {
    int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) throw_file_error("開けません", path, errno);
    ssize_t n;
    do {
        n = pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset));
    } while (n < 0 && errno == EINTR);
    int error = errno;
    if (close(fd) != 0 && n >= 0) throw_file_error("書き込めません", path, errno);
    if (n < 0) throw_file_error("書き込めません", path, error);
    if (static_cast<std::size_t>(n) != bytes.size()) throw_file_error("書き込みが途中で終わりました", path, EIO);
}

void create_folders(const std::filesystem::path& folder) {
    if (folder.empty()) return;
    struct stat info {};
    if (stat(folder.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) return;
        throw_file_error("フォルダを作成できません", folder, ENOTDIR);
    }
    if (folder.has_parent_path() && folder.parent_path() != folder) {
        create_folders(folder.parent_path());
    }
    if (file_layer().mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) {
        throw_file_error("フォルダを作成できません", folder, errno);
    }
}

std::optional<std::string> read_file_if_exists(const std::filesystem::path& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return std::nullopt;
        throw_file_error("開けません", path, errno);
    }
    // Read straight into the string, sized by fstat; a file that grows or
    // shrinks meanwhile is read to its end all the same.
    std::string content;
    struct stat info {};
    std::size_t expected = 0;
    if (fstat(fd, &info) == 0 && info.st_size > 0)
        expected = static_cast<std::size_t>(info.st_size);
    content.resize(expected + 1);
    std::size_t filled = 0;
    for (;;) {
        if (filled == content.size()) content.resize(content.size() * 2);
        ssize_t n = read(fd, content.data() + filled, content.size() - filled);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            int error = errno;
            close(fd);
            throw_file_error("読み込めません", path, error);
        }
        filled += static_cast<std::size_t>(n);
    }
    close(fd);
    content.resize(filled);
    return content;
}

std::string read_file(const std::filesystem::path& path) {
    auto content = read_file_if_exists(path);
    if (!content) throw_file_error("開けません", path, ENOENT);
    return std::move(*content);
}

}  // namespace tolven
