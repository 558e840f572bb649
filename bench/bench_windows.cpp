// Times the windows the way a person meets them, offscreen on the imported
// sample feed: a click on a race-day list entry until every open window has
// painted the new day, and a click on a race tab until the window has painted
// the race. Every race window is open (as after pressing each toolbar
// button), so every one of them takes part in a day load.
//
//   bench_windows [--runs N] [--base DIR]
//
// --base names a folder to keep the imported sample store in; a store found
// there is used as it is (handy when profiling the windows alone).
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QTabBar>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "jvlink/feed_link.hpp"
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
};

// Runs the action, lets the events it posted run, and paints the whole
// window as the screen would show it.
void timed(Times& times, QWidget& window, const std::function<void()>& action) {
    double cpu = threadCpuMs();
    QElapsedTimer timer;
    timer.start();
    action();
    QApplication::processEvents();
    window.repaint();
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
    std::printf("%-30s median %7.2f ms (fastest %6.2f, cpu %6.2f)   goal < %2.0f ms   ratio %.2f\n",
                what, ms, *std::min_element(t.elapsed.begin(), t.elapsed.end()), median(t.cpu),
                goal, ms / goal);
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
    int runs = 21;
    fs::path base = fs::temp_directory_path() / "tolven-bench-windows";
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--base" && i + 1 < argc) {
            base = argv[++i];
            keep = true;
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    standardHandler = qInstallMessageHandler(quietPlatform);
    QApplication app(argc, argv);
    tolven::setup_application(app);

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
    {
        MainWindow form(base, std::make_unique<tolven::FeedLink>(base / "feed", base / "JVCache"));
        form.setClock([] { return kNow; });
        form.setDateIndex(2);
        form.rebuildCatalogue();
        form.show();
        if (!QTest::qWaitForWindowExposed(&form)) return 1;
        QListWidget* list = form.dayList();
        int days = std::min(list->count(), 6);
        if (days < 2) {
            std::fprintf(stderr, "too few days in the sample store\n");
            return 1;
        }
        clickListEntry(list, 0);
        // Every race window open, the prediction window in front as a load
        // leaves it.
        for (const char* button :
             {"RaceCardButton", "GraphButton", "CalculationButton", "SpeedButton9", "PredictionButton"}) {
            form.action(QString::fromLatin1(button))->trigger();
        }
        QApplication::processEvents();

        // The core alone, for comparison: the same days loaded without windows.
        std::vector<double> core;
        Times loads;
        tolven::RaceDay day;
        for (int i = 0; i < runs; ++i) {
            std::string entry = tolven::cp(list->item(i % days)->text());
            auto start = std::chrono::steady_clock::now();
            tolven::load_race_day(day, base, entry);
            core.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count());
        }
        for (int i = 0; i < runs; ++i) {
            timed(loads, form, [&] { clickListEntry(list, (i + 1) % days); });
        }

        std::printf("sample store: %d days listed, %d runs each\n", list->count(), runs);
        report("day load, click to painted", loads, 50);
        std::printf("%-30s median %7.2f ms   (its share of the load)\n",
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
    return 0;
}
