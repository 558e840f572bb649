#include "jvlink/feed_link.hpp"

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <vector>

#include "platform/files.hpp"
#include "platform/utf8_path.hpp"
#include "store/atomic_file.hpp"
#include "store/cp932.hpp"
#include "store/data_store.hpp"
#include "store/error_text.hpp"

namespace fs = std::filesystem;

namespace tolven {
namespace {

// The code of every failure that is not the caller's: the feed folder or the
// cache cannot be used.
constexpr int kFolderError = jv::kInternalError;

bool all_digits(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool has_txt_extension(const fs::path& p) {
    return p.extension() == ".txt";
}

// A path and a cause for a message (CP932).
std::string shown(const fs::path& path) {
    return cp932::from_utf8(path_utf8(path));
}
std::string cause(const std::error_code& error) {
    return " (" + cp932::from_utf8(error_reason(error)) + ")";
}

// Why a folder cannot be listed, or nullopt when it can. `what` names it
// ("フィードフォルダ"); a missing folder is a problem only when required.
std::optional<std::string> folder_problem(const fs::path& folder, const char* what, bool required) {
    std::error_code error;
    fs::file_status status = fs::status(folder, error);
    if (status.type() == fs::file_type::not_found) {
        if (!required) return std::nullopt;
        return sj(what) + sj("が見つかりません:") + shown(folder);
    }
    if (error) return sj(what) + sj("を読み取れません:") + shown(folder) + cause(error);
    if (!fs::is_directory(status))
        return sj(what) + sj("がフォルダではありません:") + shown(folder);
    return std::nullopt;
}

// Files of a folder whose names begin with `digits` digits and end in .txt,
// in name order. error reports a folder that cannot be listed; an entry that
// cannot be examined (a dangling link) is passed over.
std::vector<fs::path> feed_files(const fs::path& folder, std::size_t digits,
                                 std::error_code& error) {
    std::vector<fs::path> files;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code entry_error;
        if (!it->is_regular_file(entry_error)) continue;
        std::string name = path_utf8(it->path().filename());
        if (name.size() < digits + 4 || !has_txt_extension(it->path())) continue;
        if (!all_digits(std::string_view(name).substr(0, digits))) continue;
        files.push_back(it->path());
    }
    std::sort(files.begin(), files.end(),
              [](const fs::path& a, const fs::path& b) { return a.filename() < b.filename(); });
    return files;
}

// A copy created new at `to` ("x": it fails rather than open anything that
// is there, a symbolic link included).
void copy_with_file_system(const fs::path& from, const fs::path& to, std::error_code& error) {
    error.clear();
    if (fs::is_symlink(fs::symlink_status(to, error))) {
        error = std::make_error_code(std::errc::too_many_symbolic_link_levels);
        return;
    }
    fs::remove(to, error);  // a copy left cut off by a kill
    if (error) return;
    namespace os = platform;
    int in = os::open_file(from.c_str(), os::open_read, 0);
    if (in < 0) {
        error = std::error_code(errno, std::generic_category());
        return;
    }
    int out = os::open_file(to.c_str(),
                            os::open_write | os::open_create | os::open_exclusive |
                                os::open_no_follow,
                            0644);
    if (out < 0) {
        error = std::error_code(errno, std::generic_category());
        os::close_file(in);
        return;
    }
    std::vector<char> buffer(std::size_t{1} << 20);
    for (;;) {
        ssize_t n = os::read_file(in, buffer.data(), buffer.size());
        if (n < 0) {
            error = std::error_code(errno ? errno : EIO, std::generic_category());
            break;
        }
        if (n == 0) break;
        const char* at = buffer.data();
        for (auto left = static_cast<std::size_t>(n); left > 0 && !error;) {
            ssize_t written = os::write_file(out, at, left);
            if (written <= 0) {
                error = std::error_code(written < 0 ? errno : EIO, std::generic_category());
                break;
            }
            at += written;
            left -= static_cast<std::size_t>(written);
        }
        if (error) break;
    }
    os::close_file(in);
    if (os::close_file(out) != 0 && !error) error = std::error_code(errno, std::generic_category());
}

}  // namespace

FeedLink::FeedLink(fs::path feed_folder, fs::path cache_folder)
    : feed_(std::move(feed_folder)),
      cache_(std::move(cache_folder)),
      copier_(copy_with_file_system) {}

int FeedLink::fail(int code, std::string detail) {
    error_detail_ = std::move(detail);
    return code;
}

int FeedLink::JVInit(std::string_view sid) {
    if (sid.empty()) return jv::kSidEmpty;
    if (sid.size() >= 64) return jv::kSidTooLong;
    if (sid.front() == ' ') return jv::kSidBadStart;
    initialised_ = true;
    return 0;
}

int FeedLink::JVSetUIProperties() {
    if (chooser_) {
        if (auto folder = chooser_(feed_)) feed_ = *folder;
    }
    return 0;
}

fs::path FeedLink::cache_path(const Selected& file) const {
    return cache_ / utf8_path(file.name);
}

bool FeedLink::cached(const fs::path& source) const {
    // A cached copy counts when it has the feed file's size and modification
    // time (the copy keeps both), so a feed file that changed is fetched anew.
    std::error_code error;
    fs::path copy = cache_ / source.filename();
    // A link in the cache is never read: the file is fetched anew over it.
    if (!fs::is_regular_file(fs::symlink_status(copy, error))) return false;
    auto copy_size = fs::file_size(copy, error);
    if (error) return false;
    auto source_size = fs::file_size(source, error);
    if (error || copy_size != source_size) return false;
    auto copy_time = fs::last_write_time(copy, error);
    if (error) return false;
    auto source_time = fs::last_write_time(source, error);
    return !error && copy_time == source_time;
}

int FeedLink::JVOpen(std::string_view dataspec, std::string_view fromtime, int option,
                     int& read_count, int& download_count, std::string& last_file_timestamp) {
    read_count = 0;
    download_count = 0;
    last_file_timestamp.clear();
    if (!initialised_) return jv::kNotInitialised;
    if (open_) return jv::kStillOpen;
    if (dataspec.empty()) return jv::kBadDataspec;
    if (fromtime.size() != 14 || !all_digits(fromtime)) return jv::kBadFromtime;
    if (option < 1 || option > 4) return jv::kBadOption;
    error_detail_.clear();

    if (auto problem = folder_problem(feed_, "フィードフォルダ", true)) {
        return fail(kFolderError, *problem);
    }
    std::error_code error;
    std::vector<fs::path> listed = feed_files(feed_, 14, error);
    if (error) {
        return fail(kFolderError,
                    sj("フィードフォルダを読み取れません:") + shown(feed_) + cause(error));
    }
    std::vector<std::pair<std::string, fs::path>> selected;
    for (const auto& file : listed) {
        std::string stamp = path_utf8(file.filename()).substr(0, 14);
        if (stamp > fromtime) selected.emplace_back(stamp, file);
    }
    if (selected.empty()) return jv::kNothingNewer;
    // Timestamp order, then name order: the names were listed in name order
    // and a stable sort by timestamp keeps that among equal stamps.
    std::stable_sort(selected.begin(), selected.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });

