// Imports one sample feed through the download window (offscreen, started
// with its button as a person starts it, with its progress, event pumping
// and built-data list) and through the import controller with the silent
// host (as tolven-cli import does), each into a fresh store, and prints both
// times and their ratio. The window should take at most 1.2 times as long.
//
//   bench_import_window [--weeks N] [--rounds N] [--only silent|window] [DIR]
//
// Rounds alternate the order; the best time of each way is compared, so that
// a cold cache does not count against either. Besides the elapsed time the
// processor time of the process is measured (user + system). The stores are
// made in memory (/dev/shm) unless DIR says otherwise: on a disk shared with
// other work the time of an import that writes a file per record varies by
// several times between equal runs, which would hide what the window adds.
#include <QApplication>
#include <QDateTimeEdit>
#include <QElapsedTimer>
#include <QListView>
#include <QPushButton>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>

#include "jvlink/feed_link.hpp"
#include "jvlink/import.hpp"
#include "jvlink/result_text.hpp"
#include "sample/sample_feed.hpp"
#include "store/data_store.hpp"
#include "widgets/IniSettings.hpp"
#include "widgets/MessageDialog.hpp"
#include "widgets/application_setup.hpp"
#include "windows/DownloadWindow.hpp"

namespace fs = std::filesystem;
using namespace tolven;

namespace {

struct Result {
    double seconds = 0;
    double cpu = 0;
    int lines = 0;
};

double cpu_seconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto s = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return s(usage.ru_utime) + s(usage.ru_stime);
}

Result import_silently(const fs::path& feed, const fs::path& base) {
    DataStore store(base);
    store.create_folders();
    FeedLink link(feed, base / "JVCache");
    link.JVInit(jvlink_sid());
    CancelFlag cancel;
    SilentImportHost host;
    ImportController import(link, store, cancel, host);
    import.open();
    QElapsedTimer clock;
    clock.start();
    double cpu = cpu_seconds();
    import.start();
    while (import.downloading()) import.status_tick();
    return Result{static_cast<double>(clock.nsecsElapsed()) / 1e9, cpu_seconds() - cpu,
                  host.built_lines};
}

Result import_in_window(const fs::path& feed, const fs::path& base) {
    DataStore store(base);
    store.create_folders();
    FeedLink link(feed, base / "JVCache");
    link.JVInit(jvlink_sid());
    CancelFlag cancel;
    IniSettings::setApplicationDir(base);
    IniSettings ini;
    DownloadWindow form(link, store, cancel, ini);
    form.show();
    form.datePicker()->setDateTime(QDateTime(QDate(2000, 1, 1), QTime(0, 0)));
    QApplication::processEvents();
    QElapsedTimer clock;
    clock.start();
    double cpu = cpu_seconds();
    form.startButton()->click();
    while (form.running()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    Result r{static_cast<double>(clock.nsecsElapsed()) / 1e9, cpu_seconds() - cpu,
             form.builtList()->model()->rowCount()};
    form.close();
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    setup_application(app);
    // The dialogs of a run (start notice, end) answer themselves.
    MessageDialog::setAutoAnswer(QMessageBox::Ok);

    int weeks = 30;
    int rounds = 3;
    std::string only;  // profiling one way
    fs::path dir =
        (fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path()) /
        "tolven-bench-import-window";
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--weeks" && i + 1 < argc) {
            weeks = std::atoi(argv[++i]);
        } else if (arg == "--only" && i + 1 < argc) {
            only = argv[++i];
        } else if (arg == "--rounds" && i + 1 < argc) {
            rounds = std::max(1, std::atoi(argv[++i]));
        } else {
            dir = arg;
        }
    }
    fs::remove_all(dir);
    SampleFeedOptions options;
    options.weeks = weeks;
    SampleFeedSummary sum = make_sample_feed(dir / "feed", options);

    Result best_silent{1e9, 1e9, 0}, best_window{1e9, 1e9, 0};
    for (int round = 0; round < rounds; ++round) {
        for (int way = 0; way < 2; ++way) {
            bool window = (way + round) % 2 == 1;
            if (!only.empty() && only != (window ? "window" : "silent")) continue;
            fs::path base = dir / ("base-" + std::to_string(round) + "-" + std::to_string(way));
            Result r =
                window ? import_in_window(dir / "feed", base) : import_silently(dir / "feed", base);
            std::printf("round %d, %-7s %.3f s elapsed, %.3f s processor\n", round + 1,
                        window ? "window:" : "silent:", r.seconds, r.cpu);
            std::fflush(stdout);
            Result& best = window ? best_window : best_silent;
            best.seconds = std::min(best.seconds, r.seconds);
            best.cpu = std::min(best.cpu, r.cpu);
            best.lines = r.lines;
            fs::remove_all(base);
        }
    }
    std::printf("sample feed:           %d weeks, %d race days, %d races, %d runners\n", weeks,
                sum.days, sum.races, sum.runners);
    std::printf("stores in:             %s\n", dir.string().c_str());
    std::printf("built-data lines:      %d (window list), %d (silent host)\n", best_window.lines,
                best_silent.lines);
    std::printf("import, silent host:   %.3f s elapsed, %.3f s processor (best of %d)\n",
                best_silent.seconds, best_silent.cpu, rounds);
    std::printf("import, window:        %.3f s elapsed, %.3f s processor (best of %d)\n",
                best_window.seconds, best_window.cpu, rounds);
    std::printf("ratio window / silent: %.2f elapsed, %.2f processor (goal <= 1.2)\n",
                best_window.seconds / best_silent.seconds, best_window.cpu / best_silent.cpu);
    fs::remove_all(dir);
    return only.empty() && best_window.lines != best_silent.lines ? 1 : 0;
}
