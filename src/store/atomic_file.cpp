#include "store/atomic_file.hpp"

#include <cerrno>
#include <utility>

#include "platform/files.hpp"
#include "platform/utf8_path.hpp"
#include "store/error_text.hpp"
#include "store/file_layer.hpp"

namespace tolven {

void throw_file_error(const std::string& what, const std::filesystem::path& path, int error) {
    throw FileError(file_error_text(what, path, error));
}

void refuse_link(const std::filesystem::path& path) {
    if (platform::file_kind(path.c_str()) == platform::FileKind::link) {
        throw FileError("シンボリックリンクのため、書き込みも読み込みもしません：" + path_utf8(path));
    }
}

void sync_folder(const std::filesystem::path& folder) {
    const std::filesystem::path& name = folder.empty() ? std::filesystem::path(".") : folder;
    if (file_layer().sync_folder(name.c_str()) != 0) {
        throw_file_error("フォルダをディスクに書き出せません", name, errno);
    }
}

AtomicFile::AtomicFile(std::filesystem::path target) : target_(std::move(target)) {
    refuse_link(target_);
    // A hidden name beside the target (appended piecewise: GCC 12 warns
    // wrongly about "." + std::string).
    std::filesystem::path::string_type name(1, '.');
    name += target_.filename().native();
    for (char c : std::string_view(".XXXXXX")) name += static_cast<platform::PathChar>(c);
    auto pattern = (target_.parent_path() / name).native();
    fd_ = file_layer().make_temporary(pattern.data());
    if (fd_ < 0) throw_file_error("一時ファイルを作成できません", target_, errno);
    temporary_ = pattern;
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
    // The content reaches the disk before the file can count: renamed over
    // its target, or named in a journal.
    if (file_layer().sync(fd) != 0) {
        int error = errno;
        file_layer().close(fd);
        throw_file_error("書き込めません", target_, error);
    }
    // A failed close can mean that written data did not reach the file.
    if (file_layer().close(fd) != 0) throw_file_error("書き込めません", target_, errno);
}

void AtomicFile::commit() {
    close_checked();
    if (file_layer().rename(temporary_.c_str(), target_.c_str()) != 0) {
        throw_file_error("置き換えられません", target_, errno);
    }
    temporary_.clear();
    sync_folder(target_.parent_path());
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
    int fd = platform::open_file(path.c_str(), platform::open_write | platform::open_no_follow, 0);
    if (fd < 0) {
        if (errno == ELOOP) refuse_link(path);
        throw_file_error("開けません", path, errno);
    }
    ssize_t n;
    do {
        n = platform::write_at(fd, bytes.data(), bytes.size(), offset);
    } while (n < 0 && errno == EINTR);
    if (n >= 0 && file_layer().sync(fd) != 0) n = -1;
    int error = errno;
    if (platform::close_file(fd) != 0 && n >= 0) throw_file_error("書き込めません", path, errno);
    if (n < 0) throw_file_error("書き込めません", path, error);
    if (static_cast<std::size_t>(n) != bytes.size()) throw_file_error("書き込みが途中で終わりました", path, EIO);
}

void create_folders(const std::filesystem::path& folder) {
    if (folder.empty()) return;
    std::error_code error;
    auto status = std::filesystem::status(folder, error);
    if (!error && std::filesystem::exists(status)) {
        if (std::filesystem::is_directory(status)) return;
        throw_file_error("フォルダを作成できません", folder, ENOTDIR);
    }
    if (folder.has_parent_path() && folder.parent_path() != folder) {
        create_folders(folder.parent_path());
    }
    if (file_layer().mkdir(folder.c_str(), 0755) != 0) {
        if (errno == EEXIST) return;
        throw_file_error("フォルダを作成できません", folder, errno);
    }
    // The new folder's name is on disk before any file in it is reported
    // written: flushing the files and their own folder does not flush the
    // entry in the parent.
    sync_folder(folder.parent_path());
}

namespace {

std::optional<std::string> read_whole(const std::filesystem::path& path, bool own) {
    // Opened without waiting, and used only when it is a regular file: a
    // FIFO or a device put where a file should be would otherwise hold the
    // program forever (or feed it without end).
    int flags = platform::open_read | platform::open_non_blocking;
    if (own) flags |= platform::open_no_follow;
    int fd = platform::open_file(path.c_str(), flags, 0);
    if (fd < 0) {
        if (errno == ENOENT) return std::nullopt;
        if (own && errno == ELOOP) refuse_link(path);
        throw_file_error("開けません", path, errno);
    }
    if (!platform::is_regular_file(fd)) {
        platform::close_file(fd);
        if (platform::file_kind(path.c_str()) == platform::FileKind::folder) {
            throw_file_error("読み込めません", path, EISDIR);
        }
        throw FileError("通常のファイルではないため使いません：" + path_utf8(path));
    }
    // Read straight into the string, sized by fstat; a file that grows or
    // shrinks meanwhile is read to its end all the same.
    std::string content;
    std::size_t expected = 0;
    if (std::int64_t size = platform::file_size(fd); size > 0)
        expected = static_cast<std::size_t>(size);
    content.resize(expected + 1);
    std::size_t filled = 0;
    for (;;) {
        if (filled == content.size()) content.resize(content.size() * 2);
        ssize_t n = platform::read_file(fd, content.data() + filled, content.size() - filled);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            int error = errno;
            platform::close_file(fd);
            throw_file_error("読み込めません", path, error);
        }
        filled += static_cast<std::size_t>(n);
    }
    platform::close_file(fd);
    content.resize(filled);
    return content;
}

}  // namespace

std::optional<std::string> read_file_if_exists(const std::filesystem::path& path) {
    return read_whole(path, false);
}

std::optional<std::string> read_own_file_if_exists(const std::filesystem::path& path) {
    return read_whole(path, true);
}

std::string read_file(const std::filesystem::path& path) {
    auto content = read_file_if_exists(path);
    if (!content) throw_file_error("開けません", path, ENOENT);
    return std::move(*content);
}

}  // namespace tolven
