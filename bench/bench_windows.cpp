// Times the windows the way a person meets them, offscreen on the imported
// sample feed:
//  - the start: the program started as tolven does (a child process of its
//    own, the shared libraries loaded) until its main window has painted;
//  - 収支分析: a click on 集計 until the window has painted the report, against
//    tolven-cli balance over the same period of the same store; while it runs
//    the longest stretch without events shows how responsive the window stays,
//    and a second run is stopped with 中止;
//  - a click on each race-day list entry until every open window has painted
//    the new day, with two busy processes beside the program (started here and
//    ended at the end), over every day of the store;
//  - a click on a race tab until the window has painted the race.
// Every race window is open (as after pressing each toolbar button), so every
// one of them takes part in a day load.
//
//   bench_windows [--runs N] [--base DIR] [--no-load]
//
// --base names a folder to keep the imported sample store in; a store found
// there is used as it is (handy when profiling the windows alone). --no-load
// leaves the busy processes out.
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "app/program_start.hpp"
#include "jvlink/feed_link.hpp"
#include "pipeline/backtest.hpp"
#include "windows/BalanceWindow.hpp"
#include "sample/sample_feed.hpp"
#include "mainwindow/MainWindow.hpp"
#include "pipeline/day_loader.hpp"
#include "views/CalculationTableView.hpp"
#include "views/RaceCardView.hpp"
#include "views/TimeGraphView.hpp"
#include "views/PredictionView.hpp"
#include "widgets/application_setup.hpp"
#include "support/sample_store.hpp"
#include "widgets/qt_text.hpp"

namespace fs = std::filesystem;

namespace {

const tolven::DateTime kNow{2026, 12, 6, 10, 0, 0};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double threadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Elapsed and processor times of a series of runs. The machine may be shared:
// the processor time of the user-interface thread shows the program's own
// cost when the elapsed time is stretched by other work.
struct Times {
    std::vector<double> elapsed, cpu;
    std::vector<double> paints;  // widgets painted
};

// Counts the paint events the widgets receive: a timing in which nothing was
// painted would measure nothing.
class PaintCounter : public QObject {
  public:
    int paints = 0;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return QObject::eventFilter(watched, event);
    }
};
PaintCounter* paintCounter = nullptr;

// Runs the action and lets the events it posted run, among them the update
// requests through which every changed window paints itself, as the screen
// shows it. (A forced repaint of the whole window on top, as this benchmark
// once did, paints every view a second time.)
void timed(Times& times, QWidget& window, const std::function<void()>& action) {
    (void)window;
    int painted = paintCounter->paints;
    double cpu = threadCpuMs();
    QElapsedTimer timer;
    timer.start();
    action();
    QApplication::processEvents();
    times.paints.push_back(paintCounter->paints - painted);
    times.elapsed.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    times.cpu.push_back(threadCpuMs() - cpu);
}

void clickListEntry(QListWidget* list, int row) {
    QRect rect = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
}

void clickTab(QTabBar* tabs, int index) {
    QTest::mouseClick(tabs, Qt::LeftButton, Qt::NoModifier, tabs->tabRect(index).center());
}

void report(const char* what, const Times& t, double goal) {
    double ms = median(t.elapsed);
    std::printf(
        "%-30s median %7.2f ms (fastest %6.2f, cpu %6.2f, %3.0f widgets painted)   goal < %2.0f ms   "
        "ratio %.2f\n",
        what, ms, *std::min_element(t.elapsed.begin(), t.elapsed.end()), median(t.cpu),
        median(t.paints), goal, ms / goal);
}

double worst(const std::vector<double>& v) {
    return *std::max_element(v.begin(), v.end());
}

double msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// Processes that only spin, as other programs keeping the processor busy
// beside this one. Ended (by their ids) when the object goes.
class BusyProcesses {
  public:
    explicit BusyProcesses(int count) {
        std::fflush(stdout);
        for (int i = 0; i < count; ++i) {
            pid_t pid = fork();
            if (pid == 0) {
                volatile unsigned long n = 0;
                for (;;) n = n + 1;
            }
            if (pid > 0) pids_.push_back(pid);
        }
    }
    ~BusyProcesses() {
        for (pid_t pid : pids_) kill(pid, SIGKILL);
        for (pid_t pid : pids_) waitpid(pid, nullptr, 0);
    }
    BusyProcesses(const BusyProcesses&) = delete;
    BusyProcesses& operator=(const BusyProcesses&) = delete;
    int count() const { return static_cast<int>(pids_.size()); }

  private:
    std::vector<pid_t> pids_;
};

// The child of the start measurement: the program's start as tolven's main()
// does it (the splash, the base folder, the main window), until the main
// window has painted; the time of that goes to the parent through fd.
int startChild(int argc, char** argv, const fs::path& base, int fd) {
    QApplication app(argc, argv);
    tolven::setup_application(app);
    QApplication::setApplicationName(QStringLiteral("TOLVEN"));
    tolven::ProgramOptions options;
    options.base = base;
    options.feed = base / "feed";
    std::unique_ptr<MainWindow> form = tolven::open_program(options, fs::path(argv[0]));
    if (!form) return 1;
    form->show();
    if (!QTest::qWaitForWindowExposed(form.get())) return 1;
    form->repaint();
    auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    if (write(fd, &now, sizeof now) != sizeof now) return 1;
    // Nothing of the closing (the settings it writes) is measured or kept.
    std::fflush(stdout);
    _exit(0);
}

// Starts this program as the start measurement's child and returns the time
// from the start until its main window painted, in ms; negative on failure.
double timedStart(const char* self, const fs::path& base) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    // What this process printed is not printed again by the child.
    std::fflush(stdout);
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        std::string fd = std::to_string(fds[1]);
        std::string where = base.string();
        execl(self, self, "--start-child", where.c_str(), fd.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::chrono::steady_clock::rep painted = 0;
    bool got = read(fds[0], &painted, sizeof painted) == sizeof painted;
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!got) return -1;
    std::chrono::steady_clock::time_point at{std::chrono::steady_clock::duration(painted)};
    return std::chrono::duration<double, std::milli>(at - start).count();
}

// The wall time of a command, in ms; negative when it fails.
double timedCommand(const std::vector<std::string>& args) {
    std::fflush(stdout);
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        // Its report and progress are not what is measured here.
        if (freopen("/dev/null", "w", stdout) == nullptr) _exit(126);
        if (freopen("/dev/null", "w", stderr) == nullptr) _exit(126);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    double ms = msSince(start);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ms : -1;
}

