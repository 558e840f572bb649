#include "store/store_reader.hpp"

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/files.hpp"
#include "platform/utf8_path.hpp"
#include "store/data_store.hpp"
#include "store/lenient.hpp"
#include "store/store_journal.hpp"
#include "store/store_lock.hpp"
#include "store/store_writer.hpp"

namespace fs = std::filesystem;

namespace tolven {
namespace {

std::string damaged_message(const fs::path& file, const std::string& reason) {
    return "保存データのファイルが壊れています：" + path_utf8(file) + "（" + reason + "）";
}

[[noreturn]] void damaged(const fs::path& file, const std::string& reason) {
    throw DamagedStoreFile(file, reason);
}

// What tells one state of the lock file from another: every writer changes
// its first byte (and so its times) when it starts and when it ends.
struct LockStamp {
    bool exists = false;
    platform::FileId id;
    std::uintmax_t size = 0;
    std::int64_t modified = 0;
    int first = -1;
    bool operator==(const LockStamp&) const = default;
};

LockStamp lock_stamp(const fs::path& base) {
    LockStamp s;
    fs::path file = StoreLock::file(base);
    std::error_code error;
    if (!platform::file_id(file.c_str(), s.id)) return s;
    s.exists = true;
    s.size = fs::file_size(file, error);
    platform::modified_time(file.c_str(), s.modified);
    int fd = platform::open_file(file.c_str(), platform::open_read | platform::open_non_blocking, 0);
    if (fd >= 0) {
        unsigned char byte = 0;
        if (platform::read_file(fd, &byte, 1) == 1) s.first = byte;
        platform::close_file(fd);
    }
    return s;
}

std::string read_failure(int error) {
    return std::string("読み込めません：") + std::strerror(error);
}

}  // namespace

DamagedStoreFile::DamagedStoreFile(fs::path file, std::string reason)
    : FileError(damaged_message(file, reason)), file_(std::move(file)), reason_(std::move(reason)) {}

std::optional<std::string> read_store_bytes(const fs::path& file, std::uintmax_t limit) {
    // Looked at before it is opened: opening a FIFO or a device can wait or
    // act, reading one has no end. A symbolic link is not followed: the
    // store's files and the user's are the files in the base folder, never
    // something a link points to elsewhere.
    const char* const link = "シンボリックリンクです（リンク先は読みません）";
    std::error_code error;
    fs::file_status status = fs::symlink_status(file, error);
    if (error || !fs::exists(status)) {
        if (status.type() == fs::file_type::not_found) return std::nullopt;
        throw_file_error("開けません", file, error.value());
    }
    if (fs::is_symlink(status)) damaged(file, link);
    if (!fs::is_regular_file(status)) {
        damaged(file, fs::is_directory(status) ? "ファイルではなくフォルダです" : "通常のファイルではありません");
    }
    int fd = platform::open_file(
        file.c_str(), platform::open_read | platform::open_non_blocking | platform::open_no_follow, 0);
    if (fd < 0) {
        if (errno == ENOENT) return std::nullopt;
        if (errno == ELOOP) damaged(file, link);
        throw_file_error("開けません", file, errno);
    }
    // The path may have been replaced between the two looks.
    std::int64_t size = platform::is_regular_file(fd) ? platform::file_size(fd) : -1;
    if (size < 0) {
        platform::close_file(fd);
        damaged(file, "通常のファイルではありません");
    }
    auto too_large = [&] {
        platform::close_file(fd);
        damaged(file, "保存データのファイルとしては大きすぎます（" + std::to_string(size) + "バイト）");
    };
    if (static_cast<std::uintmax_t>(size) > limit) too_large();
    // One byte more than the limit tells a file that grew past it.
    std::string content(static_cast<std::size_t>(size) + 1, '\0');
    std::size_t filled = 0;
    for (;;) {
        if (filled == content.size()) {
            if (content.size() > limit) too_large();
            content.resize(std::min<std::uintmax_t>(content.size() * 2, limit + 1));
        }
        ssize_t n = platform::read_file(fd, content.data() + filled, content.size() - filled);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            int failure = errno;
            platform::close_file(fd);
            damaged(file, read_failure(failure));
        }
        filled += static_cast<std::size_t>(n);
    }
    platform::close_file(fd);
    if (filled > limit) damaged(file, "保存データのファイルとしては大きすぎます");
    content.resize(filled);
    return content;
}

