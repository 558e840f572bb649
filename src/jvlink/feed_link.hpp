#pragma once

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "jvlink/JvLink.hpp"

namespace tolven {

// The JV-Link component of this platform: it serves JV-Data from a feed
// folder instead of the data service.
//
// Stored data are the files <feed>/<YYYYMMDDhhmmss>*.txt (the first 14
// characters of the name are the file's timestamp); realtime data are the
// files <feed>/0B12/<YYYYMMDD>*.txt. Each holds JV records, one per line. An
// open "downloads" the selected files into a cache folder, one per JVStatus
// call, so a caller polling the status sees progress; reading serves the
// cached copies record by record.
//
// A feed folder that is missing, not a folder or unreadable makes JVOpen and
// JVRTOpen return -401 (an internal error of the component) rather than -1
// (nothing newer): a wrong folder is a failure, not an empty feed. A copy into
// the cache that fails gives -502 and leaves no partial copy behind. After
// either, error_detail() names the folder or file and the cause.
class FeedLink : public JvLink {
  public:
    FeedLink(std::filesystem::path feed_folder, std::filesystem::path cache_folder);

    const std::filesystem::path& feed_folder() const { return feed_; }
    void set_feed_folder(std::filesystem::path folder) { feed_ = std::move(folder); }

    // What JVSetUIProperties shows: given the current feed folder, the folder
    // the user chose, or nullopt when left unchanged.
    using FolderChooser =
        std::function<std::optional<std::filesystem::path>(const std::filesystem::path&)>;
    void set_folder_chooser(FolderChooser chooser) { chooser_ = std::move(chooser); }

    // Copies a feed file to a cache path, reporting failure through error.
    // The default creates the copy new (never through a symbolic link); tests
    // put a failing one in its place (a full disk cannot be had on demand).
    using FileCopier = std::function<void(const std::filesystem::path& from,
                                          const std::filesystem::path& to, std::error_code& error)>;
    void set_file_copier(FileCopier copier) { copier_ = std::move(copier); }

    int JVInit(std::string_view sid) override;
    int JVSetUIProperties() override;
    int JVOpen(std::string_view dataspec, std::string_view fromtime, int option, int& read_count,
               int& download_count, std::string& last_file_timestamp) override;
    int JVRTOpen(std::string_view dataspec, std::string_view key) override;
    int JVStatus() override;
    int JVRead(std::string& buffer, int& size, std::string& file_name) override;
    int JVCancel() override;
    int JVClose() override;
    std::string version() const override { return "0490"; }
    std::string error_detail() const override { return error_detail_; }

  private:
    struct Selected {
        std::filesystem::path source;
        std::string name;
        bool needs_download = false;
    };
    bool cached(const std::filesystem::path& source) const;
    std::filesystem::path cache_path(const Selected& file) const;
    bool load_next_file();
    // Returns code after keeping detail (CP932) for error_detail().
    int fail(int code, std::string detail);
    int copy_into_cache(const Selected& file);

    std::filesystem::path feed_;
    std::filesystem::path cache_;
    FolderChooser chooser_;
    FileCopier copier_;
    std::string error_detail_;
    bool initialised_ = false;
    bool open_ = false;
    bool realtime_ = false;
    std::vector<Selected> files_;
    std::size_t pending_downloads_ = 0;  // files still to copy, from the back of the queue
    std::vector<std::size_t> download_queue_;
    std::size_t downloaded_ = 0;  // selected files that needed a download and are cached now

    // Reading position.
    std::size_t file_index_ = 0;
    bool file_loaded_ = false;
    // The file being read, one line at a time: a feed file of any size takes
    // the memory of one record.
    std::unique_ptr<std::ifstream> reading_;
};

}  // namespace tolven
