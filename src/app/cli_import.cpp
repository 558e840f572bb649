// tolven-cli import, refresh and make-sample-feed: the data acquisition
// without windows.
#include <chrono>
#include <csignal>
#include <thread>

#include "app/cli_context.hpp"
#include "jvlink/feed_link.hpp"
#include "jvlink/import.hpp"
#include "jvlink/open_wait.hpp"
#include "jvlink/result_text.hpp"
#include "jvlink/results_refresh.hpp"
#include "platform/utf8_path.hpp"
#include "sample/sample_feed.hpp"
#include "store/cp932.hpp"
#include "store/data_store.hpp"
#include "store/ini_file.hpp"
#include "store/settings_keys.hpp"

namespace tolven::cli {
namespace {

volatile std::sig_atomic_t interrupted = 0;

void on_interrupt(int) {
    interrupted = 1;
}

// JV-Link holding an open, said once per open on stderr: a terminal is no
// place for a second counter. told remembers it until the open returns (0).
void tell_open_wait(int seconds, bool& told) {
    if (seconds > 0 && !told) print_line(stderr, open_wait_notice(seconds));
    told = seconds > 0;
}

// The download window as a terminal: progress and built-data lines on
// stdout, messages on stderr, and Ctrl-C as the cancel button.
class TerminalImportHost : public SilentImportHost {
  public:
    TerminalImportHost(IniFile& ini, bool quiet) : ini_(ini), quiet_(quiet) {}
    ImportController* controller = nullptr;

    void show_information(const std::string& text) override { print_line(stderr, text); }
    bool confirm(const std::string& text) override {
        print_line(stderr, text);
        return true;
    }
    void set_progress_line(const std::string& text) override {
        if (text != last_line_) print_line(stdout, text);
        last_line_ = text;
    }
    void add_built_line(const std::string& text) override {
        SilentImportHost::add_built_line(text);
        if (!quiet_) print_line(stdout, text);
    }
    void open_waiting(int seconds) override { tell_open_wait(seconds, wait_told_); }
    void process_events() override {
        if (interrupted && controller != nullptr) {
            interrupted = 0;
            controller->cancel();
        }
    }
    std::optional<std::string> read_last_time() override {
        std::string value = read_setting_text(ini_, settings::last_import);
        if (value.empty()) return std::nullopt;
        return value;
    }
    void write_last_time(const std::string& text) override {
        write_setting_text(ini_, settings::last_import, text);
    }

  private:
    IniFile& ini_;
    bool quiet_;
    std::string last_line_;
    bool wait_told_ = false;
};

}  // namespace

int run_import(Context& context) {
    std::optional<std::string> from = take_option(context.args, "--from");
    bool quiet = take_flag(context.args, "--quiet");
    if (!context.args.empty()) throw UsageError("import: unexpected argument " + context.args[0]);
    std::optional<DateTime> from_time;
    if (from) {
        from_time = DateTime::from_digits(*from);
        if (!from_time) throw UsageError("--from needs YYYYMMDDhhmmss: " + *from);
    }

    DataStore store(context.base);
    store.create_folders();
    IniFile ini(settings_file(context.base));
    std::unique_ptr<JvLink> link = open_jvlink(context);
    CancelFlag cancel;
    TerminalImportHost host(ini, quiet);
    ImportController import(*link, store, cancel, host);
    host.controller = &import;
    import.open();
    if (from_time) import.set_from_time(*from_time);

    std::signal(SIGINT, on_interrupt);
    import.start();
    // The window's 10 ms status timer; FeedLink copies one file per poll.
    while (import.downloading()) {
        host.process_events();
        import.status_tick();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::signal(SIGINT, SIG_DFL);
    std::printf("%d lines of built data", host.built_lines);
    if (import.rejected_count() > 0) {
        std::printf(", %d records not filed", import.rejected_count());
    }
    std::printf("\n");
    if (import.failed()) return 1;
    if (import.cancel_requested()) {
        // A cancel is no success: the store holds part of the feed.
        std::fprintf(stderr,
                     "import cancelled: %ld built-data lines kept, %ld changes not kept; "
                     "run the import again to complete the store\n",
                     import.kept_lines(), import.changes_not_kept());
        return 1;
    }
    return 0;
}

int run_refresh(Context& context) {
    if (context.args.size() != 1) throw UsageError("refresh needs DAY");
    std::string day = sj(context.args[0]);
    if (auto problem = day_entry_problem(day)) {
        print_line(stderr, *problem);
        return 1;
    }
    DataStore store(context.base);
    auto races = DataStore::read_records(store.day_file(day, ".jvRA"), RecordKind::Race);
    if (!races || races->empty()) {
        print_line(stderr, sj("データ作成が未完了のようです。"));
        return 1;
    }
    std::unique_ptr<JvLink> link = open_jvlink(context);
    CancelFlag cancel;
    bool wait_told = false;
    RefreshHost host{[] {}, [] {}, [](bool) {}, [] {},
                     [&wait_told](int seconds) { tell_open_wait(seconds, wait_told); }};
    RefreshResult result = refresh_results(*link, store, cancel, races->front(), host);
    if (!result.ran) {
        std::fprintf(stderr, "refresh: the day has no race date\n");
        return 1;
    }
    std::printf("%d records filed", result.records_filed);
    if (result.rejected > 0) std::printf(", %d records not filed", result.rejected);
    std::printf("\n");
    if (!result.error.empty()) {
        print_line(stderr, result.error);
        return 1;
    }
    return 0;
}

int run_make_sample_feed(Context& context) {
    SampleFeedOptions options;
    if (auto seed = take_option(context.args, "--seed")) {
        options.seed = static_cast<std::uint64_t>(parse_int(*seed, "--seed"));
    }
    if (auto weeks = take_option(context.args, "--weeks")) {
        options.weeks = parse_int(*weeks, "--weeks");
        if (options.weeks < 0 || options.weeks > 520) throw UsageError("--weeks must be 0..520");
    }
    if (auto today = take_option(context.args, "--today")) {
        options.today = parse_int(*today, "--today");
        if (!valid_date(options.today / 10000, options.today / 100 % 100, options.today % 100)) {
            throw UsageError("--today needs a date YYYYMMDD: " + *today);
        }
    }
    if (context.args.size() != 1) throw UsageError("make-sample-feed needs DIR");
    SampleFeedSummary sum = make_sample_feed(utf8_path(context.args[0]), options);
    std::printf(
        "%d race days (and %d earlier ones with results only), %d races, %d runners, %d horses; "
        "%lld records, %.1f MB in %d files\n",
        sum.days, sum.history_days, sum.races, sum.runners, sum.horses, sum.records,
        static_cast<double>(sum.bytes) / 1e6, sum.files);
    return 0;
}

}  // namespace tolven::cli
