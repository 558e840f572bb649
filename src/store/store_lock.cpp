#include "store/store_lock.hpp"

#include <cerrno>
#include <ctime>

#include "platform/files.hpp"
#include "platform/system.hpp"
#include "platform/utf8_path.hpp"
#include "store/error_text.hpp"
#include "store/file_layer.hpp"

namespace tolven {
namespace {

std::string& program_name() {
#ifdef __GLIBC__
    static std::string name = program_invocation_short_name;
#else
    // The program file's name without ".exe", as glibc gives it.
    static std::string name = [] {
        std::optional<std::filesystem::path> file = platform::executable_file();
        return file ? path_utf8(file->stem()) : std::string("tolven");
    }();
#endif
    return name;
}

// "pid=…\nhost=…\nstarted=YYYY/MM/DD hh:mm:ss\nprogram=…\n"
std::string holder_text() {
    std::string host = platform::host_name();
    std::time_t now = std::time(nullptr);
    std::tm local{};
    platform::local_time(now, local);
    char started[32];
    std::strftime(started, sizeof started, "%Y/%m/%d %H:%M:%S", &local);
    return "pid=" + std::to_string(platform::process_id()) + "\nhost=" + host + "\nstarted=" + started +
           "\nprogram=" + program_name() + "\n";
}

std::string field(const std::string& text, const std::string& key) {
    std::size_t at = text.find("\n" + key + "=");
    if (at == std::string::npos) return "?";
    at += key.size() + 2;
    std::size_t end = text.find('\n', at);
    std::string value = text.substr(at, end == std::string::npos ? end : end - at);
    // Only what a person can read goes into the message.
    for (char& c : value) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    }
    return value.empty() ? "?" : value.substr(0, 200);
}

std::string read_holder(int fd) {
    std::string text(1024, '\0');
    ssize_t n = platform::read_at(fd, text.data(), text.size(), 0);
    text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return text;
}

}  // namespace

void StoreLock::set_program_name(std::string name) {
    program_name() = std::move(name);
}

StoreLock::StoreLock(const std::filesystem::path& base) : path_(file(base)) {
    // Never through a link: the lock file is written.
    fd_ = platform::open_file(path_.c_str(),
                              platform::open_read | platform::open_write | platform::open_create |
                                  platform::open_no_follow | platform::open_non_blocking,
                              0644);
    if (fd_ < 0) {
        int error = errno;
        if (error == ELOOP) refuse_link(path_);
        throw_file_error("ロックファイルを開けません", path_, error);
    }
    if (!platform::is_regular_file(fd_)) {
        platform::close_file(fd_);
        fd_ = -1;
        throw FileError("ロックファイルが通常のファイルではありません：" + path_utf8(path_));
    }
    int r = platform::try_lock_exclusive(fd_);
    if (r != 0) {
        int error = errno;
        std::string holder = read_holder(fd_);
        platform::close_file(fd_);
        fd_ = -1;
        if (r == 1) {
            throw StoreBusy("別のデータ取込みか成績更新が実行中です（フォルダ: " + path_utf8(base) +
                            "、プロセスID: " + field(holder, "pid") + "、コンピュータ: " +
                            field(holder, "host") + "、開始: " + field(holder, "started") +
                            "、プログラム: " + field(holder, "program") +
                            "）。終わるまで待ってください。ロックファイルは削除しないでください。");
        }
        throw_file_error("ロックできません", path_, error);
    }
    char state = 0;
    previous_unfinished_ = !(platform::read_at(fd_, &state, 1, 0) == 1 && state == '0');
    holder_ = holder_text();
    unfinished_ = !previous_unfinished_;  // so that the state is written now
    try {
        set_unfinished(previous_unfinished_);
    } catch (...) {
        // Not constructed: the lock goes with the descriptor.
        platform::close_file(fd_);
        fd_ = -1;
        throw;
    }
}

StoreLock::~StoreLock() {
    // Closing the descriptor releases the lock.
    if (fd_ >= 0) platform::close_file(fd_);
}

void StoreLock::set_unfinished(bool unfinished) {
    if (unfinished == unfinished_) return;
    std::string text(1, unfinished ? '1' : '0');
    text += "\n" + holder_;
    if (platform::write_at(fd_, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size()) ||
        platform::truncate_file(fd_, text.size()) != 0) {
        throw_file_error("書き込めません", path_, errno);
    }
    // The state is what the next writer relies on after a power cut too.
    if (file_layer().sync(fd_) != 0) throw_file_error("書き込めません", path_, errno);
    unfinished_ = unfinished;
}

void StoreLock::check_held() const {
    platform::FileId locked, named;
    bool same = platform::file_id(fd_, locked) && platform::file_id(path_.c_str(), named) &&
                locked == named;
    if (!same) {
        throw FileError(
            "ロックファイル " + path_utf8(path_) +
            " が実行中に削除されたか置き換えられました。別の取込みが同じフォルダに書いて"
            "いるおそれがあるため、ここで中止します。データ取込みをやり直してください。");
    }
}

}  // namespace tolven
