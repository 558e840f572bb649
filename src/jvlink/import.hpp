#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "jvlink/JvLink.hpp"
#include "jvlink/filing.hpp"
#include "store/date_time.hpp"

namespace tolven {

// Set by a cancel of the import and kept for the whole program run; cleared
// when an import starts. The results refresh reads it too.
struct CancelFlag {
    bool set = false;
};

// What the import asks of the window that runs it (the download window, or
// tolven-cli import). Texts are CP932.
class ImportHost {
  public:
    virtual ~ImportHost() = default;
    virtual void beep() = 0;
    // A modal information dialog with OK.
    virtual void show_information(const std::string& text) = 0;
    // A modal confirmation dialog with Yes and No; true for Yes.
    virtual bool confirm(const std::string& text) = 0;
    virtual void set_progress_line(const std::string& text) = 0;
    // Progress bar 1 ("ダウンロード") or 2 ("読込み"); the minimum is 0.
    virtual void set_bar_range(int bar, int maximum) = 0;
    virtual void set_bar_position(int bar, int position) = 0;
    virtual void clear_built_lines() = 0;
    virtual void add_built_line(const std::string& text) = 0;
    virtual void set_busy_cursor(bool busy) = 0;
    // Lets pending user-interface events run (how Cancel reaches a running
    // reading loop).
    virtual void process_events() = 0;
    // The 10 ms status timer, which calls ImportController::status_tick.
    virtual void set_status_timer(bool enabled) = 0;
    // The date picker and its hidden label show the from-time.
    virtual void show_from_time(const DateTime& from_time) = 0;
    // JVOpen has been waiting `seconds` (from kOpenNoticeSeconds on, once a
    // second): JV-Link may be waiting for an answer in a window of its own
    // (open_wait_notice says so). 0 when it returned after such a notice.
    virtual void open_waiting(int seconds) = 0;
    // The "LastTime" setting of section "JvDataGet".
    virtual std::optional<std::string> read_last_time() = 0;
    virtual void write_last_time(const std::string& text) = 0;
};

// A host that shows nothing and answers every question with yes: for batch
// imports (benchmarks, tests) where nobody watches.
class SilentImportHost : public ImportHost {
  public:
    explicit SilentImportHost(std::optional<std::string> last_time = "2000/01/01 00:00:00")
        : last_time_(std::move(last_time)) {}
    int built_lines = 0;

    void beep() override {}
    void show_information(const std::string&) override {}
    bool confirm(const std::string&) override { return true; }
    void set_progress_line(const std::string&) override {}
    void set_bar_range(int, int) override {}
    void set_bar_position(int, int) override {}
    void clear_built_lines() override { built_lines = 0; }
    void add_built_line(const std::string&) override { ++built_lines; }
    void set_busy_cursor(bool) override {}
    void process_events() override {}
    void set_status_timer(bool) override {}
    void show_from_time(const DateTime&) override {}
    void open_waiting(int) override {}
    std::optional<std::string> read_last_time() override { return last_time_; }
    void write_last_time(const std::string& text) override { last_time_ = text; }

  private:
    std::optional<std::string> last_time_;
};

// The data download: opens JV-Link for all data since the from-time, waits for
// the download, reads the record stream and files every record into the store.
//
// A run is the one writer of the base folder from its start until the reading
// is closed (StoreWriter); a second run, here or in another process, is
// refused with a message. Records are filed write-behind: the end of each
// feed file is a checkpoint, the end of a complete reading commits every
// change, and a cancel or an error commits only what cannot make a stored
// record older than it was before the run. A built-data line ("作成済み")
// is shown only once its change is on the disk, and "LastTime" moves only
// after the complete commit.
class ImportController {
  public:
    using Clock = std::function<DateTime()>;

    ImportController(JvLink& link, const DataStore& store, CancelFlag& cancel, ImportHost& host,
                     Clock now = &DateTime::now);

    // Opening the window: the from-time from "LastTime", or now minus 8 days.
    void open();
    const DateTime& from_time() const { return from_time_; }
    // The user edited the date picker.
    void set_from_time(const DateTime& t) { from_time_ = t; }

    void start();        // "データ取込み開始"
    void status_tick();  // the status timer
    void cancel();       // "データ取込み中止"
    void settings();     // "JVLink設定"

    // JVOpen runs on a thread of its own while the host's events go on
    // (run_open): a cancel then asks the component to give the open up, and
    // the run ends without reading anything; JVLink設定 waits for its end.

    // A window that goes away while a run is open: stops the status timer,
    // cancels and closes the reading, without any dialog.
    void abandon();

    bool downloading() const { return timer_on_; }
    bool reading_open() const { return reading_open_; }
    // The cancel flag: set by a confirmed cancel until the next start.
    bool cancel_requested() const { return cancel_.set; }
    // True when the last start ended with an error message.
    bool failed() const { return failed_; }
    // After a cancelled or failed run: the built-data lines shown (their
    // changes are kept) and the changes that were not kept (they replaced
    // lines stored before the run and wait for a complete one).
    long kept_lines() const { return kept_lines_; }
    long changes_not_kept() const { return changes_not_kept_; }
    int rejected_count() const { return filer_.rejected_count(); }

    // The store writer's memory limit (benchmarks and tests); and what the
    // writer of the last run did.
    void set_writer_options(const StoreWriterOptions& options) { writer_options_ = options; }
    const StoreWriterStats& writer_stats() const { return writer_stats_; }

  private:
    enum class LoopEnd { AllRead, Cancelled, Error };
    LoopEnd reading_loop();
    void close_reading();
    void stop_timer();
    // A failed call's dialog text with the component's error detail added.
    std::string with_detail(std::string text);
    void report_file_error(const std::exception& e);
    // Runs a write of the writer; on a failure reports it, ends the run's
    // writing as interrupted and returns false.
    template <typename Write>
    bool write_step(Write write);
    // The end of a cancelled or failed run: what is safe is committed.
    void finish_interrupted(bool error_reported);
    void release_writer();
    // The built-data lines wait until their changes are on the disk: a line
    // whose change is not held after each checkpoint (the redo log), every
    // line after the complete commit. Lines stay in order.
    void hold_lines(std::vector<std::string> lines);
    void show_lines(bool held_too);

    JvLink& link_;
    const DataStore& store_;
    CancelFlag& cancel_;
    ImportHost& host_;
    Clock now_;
    RecordFiler filer_;
    StoreWriterOptions writer_options_;
    std::unique_ptr<StoreWriter> writer_;
    StoreWriterStats writer_stats_;
    DateTime from_time_;
    int read_count_ = 0;
    int download_count_ = 0;
    std::string last_file_timestamp_;
    bool timer_on_ = false;
    bool reading_open_ = false;
    bool failed_ = false;
    std::vector<std::string> pending_lines_;
    std::vector<bool> pending_held_;
    bool pending_has_held_ = false;
    long kept_lines_ = 0;
    long changes_not_kept_ = 0;
};

// The threshold date T of a reading loop: the calendar date five days before
// now, as YYYYMMDD.
int import_threshold_date(const DateTime& now);

}  // namespace tolven