std::vector<std::string> parse_store_records(std::string_view content, RecordKind kind,
                                             const fs::path& file) {
    if (content.empty()) damaged(file, "空のファイルです");
    const std::size_t line = record_size(kind) - 2;
    std::vector<std::string> records;
    std::size_t at = 0;
    for (int n = 1; at < content.size(); ++n) {
        std::string row = std::to_string(n) + "行目";
        std::size_t end = find_line_break(content, at);
        if (end == std::string_view::npos) {
            damaged(file, row + "が途中で切れています（" + std::to_string(content.size() - at) +
                              "/" + std::to_string(line) + "バイトで改行がありません）");
        }
        if (end - at != line || content[end] != '\r' || end + 1 >= content.size() ||
            content[end + 1] != '\n') {
            // A line break inside a record shows as a line too short.
            bool inner_break = end - at < line && at + line + 2 <= content.size() &&
                               content.substr(at + line, 2) == "\r\n";
            if (inner_break) damaged(file, row + "のレコードに改行文字が含まれています");
            if (end - at == line) damaged(file, row + "の改行がCR LFではありません");
            damaged(file, row + "のレコード長が不正です（" + std::to_string(end - at) + "/" +
                              std::to_string(line) + "バイト）");
        }
        std::string record(content.substr(at, line + 2));
        records.push_back(std::move(record));
        at = end + 2;
    }
    return records;
}

bool commit_unfinished(const fs::path& base) {
    std::error_code error;
    return fs::exists(journal_file(base), error) || fs::exists(RedoLog::file(base), error) ||
           fs::is_symlink(journal_file(base), error) || fs::is_symlink(RedoLog::file(base), error);
}

void settle_store(const fs::path& base) {
    if (!commit_unfinished(base)) return;
    try {
        // The writer's start finishes what a killed writer left: it rolls the
        // journal forward and replays the redo log, under the lock.
        DataStore store(base);
        StoreWriter finisher(store);
    } catch (const StoreBusy&) {
        throw UnfinishedImport(
            "データの取込みが完了していません（" + path_utf8(base) +
            " で取込みまたは成績更新が実行中です）。取込みが終わってから、もう一度開いてください。");
    } catch (const FileError& e) {
        throw UnfinishedImport("データの取込みが中断されたままです（" + std::string(e.what()) +
                               "）。もう一度データ取込みを実行してください。");
    }
    if (commit_unfinished(base)) {
        throw UnfinishedImport("データの取込みが中断されたままです（" + path_utf8(base) +
                               " の取込み記録を処理できませんでした）。もう一度データ取込みを実行してください。");
    }
}

std::optional<std::string> damaged_import_notice(const fs::path& base) {
    std::vector<fs::path> records = damaged_records(base);
    if (records.empty()) return std::nullopt;
    return "中断されたデータ取込みの記録「" + path_utf8(records.front()) +
           "」を最後まで確かめられませんでした。その取込みのデータが一部欠けている可能性があります。"
           "データ取込みをもう一度実行してください。";
}

FolderLock::FolderLock(const fs::path& folder) : fd_(platform::lock_folder(folder.c_str())) {}

FolderLock::~FolderLock() {
    if (fd_ >= 0) platform::close_file(fd_);
}

void read_settled(const fs::path& base, const std::function<void()>& read) {
    constexpr int kAttempts = 3;
    for (int attempt = 1;; ++attempt) {
        settle_store(base);
        LockStamp before = lock_stamp(base);
        read();
        if (!commit_unfinished(base) && lock_stamp(base) == before) return;
        if (attempt == kAttempts) {
            throw UnfinishedImport(
                "データの取込みが完了していません（" + path_utf8(base) +
                " で読み込み中に取込みが行われました）。取込みが終わってから、もう一度開いてください。");
        }
    }
}

}  // namespace tolven
