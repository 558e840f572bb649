#include "jvlink/import.hpp"

#include <exception>

#include "jvlink/open_wait.hpp"
#include "jvlink/result_text.hpp"
#include "store/atomic_file.hpp"
#include "store/cp932.hpp"
#include "store/error_text.hpp"
#include "store/lenient.hpp"

namespace tolven {
namespace {


std::string number(int n) {
    return std::to_string(n);
}

}  // namespace

int import_threshold_date(const DateTime& now) {
    return now.plus_days(-5).date_number();
}

ImportController::ImportController(JvLink& link, const DataStore& store, CancelFlag& cancel,
                                   ImportHost& host, Clock now)
    : link_(link),
      store_(store),
      cancel_(cancel),
      host_(host),
      now_(std::move(now)),
      filer_([this](StoreFile where, std::string_view record) {
          return writer_->store(where, record);
      }) {}

void ImportController::open() {
    std::optional<std::string> text = host_.read_last_time();
    std::optional<DateTime> parsed;
    if (text) parsed = DateTime::parse(*text);
    // A missing or unreadable setting starts eight days back.
    from_time_ = parsed ? *parsed : now_().plus_days(-8);
    host_.show_from_time(from_time_);
}

void ImportController::stop_timer() {
    timer_on_ = false;
    host_.set_status_timer(false);
}

void ImportController::start() {
    host_.show_information(
        sj("データ取込を開始します。データ作成が終了するまで本ソフトを操作したり他のアプリケー"
           "ションを操作することは極力避けてください。"));
    stop_timer();
    cancel_.set = false;
    failed_ = false;
    host_.set_bar_position(1, 0);
    host_.set_bar_position(2, 0);
    host_.clear_built_lines();
    pending_lines_.clear();
    pending_held_.clear();
    pending_has_held_ = false;
    kept_lines_ = 0;
    changes_not_kept_ = 0;
    std::string from = from_time_.digits();
    host_.set_busy_cursor(true);

    // The run is the base folder's one writer until the reading is closed.
    try {
        writer_ = std::make_unique<StoreWriter>(store_, writer_options_);
    } catch (const std::exception& e) {
        report_file_error(e);
        host_.set_busy_cursor(false);
        return;
    }

    // JV-Link may hold the open up with a window of its own for as long as a
    // person takes to answer it; the window's events go on meanwhile.
    OpenWaitHost waiting{[this] { host_.process_events(); },
                         [this](int seconds) { host_.open_waiting(seconds); },
                         [this] { return cancel_.set; }};
    int r = run_open(
        link_,
        [&] {
            return link_.JVOpen("RACERCVN", from, 2, read_count_, download_count_,
                                last_file_timestamp_);
        },
        waiting);
    reading_open_ = true;
    if (cancel_.set) {
        // Cancelled while the open was pending (the cancel said so): nothing
        // was read, nothing is stored, the from-time stays.
        close_reading();
        return;
    }
    if (r == jv::kNothingNewer || (r == jv::kOk && read_count_ == 0)) {
        host_.beep();
        host_.show_information(sj("最新のデータがありません。"));
        close_reading();
        return;
    }
    if (r != 0) {
        host_.beep();
        failed_ = true;
        host_.show_information(with_detail(sj("JVOpenエラー:") + jv_result_text("JVOpen", r)));
        close_reading();
        return;
    }
    host_.set_progress_line(sj("JVOpen正常:") + jv_result_text("JVOpen", 0));
    host_.set_progress_line("ReadCount:" + number(read_count_) +
                            ", DownloadCount:" + number(download_count_));
    if (download_count_ > 0) {
        host_.set_progress_line(sj("ダウンロード中・・・"));
        host_.set_bar_range(1, download_count_);
        timer_on_ = true;
        host_.set_status_timer(true);
        return;
    }
    host_.set_bar_range(1, 100);
    host_.set_bar_position(1, 100);
    LoopEnd end = reading_loop();
    close_reading();
    // The next import starts after the newest file read. Only a loop that read
    // everything moves it on: after a cancel or an error the records not yet
    // read would otherwise never be fetched again.
    std::string_view stamp = trim(last_file_timestamp_);
    if (end == LoopEnd::AllRead && !stamp.empty() && stamp != "00000000000000") {
        std::string s(stamp);
        std::string text = s.substr(0, 4) + "/" + s.substr(4, 2) + "/" + s.substr(6, 2) + " " +
                           s.substr(8, 2) + ":" + s.substr(10, 2) + ":" + s.substr(12, 2);
        if (auto parsed = DateTime::parse(text)) {
            from_time_ = *parsed;
            host_.show_from_time(from_time_);
            host_.write_last_time(text);
        }
    }
}

void ImportController::status_tick() {
    if (!timer_on_) return;
    int n = link_.JVStatus();
    if (n < 0) {
        host_.beep();
        failed_ = true;
        host_.show_information(with_detail(sj("JVStatusエラー:") + jv_result_text("JVStatus", n)));
        stop_timer();
        close_reading();
        return;
    }
    if (n > download_count_) return;
    host_.set_progress_line(sj("ダウンロード中．．．(") + number(n) + "/" +
                            number(download_count_) + ")");
    host_.set_bar_position(1, n);
    if (n < download_count_) return;
    stop_timer();
    reading_loop();
    close_reading();
}

ImportController::LoopEnd ImportController::reading_loop() {
    int counter = 0;
    host_.set_progress_line(sj("データ読込み中．．．(0/") + number(read_count_) + ")");
    host_.set_bar_range(2, read_count_);
    host_.set_bar_position(2, 0);
    int threshold = import_threshold_date(now_());
    int size = jv::kReadBufferSize;
    std::string record;
    std::string file_name;
    for (;;) {
        host_.process_events();
        if (cancel_.set) {
            finish_interrupted(false);
            return LoopEnd::Cancelled;
        }
        int r = link_.JVRead(record, size, file_name);
        if (r == jv::kNextFile) {
            ++counter;
            host_.set_bar_position(2, counter);
            host_.set_progress_line(sj("データ読込み中．．．(") + number(counter) + "/" +
                                    number(read_count_) + ")");
            // The end of a feed file: its work is kept even if the run dies.
            if (!write_step([this] { writer_->checkpoint(); })) return LoopEnd::Error;
            if (!pending_has_held_) show_lines(false);
        } else if (r == 0) {
            // Everything since the from-time is in the store now, also what
            // an earlier interrupted import could not finish: its damaged
            // records go.
            if (!write_step([this] {
                    writer_->commit();
                    writer_->clear_damaged_import();
                }))
                return LoopEnd::Error;
            show_lines(true);
            host_.set_progress_line(sj("データ読込み完了(") + number(counter) + "/" +
                                    number(read_count_) + ")");
            host_.set_bar_position(1, 0);
            host_.set_bar_position(2, 0);
            host_.beep();
            return LoopEnd::AllRead;
        } else if (r == jv::kReadAgain || r == jv::kDownloading) {
            continue;
        } else if (jv::read_failed(r)) {
            host_.beep();
            failed_ = true;
            host_.show_information(with_detail(sj("JVReadエラー:") + jv_result_text("JVRead", r)));
            finish_interrupted(false);
            return LoopEnd::Error;
        } else {
            // A file error (disk full, no permission) ends the run; what is safe
            // to keep is kept, and the caller still closes the reading.
            if (!write_step(
                    [&] { hold_lines(filer_.file_import(record, threshold, file_name)); })) {
                return LoopEnd::Error;
            }
        }
    }
}

std::string ImportController::with_detail(std::string text) {
    // What the component can say about the failure (which folder or file, and
    // why) goes under the result text and stays in the built-data list after
    // the dialog is closed.
    std::string detail = link_.error_detail();
    if (detail.empty()) return text;
    host_.add_built_line(detail);
    return text + "\r\n" + detail;
}

void ImportController::report_file_error(const std::exception& e) {
    host_.beep();
    failed_ = true;
    host_.show_information(sj("データ作成エラー:") + cp932::from_utf8(error_message(e)));
}

template <typename Write>
bool ImportController::write_step(Write write) {
    try {
        write();
        return true;
    } catch (const std::exception& e) {
        report_file_error(e);
        finish_interrupted(true);
        return false;
    }
}

void ImportController::hold_lines(std::vector<std::string> lines) {
    const std::vector<bool>& held = filer_.held();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        bool h = i < held.size() && held[i];
        pending_has_held_ = pending_has_held_ || h;
        pending_held_.push_back(h);
        pending_lines_.push_back(std::move(lines[i]));
    }
}