// The offscreen platform warns about every window it cannot size from its
// hints; that says nothing about the program.
QtMessageHandler standardHandler = nullptr;
void quietPlatform(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains(QLatin1String("propagateSizeHints"))) return;
    if (standardHandler != nullptr) standardHandler(type, context, message);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--start-child") {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        standardHandler = qInstallMessageHandler(quietPlatform);
        int one = 1;
        return startChild(one, argv, argv[2], std::atoi(argv[3]));
    }
    int runs = 21;
    fs::path base = fs::temp_directory_path() / "tolven-bench-windows";
    bool keep = false;
    bool load = true;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--base" && i + 1 < argc) {
            base = argv[++i];
            keep = true;
        } else if (arg == "--no-load") {
            load = false;
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    standardHandler = qInstallMessageHandler(quietPlatform);
    QApplication app(argc, argv);
    tolven::setup_application(app);
    PaintCounter counter;
    paintCounter = &counter;
    app.installEventFilter(&counter);

    if (!keep) fs::remove_all(base);
    if (!fs::exists(base / "Data")) {
        try {
            tolven::testing::import_sample_feed(base, tolven::SampleFeedOptions{33, 4, 20261206},
                                                kNow);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s\n", e.what());
            return 1;
        }
    }

    // The start, each in a fresh process.
    {
        const char* self = "/proc/self/exe";
        char path[4096];
        ssize_t n = readlink(self, path, sizeof path - 1);
        if (n <= 0) return 1;
        path[n] = '\0';
        std::vector<double> starts;
        for (int i = 0; i < 5; ++i) {
            double ms = timedStart(path, base);
            if (ms < 0) {
                std::fprintf(stderr, "the program did not start\n");
                return 1;
            }
            starts.push_back(ms);
        }
        std::printf("%-30s median %7.2f ms (slowest %6.2f)          goal < 500 ms  ratio %.2f\n",
                    "start to main window painted", median(starts), worst(starts),
                    median(starts) / 500.0);
    }

    int status = 0;
    {
        MainWindow form(base, std::make_unique<tolven::FeedLink>(base / "feed", base / "JVCache"));
        form.setClock([] { return kNow; });
        form.setDateIndex(2);
        form.rebuildCatalogue();
        form.show();
        if (!QTest::qWaitForWindowExposed(&form)) return 1;
        QListWidget* list = form.dayList();
        int days = list->count();
        if (days < 2) {
            std::fprintf(stderr, "too few days in the sample store\n");
            return 1;
        }
        clickListEntry(list, 0);

        // 収支分析 over the default period (every day of the sample store),
        // against the command line's balance over the same one.
        form.action(QStringLiteral("BalanceButton"))->trigger();
        QApplication::processEvents();
        BalanceWindow* balance = form.balanceWindow();
        int from = balance->fromEdit()->date().year() * 10000 +
                   balance->fromEdit()->date().month() * 100 + balance->fromEdit()->date().day();
        int to = balance->toEdit()->date().year() * 10000 + balance->toEdit()->date().month() * 100 +
                 balance->toEdit()->date().day();
        fs::path cli = fs::path(QCoreApplication::applicationDirPath().toStdString()) / ".." /
                       "src" / "app" / "tolven-cli";
        std::vector<double> cliTimes, windowTimes, gaps, coreTimes;
        tolven::BalanceOptions balanceOptions;
        balanceOptions.from = from;
        balanceOptions.to = to;
        const int balanceRuns = 3;
        for (int i = 0; i < balanceRuns; ++i) {
            double ms = timedCommand({cli.string(), "--base", base.string(), "balance",
                                      std::to_string(from), std::to_string(to)});
            if (ms < 0) {
                std::fprintf(stderr, "tolven-cli balance failed (%s)\n", cli.c_str());
                return 1;
            }
            cliTimes.push_back(ms);
            auto coreStart = std::chrono::steady_clock::now();
            tolven::run_balance(base, balanceOptions);
            coreTimes.push_back(msSince(coreStart));
            // The longest stretch in which the window's events waited.
            QElapsedTimer sinceTick;
            double longest = 0;
            QTimer ticker;
            ticker.setInterval(5);
            QObject::connect(&ticker, &QTimer::timeout, [&] {
                longest = std::max(longest, static_cast<double>(sinceTick.nsecsElapsed()) / 1e6);
                sinceTick.restart();
            });
            Times t;
            timed(t, form, [&] {
                sinceTick.start();
                ticker.start();
                QTest::mouseClick(balance->runButton(), Qt::LeftButton);
                ticker.stop();
            });
            windowTimes.push_back(t.elapsed.front());
            gaps.push_back(longest);
        }
        int balanceDays = static_cast<int>(balance->report().days.size());
        std::printf("収支分析 %d..%d: %d days, %zu races\n", from, to, balanceDays,
                    balance->report().races.size());
        std::printf("%-30s median %7.2f ms\n", "  tolven-cli balance", median(cliTimes));
        std::printf("%-30s median %7.2f ms   (the backtest in this process, no window)\n",
                    "  run_balance alone", median(coreTimes));
        std::printf("%-30s median %7.2f ms   goal <= 1.2 x cli     ratio %.2f\n",
                    "  window, 集計 to painted", median(windowTimes),
                    median(windowTimes) / median(cliTimes) / 1.2);
        std::printf("%-30s median %7.2f ms   goal < 100 ms         ratio %.2f\n",
                    "  longest wait for events", median(gaps), median(gaps) / 100.0);
        // 中止 pressed a quarter into a run: the time until the window is idle
        // again, and how far the run got.
        {
            QElapsedTimer sinceCancel;
            QTimer::singleShot(static_cast<int>(median(windowTimes) / 4), [&] {
                sinceCancel.start();
                QTest::mouseClick(balance->cancelButton(), Qt::LeftButton);
            });
            QTest::mouseClick(balance->runButton(), Qt::LeftButton);
            double ms = sinceCancel.isValid() ? static_cast<double>(sinceCancel.nsecsElapsed()) / 1e6 : -1;
            bool stopped = balance->report().cancelled;
            std::printf("%-30s %7.2f ms (%s after %zu of %d days)   goal < 100 ms  ratio %.2f\n",
                        "  中止 to stopped", ms, stopped ? "stopped" : "NOT stopped",
                        balance->report().days.size(), balanceDays, ms / 100.0);
            if (!stopped) status = 1;
        }
        for (QWidget* w = balance; w != nullptr; w = w->parentWidget()) {
            if (auto* sub = qobject_cast<QMdiSubWindow*>(w)) {
                sub->close();
                break;
            }
        }
        QApplication::processEvents();

        // Every race window open, the prediction window in front as a load
        // leaves it.
        for (const char* button :
             {"RaceCardButton", "GraphButton", "CalculationButton", "AllocationButton", "PredictionButton"}) {
            form.action(QString::fromLatin1(button))->trigger();
        }
        QApplication::processEvents();
        // The first paint of every view (fonts, glyph caches) is not a day's.
        clickListEntry(list, 0);
        QApplication::processEvents();
        form.repaint();

        // The core alone, for comparison: the same days loaded without windows.
        std::vector<double> core;
        tolven::RaceDay day;
        for (int i = 0; i < days; ++i) {
            std::string entry = tolven::cp(list->item(i)->text());
            auto start = std::chrono::steady_clock::now();
            tolven::load_race_day(day, base, entry);
            core.push_back(msSince(start));
        }
        // Every day of the list, in turn, with busy processes beside.
        Times loads;
        {
            BusyProcesses busy(load ? 2 : 0);
            for (int i = 0; i < std::max(runs, days); ++i) {
                // Scrolled to first, as a person does before clicking.
                list->scrollToItem(list->item((i + 1) % days));
                QApplication::processEvents();
                timed(loads, form, [&] { clickListEntry(list, (i + 1) % days); });
            }
            std::printf("day loads: %d days listed, %zu clicks, %d busy processes beside\n", days,
                        loads.elapsed.size(), busy.count());
        }
        report("day load, click to painted", loads, 50);
        std::printf("%-30s slowest %6.2f ms                      goal < 100 ms  ratio %.2f\n",
                    "", worst(loads.elapsed), worst(loads.elapsed) / 100.0);
        std::printf("%-30s median %7.2f ms   (its share of the load, quiet)\n",
                    "  the core day loader alone", median(core));

        struct Window {
            const char* name;
            const char* button;
            RaceView* form;
        };
        const Window windows[] = {{"race tab, prediction", "PredictionButton", form.predictionView()},
                                  {"race tab, calculation table", "CalculationButton", form.calculationView()},
                                  {"race tab, time graphs", "GraphButton", form.timeGraphView()},
                                  {"race tab, race contents", "RaceCardButton", form.raceCardView()}};
        for (const Window& w : windows) {
            form.action(QString::fromLatin1(w.button))->trigger();
            QApplication::processEvents();
            QTabBar* tabs = w.form->tabs();
            Times changes;
            for (int i = 0; i < runs; ++i) {
                int index = (w.form->currentRace() + 1) % tabs->count();
                timed(changes, form, [&] { clickTab(tabs, index); });
            }
            report(w.name, changes, 16);
        }
    }
    if (!keep) fs::remove_all(base);
    return status;
}