    files_.clear();
    download_queue_.clear();
    for (const auto& [stamp, file] : selected) {
        Selected s{file, path_utf8(file.filename()), !cached(file)};
        if (s.needs_download) download_queue_.push_back(files_.size());
        files_.push_back(std::move(s));
    }
    std::reverse(download_queue_.begin(), download_queue_.end());  // popped from the back
    downloaded_ = 0;
    pending_downloads_ = download_queue_.size();
    read_count = static_cast<int>(files_.size());
    download_count = static_cast<int>(pending_downloads_);
    last_file_timestamp = selected.back().first;
    open_ = true;
    realtime_ = false;
    file_index_ = 0;
    file_loaded_ = false;
    return 0;
}

int FeedLink::JVRTOpen(std::string_view dataspec, std::string_view key) {
    if (!initialised_) return jv::kNotInitialised;
    if (open_) return jv::kStillOpen;
    if (dataspec != "0B12") return jv::kBadDataspec;
    if (key.size() != 8 || !all_digits(key)) return jv::kBadKey;
    error_detail_.clear();
    // A feed without realtime data has no 0B12 folder: nothing to read.
    fs::path folder = feed_ / "0B12";
    if (auto problem = folder_problem(feed_, "フィードフォルダ", true)) {
        return fail(kFolderError, *problem);
    }
    if (auto problem = folder_problem(folder, "速報データのフォルダ", false)) {
        return fail(kFolderError, *problem);
    }
    std::error_code error;
    std::vector<fs::path> listed;
    if (fs::exists(folder, error)) listed = feed_files(folder, 8, error);
    if (error) {
        return fail(kFolderError,
                    sj("速報データのフォルダを読み取れません:") + shown(folder) + cause(error));
    }
    files_.clear();
    download_queue_.clear();
    for (const auto& file : listed) {
        if (path_utf8(file.filename()).substr(0, 8) == key) {
            files_.push_back(Selected{file, path_utf8(file.filename()), false});
        }
    }
    if (files_.empty()) return jv::kNothingNewer;
    pending_downloads_ = 0;
    downloaded_ = 0;
    open_ = true;
    realtime_ = true;
    file_index_ = 0;
    file_loaded_ = false;
    return 0;
}