void ImportController::show_lines(bool held_too) {
    for (std::size_t i = 0; i < pending_lines_.size(); ++i) {
        if (pending_held_[i] && !held_too) {
            ++changes_not_kept_;
            continue;
        }
        host_.add_built_line(pending_lines_[i]);
        ++kept_lines_;
    }
    pending_lines_.clear();
    pending_held_.clear();
    pending_has_held_ = false;
}

void ImportController::finish_interrupted(bool error_reported) {
    if (!writer_ || writer_->ended()) return;
    try {
        writer_->commit_safe();
    } catch (const std::exception& e) {
        if (!error_reported) report_file_error(e);
        // Nothing waiting is known to be on the disk.
        changes_not_kept_ += static_cast<long>(pending_lines_.size());
        pending_lines_.clear();
        pending_held_.clear();
        pending_has_held_ = false;
        return;
    }
    // What is safe is on the disk now; the held changes are not kept.
    show_lines(false);
    host_.add_built_line(sj("取込みを中断しました。作成済み ") + number(kept_lines_) +
                         sj(" 件は保存済み、保存されなかった変更 ") + number(changes_not_kept_) +
                         sj(" 件。データ取込みをやり直してください。"));
}

void ImportController::release_writer() {
    if (!writer_) return;
    writer_stats_ = writer_->stats();
    writer_.reset();
}

