#pragma once

#include <atomic>
#include <string>
#include <string_view>

namespace tolven {

// Return codes of the JV-Link calls that this system acts on, and the size of
// the buffer a record is read into.
namespace jv {
inline constexpr int kOk = 0;
// JVOpen, JVRTOpen: nothing newer than the time asked for.
inline constexpr int kNothingNewer = -1;
// JVRead: the next file begins.
inline constexpr int kNextFile = -1;
// JVRead: not ready yet (-3 while the file is still downloading); call again.
inline constexpr int kReadAgain = -2;
inline constexpr int kDownloading = -3;
// JVInit: the sid is empty, 64 characters or longer, or begins with a blank.
inline constexpr int kSidEmpty = -101;
inline constexpr int kSidTooLong = -102;
inline constexpr int kSidBadStart = -103;
// Parameter errors.
inline constexpr int kBadDataspec = -111;
inline constexpr int kBadFromtime = -112;
inline constexpr int kBadKey = -114;
inline constexpr int kBadOption = -115;
// Call-order errors.
inline constexpr int kNotInitialised = -201;
inline constexpr int kStillOpen = -202;
inline constexpr int kNotOpened = -203;
// The component failed inside.
inline constexpr int kInternalError = -401;
inline constexpr int kDownloadFailed = -502;
inline constexpr int kFileNotFound = -503;

// JVRead: a code below kDownloading is an error.
constexpr bool read_failed(int code) {
    return code < kDownloading;
}

inline constexpr int kReadBufferSize = 60000;
}  // namespace jv

// The operations the system asks of the JV-Link component, under their names
// and with its return codes. Records cross this interface as CP932 bytes
// including their CR LF. The main window owns the one instance; the download
// and the results refresh borrow it.
class JvLink {
  public:
    virtual ~JvLink() = default;

    // 0 = ready.
    virtual int JVInit(std::string_view sid) = 0;
    // The component's own settings dialog; 0 = done.
    virtual int JVSetUIProperties() = 0;
    // 0 opened, -1 nothing newer, other = error. Fills the read count, the
    // download count and the last file timestamp (14 digits, blank or zeros).
    virtual int JVOpen(std::string_view dataspec, std::string_view fromtime, int option,
                       int& read_count, int& download_count, std::string& last_file_timestamp) = 0;
    // Realtime data of one race day (key YYYYMMDD); 0 = opened.
    virtual int JVRTOpen(std::string_view dataspec, std::string_view key) = 0;
    // Files downloaded so far (>= 0), or an error (< 0).
    virtual int JVStatus() = 0;
    // > 0 one record (its length) in buffer; 0 all read; -1 next file;
    // -2, -3 call again; below -3 error. size is the buffer size variable.
    virtual int JVRead(std::string& buffer, int& size, std::string& file_name) = 0;
    // Stops the download.
    virtual int JVCancel() = 0;
    // 0 = closed.
    virtual int JVClose() = 0;
    // Four digits such as "0490".
    virtual std::string version() const = 0;

    // What went wrong in the last call that failed, in words for the user
    // (CP932): which file or folder and why. Empty when the component has
    // nothing to add to its return code, as the real one never has.
    virtual std::string error_detail() const { return {}; }

    // Asks a call that another thread waits in (an open that JV-Link's own
    // window holds up, see run_open) to give up as soon as it can; that call
    // then returns a failure. Safe from any thread and any number of times.
    // A component whose calls return at once needs nothing here.
    virtual void interrupt() {}

    // True while an open runs on a thread of its own: the component must not
    // be called from elsewhere until it returns.
    bool open_pending() const { return open_pending_.load(); }
    void set_open_pending(bool pending) { open_pending_.store(pending); }

  private:
    std::atomic<bool> open_pending_{false};
};

}  // namespace tolven