int FeedLink::copy_into_cache(const Selected& file) {
    std::error_code error;
    fs::create_directories(cache_, error);
    if (error) {
        return fail(jv::kDownloadFailed, sj("キャッシュフォルダを作成できません:") + shown(cache_) + cause(error));
    }
    // The copy is made under a temporary name and renamed when complete, so
    // a cut-off copy never passes for a cached file; a failed one is removed.
    fs::path target = cache_path(file);
    fs::path temporary = target;
    temporary += ".part";
    if (fs::is_symlink(fs::symlink_status(temporary, error))) {
        return fail(jv::kDownloadFailed,
                    sj("キャッシュの一時ファイルがシンボリックリンクのため書き込みません:") +
                        shown(temporary));
    }
    copier_(file.source, temporary, error);
    if (!error) {
        auto stamp = fs::last_write_time(file.source, error);
        if (!error) fs::last_write_time(temporary, stamp, error);
    }
    if (!error) fs::rename(temporary, target, error);
    if (error) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return fail(jv::kDownloadFailed,
                    sj("キャッシュへのコピーに失敗しました:") + shown(file.source) + cause(error));
    }
    return 0;
}

int FeedLink::JVStatus() {
    if (!initialised_) return jv::kNotInitialised;
    if (!open_) return jv::kNotOpened;
    if (!download_queue_.empty()) {
        if (int r = copy_into_cache(files_[download_queue_.back()]); r != 0) return r;
        download_queue_.pop_back();
        ++downloaded_;
    }
    return static_cast<int>(downloaded_);
}

bool FeedLink::load_next_file() {
    const Selected& file = files_[file_index_];
    fs::path source = realtime_ ? file.source : cache_path(file);
    reading_.reset();
    std::error_code error;
    if (!fs::exists(source, error)) return false;
    auto stream = std::make_unique<std::ifstream>(source, std::ios::binary);
    if (!*stream) throw_file_error("開けません", source, errno);
    // A feed file saved by a UTF-8 editor may start with a byte order mark,
    // which is no part of the CP932 records.
    char mark[3] = {};
    stream->read(mark, 3);
    if (stream->gcount() != 3 || std::string_view(mark, 3) != "\xEF\xBB\xBF") {
        stream->clear();
        stream->seekg(0);
    }
    reading_ = std::move(stream);
    file_loaded_ = true;
    return true;
}

int FeedLink::JVRead(std::string& buffer, int& size, std::string& file_name) {
    (void)size;
    if (!initialised_) return jv::kNotInitialised;
    if (!open_) return jv::kNotOpened;
    if (file_index_ >= files_.size()) return 0;
    const Selected& file = files_[file_index_];
    if (!file_loaded_) {
        // The next file has not arrived yet while its download is pending.
        bool pending = std::find(download_queue_.begin(), download_queue_.end(), file_index_) !=
                       download_queue_.end();
        if (pending) return jv::kDownloading;
        fs::path copy = realtime_ ? file.source : cache_path(file);
        if (!realtime_ && !cached(file.source)) {
            std::error_code error;
            if (!fs::exists(copy, error)) {
                return fail(jv::kFileNotFound, sj("キャッシュのファイルがありません:") + shown(copy));
            }
            return fail(jv::kFileNotFound,
                        sj("フィードファイルが変更されたか削除されました:") + shown(file.source));
        }
        try {
            if (!load_next_file()) return fail(jv::kFileNotFound, sj("ファイルがありません:") + shown(copy));
        } catch (const FileError& e) {
            return fail(jv::kDownloadFailed, cp932::from_utf8(e.what()));
        }
    }
    file_name = file.name;
    // The next line that is not empty; a bare LF is served as CR LF.
    std::string line;
    while (std::getline(*reading_, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        line += "\r\n";
        buffer = std::move(line);
        return static_cast<int>(buffer.size());
    }
    if (reading_->bad()) {
        reading_.reset();
        file_loaded_ = false;
        return fail(jv::kDownloadFailed,
                    sj("ファイルを読み取れません:") + shown(realtime_ ? file.source : cache_path(file)));
    }
    ++file_index_;
    file_loaded_ = false;
    reading_.reset();
    return jv::kNextFile;
}

int FeedLink::JVCancel() {
    download_queue_.clear();
    return 0;
}

int FeedLink::JVClose() {
    if (!initialised_) return jv::kNotInitialised;
    open_ = false;
    files_.clear();
    download_queue_.clear();
    reading_.reset();
    file_loaded_ = false;
    return 0;
}

}  // namespace tolven
