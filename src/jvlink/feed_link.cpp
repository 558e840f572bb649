#include "jvlink/feed_link.hpp"

#include <algorithm>
#include <system_error>

#include "store/atomic_file.hpp"
#include "store/data_store.hpp"

namespace fs = std::filesystem;

namespace tolven {
namespace {

bool all_digits(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool has_txt_extension(const fs::path& p) {
    return p.extension() == ".txt";
}

// Files of a folder whose names begin with `digits` digits and end in .txt,
// in name order.
std::vector<fs::path> feed_files(const fs::path& folder, std::size_t digits) {
    std::vector<fs::path> files;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (!it->is_regular_file(error)) continue;
        std::string name = it->path().filename().string();
        if (name.size() < digits + 4 || !has_txt_extension(it->path())) continue;
        if (!all_digits(std::string_view(name).substr(0, digits))) continue;
        files.push_back(it->path());
    }
    std::sort(files.begin(), files.end(),
              [](const fs::path& a, const fs::path& b) { return a.filename() < b.filename(); });
    return files;
}

}  // namespace

FeedLink::FeedLink(fs::path feed_folder, fs::path cache_folder)
    : feed_(std::move(feed_folder)), cache_(std::move(cache_folder)) {}

int FeedLink::JVInit(std::string_view sid) {
    if (sid.empty()) return -101;
    if (sid.size() >= 64) return -102;
    if (sid.front() == ' ') return -103;
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
    return cache_ / file.name;
}

bool FeedLink::cached(const fs::path& source) const {
    // A cached copy counts when it has the feed file's size and modification
    // time (the copy keeps both), so a feed file that changed is fetched anew.
    std::error_code error;
    fs::path copy = cache_ / source.filename();
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
    if (!initialised_) return -201;
    if (open_) return -202;
    if (dataspec.empty()) return -111;
    if (fromtime.size() != 14 || !all_digits(fromtime)) return -112;
    if (option < 1 || option > 4) return -115;

    std::vector<std::pair<std::string, fs::path>> selected;
    for (const auto& file : feed_files(feed_, 14)) {
        std::string stamp = file.filename().string().substr(0, 14);
        if (stamp > fromtime) selected.emplace_back(stamp, file);
    }
    if (selected.empty()) return -1;
    // Timestamp order, then name order: the names were listed in name order
    // and a stable sort by timestamp keeps that among equal stamps.
    std::stable_sort(selected.begin(), selected.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });

    files_.clear();
    download_queue_.clear();
    for (const auto& [stamp, file] : selected) {
        Selected s{file, file.filename().string(), !cached(file)};
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
    if (!initialised_) return -201;
    if (open_) return -202;
    if (dataspec != "0B12") return -111;
    if (key.size() != 8 || !all_digits(key)) return -114;
    files_.clear();
    download_queue_.clear();
    for (const auto& file : feed_files(feed_ / "0B12", 8)) {
        if (file.filename().string().substr(0, 8) == key) {
            files_.push_back(Selected{file, file.filename().string(), false});
        }
    }
    if (files_.empty()) return -1;
    pending_downloads_ = 0;
    downloaded_ = 0;
    open_ = true;
    realtime_ = true;
    file_index_ = 0;
    file_loaded_ = false;
    return 0;
}

int FeedLink::JVStatus() {
    if (!initialised_) return -201;
    if (!open_) return -203;
    if (!download_queue_.empty()) {
        const Selected& file = files_[download_queue_.back()];
        std::error_code error;
        fs::create_directories(cache_, error);
        fs::path target = cache_path(file);
        fs::path temporary = target;
        temporary += ".part";
        fs::copy_file(file.source, temporary, fs::copy_options::overwrite_existing, error);
        if (!error) {
            fs::last_write_time(temporary, fs::last_write_time(file.source, error), error);
        }
        if (!error) fs::rename(temporary, target, error);
        if (error) return -502;
        download_queue_.pop_back();
        ++downloaded_;
    }
    return static_cast<int>(downloaded_);
}

bool FeedLink::load_next_file() {
    const Selected& file = files_[file_index_];
    fs::path source = realtime_ ? file.source : cache_path(file);
    auto content = read_file_if_exists(source);
    records_.clear();
    record_index_ = 0;
    if (!content) return false;
    for (auto& line : split_lines(*content)) {
        if (line.empty()) continue;
        line += "\r\n";
        records_.push_back(std::move(line));
    }
    file_loaded_ = true;
    return true;
}

int FeedLink::JVRead(std::string& buffer, int& size, std::string& file_name) {
    (void)size;
    if (!initialised_) return -201;
    if (!open_) return -203;
    if (file_index_ >= files_.size()) return 0;
    const Selected& file = files_[file_index_];
    if (!file_loaded_) {
        // The next file has not arrived yet while its download is pending.
        bool pending = std::find(download_queue_.begin(), download_queue_.end(), file_index_) !=
                       download_queue_.end();
        if (pending) return -3;
        if (!realtime_ && !cached(file.source)) return -503;
        try {
            if (!load_next_file()) return -503;
        } catch (const FileError&) {
            return -502;
        }
    }
    file_name = file.name;
    if (record_index_ < records_.size()) {
        buffer = std::move(records_[record_index_++]);
        return static_cast<int>(buffer.size());
    }
    ++file_index_;
    file_loaded_ = false;
    records_.clear();
    return -1;
}

int FeedLink::JVCancel() {
    download_queue_.clear();
    return 0;
}

int FeedLink::JVClose() {
    if (!initialised_) return -201;
    open_ = false;
    files_.clear();
    download_queue_.clear();
    records_.clear();
    file_loaded_ = false;
    return 0;
}

}  // namespace tolven