void ImportController::close_reading() {
    release_writer();
    int r = link_.JVClose();
    reading_open_ = false;
    host_.set_busy_cursor(false);
    host_.beep();
    if (r != 0) {
        failed_ = true;
        host_.show_information(sj("JVCloseエラー:") + jv_result_text("JVClose", r));
    }
}

void ImportController::cancel() {
    if (!host_.confirm(sj("データ取込を中止します。実行しますか？"))) return;
    bool was_downloading = timer_on_;
    stop_timer();
    if (link_.open_pending()) {
        // The open runs on its own thread; the component is asked to give it
        // up (the bridge is ended), and the start ends the run when it returns.
        link_.interrupt();
    } else {
        link_.JVCancel();
    }
    cancel_.set = true;
    host_.beep();
    std::string text = sj("JVCancel:キャンセルされました");
    host_.show_information(text);
    host_.set_progress_line(text);
    // A cancelled download has no reading loop that would close the reading,
    // and an open left behind makes the next start fail with "still open".
    if (was_downloading && reading_open_) {
        release_writer();
        link_.JVClose();
        reading_open_ = false;
        host_.set_busy_cursor(false);
    }
}

void ImportController::abandon() {
    if (link_.open_pending()) {
        link_.interrupt();
        cancel_.set = true;
        return;
    }
    if (!reading_open_) return;
    stop_timer();
    link_.JVCancel();
    cancel_.set = true;
    link_.JVClose();
    reading_open_ = false;
    host_.set_busy_cursor(false);
}

void ImportController::settings() {
    if (link_.open_pending()) {
        // One call at a time: the component is busy with the open.
        host_.beep();
        host_.show_information(sj("JV-Link の応答を待っています。JVLink設定は取込みの開始が"
                                  "終わってから使えます。"));
        return;
    }
    int r = link_.JVSetUIProperties();
    if (r != 0) {
        host_.beep();
        host_.show_information(sj("JVSetUIPropertiesエラー：") +
                               jv_result_text("JVSetUIProperties", r));
    }
}

}  // namespace tolven
