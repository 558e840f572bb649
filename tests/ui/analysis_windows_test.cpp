// The race windows (予想表, 計算表, タイムグラフ, ﾚｰｽ内容表示), the fund
// allocation and its investment dialog, driven as a person drives them: the
// day is loaded by clicking its list entry, races are changed by clicking the
// visible tab, check items are ticked by mouse, keyboard and the accessible
// action, amounts are typed. What is asserted is what the person sees.
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QBarCategoryAxis>
#include <QBarSet>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedBarSeries>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QValueAxis>
#include <QHeaderView>
#include <QMdiSubWindow>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>

#include <algorithm>
#include <cmath>
#include <functional>

#include "layouts/view_tables.hpp"
#include "mainwindow/MainWindow.hpp"
#include "store/data_store.hpp"
#include "support/temp_dir.hpp"
#include "ui_fixture.hpp"
#include "ui_tests.hpp"
#include "views/CalculationTableView.hpp"
#include "views/RaceCardView.hpp"
#include "views/RaceView.hpp"
#include "views/TimeGraphView.hpp"
#include "views/PredictionView.hpp"
#include "widgets/MessageDialog.hpp"
#include "widgets/NumberEdit.hpp"
#include "widgets/qt_text.hpp"
#include "windows/FundAllocationView.hpp"
#include "windows/InvestmentDialog.hpp"

namespace fs = std::filesystem;
using namespace tolven::testing;
using tolven::qs;

namespace {

// The toolbar button of an action, clicked where it is seen.
void clickToolButton(MainWindow& form, const char* action) {
    auto* bar = form.findChild<QToolBar*>(QStringLiteral("ToolBar"));
    QVERIFY(bar != nullptr);
    QWidget* button = bar->widgetForAction(form.action(QString::fromLatin1(action)));
    QVERIFY2(button != nullptr, action);
    TOLVEN_REQUIRE(clickWidget(button));
    QApplication::processEvents();
}

// The race windows: the toolbar button that brings each up and the window.
struct RaceWindow {
    const char* button;
    std::function<RaceView*(MainWindow&)> form;
};

const RaceWindow kRaceWindows[] = {
    {"PredictionButton", [](MainWindow& f) -> RaceView* { return f.predictionView(); }},
    {"CalculationButton", [](MainWindow& f) -> RaceView* { return f.calculationView(); }},
    {"GraphButton", [](MainWindow& f) -> RaceView* { return f.timeGraphView(); }},
    {"RaceCardButton", [](MainWindow& f) -> RaceView* { return f.raceCardView(); }},
};

// The title line of a race header begins with the race number, "%2dR".
QString raceTitlePrefix(int race) {
    return QString::asprintf("%2dR", race);
}

// Runs `drive` on the modal dialog that `open` brings up.
void withModalDialog(const std::function<void(QDialog&)>& drive,
                     const std::function<void()>& open) {
    bool driven = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog != nullptr);
        // A window manager gives the keyboard to a dialog that comes up.
        dialog->activateWindow();
        QVERIFY(QTest::qWaitFor([dialog] { return QApplication::activeWindow() == dialog; }));
        driven = true;
        drive(*dialog);
        if (dialog->isVisible()) dialog->reject();
    });
    open();
    QVERIFY(driven);
}

QValueAxis* leftAxis(QChart* chart) {
    for (QAbstractAxis* axis : chart->axes(Qt::Vertical)) {
        if (axis->alignment() == Qt::AlignLeft) return qobject_cast<QValueAxis*>(axis);
    }
    return nullptr;
}

// The user file's runner line of race n, horse h.
std::string userFileLine(const tolven::RaceDay& day, int n, int horse) {
    std::vector<std::string> lines = tolven::split_lines(read_bytes(day.user_file));
    std::size_t at = static_cast<std::size_t>(25 * n + 2 + horse);
    return at < lines.size() ? lines[at] : std::string();
}

// The runner line the user grid shows for a row: " b|hh|t|t|..|rk|score|".
std::string shownLine(QTableWidget* grid, int row) {
    auto text = [&](int c) { return tolven::cp(grid->item(row, c)->text()); };
    std::string line = " " + text(0) + "|" + text(1) + "|";
    for (int c : {3, 4, 6, 7, 9, 10, 12, 13, 14})
        line += (text(c).empty() ? "0" : "1") + std::string("|");
    return line + text(15) + "|" + text(16) + "|";
}

// A bar's label keeps within its bar's width and lies wholly inside the bar
// or wholly above it, never across its top.
void requireLabelsOverOwnBars(TimeGraphView* graph, const tolven::RaceDay& day, int page, int n) {
    QApplication::processEvents();
    QChart* chart = graph->chart(page);
    QAbstractSeries* series = chart->series().first();
    auto bars = page == 1 ? tolven::ability_order_bars(day, n) : tolven::composite_bars(day, n);
    qreal slot = chart->mapToPosition(QPointF(1, 280), series).x() -
                 chart->mapToPosition(QPointF(0, 280), series).x();
    QList<QRectF> rects = graph->labelRects(page);
    QVERIFY(!rects.isEmpty());
    for (const QRectF& r : rects) {
        int i = qRound(chart->mapToValue(r.center(), series).x());
        QVERIFY(i >= 0 && i < static_cast<int>(bars.size()));
        QPointF top = chart->mapToPosition(QPointF(i, bars[static_cast<std::size_t>(i)].value), series);
        QVERIFY2(r.width() < slot, qPrintable(QStringLiteral("race %1 bar %2 label %3 wide in %4")
                                                  .arg(n + 1).arg(i).arg(r.width()).arg(slot)));
        QVERIFY2(std::abs(r.center().x() - top.x()) < 1, qPrintable(QString::number(i)));
        QVERIFY2(r.bottom() <= top.y() || r.top() >= top.y(),
                 qPrintable(QStringLiteral("race %1 bar %2 across its top").arg(n + 1).arg(i)));
    }
}

}  // namespace

class AnalysisWindowsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<MainWindow> form_;

    // Opens the main window at its default size and loads a day of the list
    // by clicking it.
    void openOnDay(int entry = 0) {
        form_ = openMainWindow(sampleBase());
        QVERIFY(form_ != nullptr);
        QVERIFY(form_->dayList()->count() > entry);
        TOLVEN_REQUIRE(clickListRow(form_->dayList(), entry));
        QVERIFY(form_->dayLoaded());
        QVERIFY(form_->dayComplete());
    }

    // The race with the most runners.
    int fullestRace() const {
        int best = 0;
        for (int n = 0; n < form_->day().race_count; ++n) {
            if (form_->day().runners(n) > form_->day().runners(best)) best = n;
        }
        return best;
    }

  private slots:
    void initTestCase() { MessageDialog::setAutoAnswer(QMessageBox::Ok); }
    void cleanupTestCase() { MessageDialog::setAutoAnswer(std::nullopt); }
    void cleanup() { form_.reset(); }

    void raceTabsChangeTheRace_data() {
        QTest::addColumn<int>("window");
        for (int i = 0; i < 4; ++i) QTest::newRow(kRaceWindows[i].button) << i;
    }
    // Every race window: its tab strip is seen with one tab per race, and a
    // click on a tab shows that race, also after a second day is loaded.
    void raceTabsChangeTheRace() {
        QFETCH(int, window);
        const RaceWindow& w = kRaceWindows[window];
        TOLVEN_REQUIRE(openOnDay());
        for (int load = 0; load < 2; ++load) {
            if (load == 1) TOLVEN_REQUIRE(clickListRow(form_->dayList(), 1));
            TOLVEN_REQUIRE(clickToolButton(*form_, w.button));
            RaceView* race = w.form(*form_);
            QTabBar* tabs = race->tabs();
            TOLVEN_REQUIRE(requireShowing(tabs));
            QCOMPARE(tabs->count(), form_->day().race_count);
            QCOMPARE(tabs->tabText(0), QStringLiteral("1 R"));
            QVERIFY(race->headerLine(0).startsWith(raceTitlePrefix(1)));
            for (int n : {2, form_->day().race_count - 1, 0}) {
                TOLVEN_REQUIRE(clickTab(tabs, n));
                QCOMPARE(tabs->currentIndex(), n);
                QVERIFY2(race->headerLine(0).startsWith(raceTitlePrefix(n + 1)),
                         qPrintable(race->headerLine(0)));
            }
            TOLVEN_REQUIRE(requireOnScreen(form_.get()));
        }
    }

    // Each race window shows the race of the clicked tab: every cell text and
    // colour, also after a race with fewer runners was shown in between.
    void windowsShowTheClickedRace() {
        TOLVEN_REQUIRE(openOnDay());
        const tolven::RaceDay& day = form_->day();
        int big = fullestRace(), small = 0;
        for (int n = 0; n < day.race_count; ++n) {
            if (day.runners(n) < day.runners(small)) small = n;
        }
        QVERIFY(day.runners(small) < day.runners(big));
        auto compare = [](QTableWidget* grid, const auto& rows, const QString& what) {
            QCOMPARE(grid->rowCount(), static_cast<int>(rows.size()));
            for (int r = 0; r < grid->rowCount(); ++r) {
                const auto& row = rows[static_cast<std::size_t>(r)];
                for (std::size_t c = 0; c < row.size(); ++c) {
                    QVERIFY2(grid->item(r, static_cast<int>(c))->text() == qs(row[c]),
                             qPrintable(QStringLiteral("%1 (%2, %3): \"%4\"")
                                            .arg(what)
                                            .arg(r)
                                            .arg(c)
                                            .arg(grid->item(r, static_cast<int>(c))->text())));
                }
                QCOMPARE(
                    grid->item(r, 0)->background().color(),
                    RaceView::rgb(tolven::bracket_colour(row[0].empty() ? 0 : row[0][0] - '0')));
            }
        };
        PredictionView* predictionView = form_->predictionView();
        CalculationTableView* cal = form_->calculationView();
        for (int n : {big, small, big}) {
            TOLVEN_REQUIRE(clickToolButton(*form_, "PredictionButton"));
            TOLVEN_REQUIRE(clickTab(predictionView->tabs(), n));
            TOLVEN_REQUIRE(clickTab(predictionView->pages()->tabBar(), 0));
            compare(predictionView->computerGrid(), tolven::computer_prediction_rows(day, n), "computer");
            if (QTest::currentTestFailed()) return;
            QCOMPARE(predictionView->computerGrid()->item(0, 4)->background().color(), QColor(0, 255, 0));
            QCOMPARE(predictionView->computerGrid()->item(0, 5)->background().color(), QColor(0, 255, 255));
            QCOMPARE(predictionView->patternBox()->text(), QString::fromStdString(std::string(tolven::pattern_letter(day.prediction[n].pattern))));
            QCOMPARE(predictionView->computerQuinella()->count(), 9);
            QCOMPARE(predictionView->computerQuinella()->item(0)->text(),
                     QStringLiteral("  ") + qs(tolven::bet_text(day.bets[n].computer_quinella[0])));
            TOLVEN_REQUIRE(clickTab(predictionView->pages()->tabBar(), 1));
            QCOMPARE(predictionView->userGrid()->rowCount(), day.runners(n));
            for (int r = 0; r < day.runners(n); ++r) {
                QCOMPARE(predictionView->userGrid()->item(r, 2)->text(), qs(day.horse_name(n, r)));
                QCOMPARE(predictionView->userGrid()->item(r, 5)->background().color(), QColor(Qt::black));
            }

            TOLVEN_REQUIRE(clickToolButton(*form_, "CalculationButton"));
            TOLVEN_REQUIRE(clickTab(cal->tabs(), n));
            TOLVEN_REQUIRE(clickTab(cal->pages()->tabBar(), 0));
            compare(cal->timeGrid(), tolven::calc_time_rows(day, n), "time");
            if (QTest::currentTestFailed()) return;
            QCOMPARE(cal->timeGrid()->item(0, 8)->background().color(), QColor(0, 255, 255));
            QCOMPARE(cal->timeGrid()->item(0, 9)->background().color(), QColor(0, 255, 0));
            TOLVEN_REQUIRE(clickTab(cal->pages()->tabBar(), 1));
            compare(cal->f3Grid(), tolven::calc_f3_rows(day, n), "three furlongs");
            if (QTest::currentTestFailed()) return;

            TOLVEN_REQUIRE(clickToolButton(*form_, "RaceCardButton"));
            TOLVEN_REQUIRE(clickTab(form_->raceCardView()->tabs(), n));
            compare(form_->raceCardView()->grid(), tolven::contents_rows(day, n), "contents");
            if (QTest::currentTestFailed()) return;
        }
    }

    // A check item is ticked by a click, by Space or Enter on the current
    // cell, and by the cell's accessible action; each recomputes the user
    // score and rank, rebuilds the user bets and saves the user file. The
    // arrow keys only move; Tab leaves the grid.
    void userGridTicksByMouseKeyboardAndScreenReader() {
        TOLVEN_REQUIRE(openOnDay());
        PredictionView* predictionView = form_->predictionView();
        const int n = 2;
        TOLVEN_REQUIRE(clickTab(predictionView->tabs(), n));
        TOLVEN_REQUIRE(clickTab(predictionView->pages()->tabBar(), 1));
        QTableWidget* grid = predictionView->userGrid();
        TOLVEN_REQUIRE(requireShowing(grid));
        const tolven::RaceDay& day = form_->day();
        const int runners = day.runners(n);
        QCOMPARE(grid->rowCount(), runners);
        QCOMPARE(predictionView->userQuinella()->count(), 0);

        auto expectTicked = [&](int row, int column, double points) {
            QCOMPARE(grid->item(row, column)->text(), QStringLiteral("●"));
            double score = day.figures[n].runner[row].composite + points / runners;
            QCOMPARE(grid->item(row, 16)->text(), QString::asprintf("%7.3f", score));
            for (int r = 0; r < runners; ++r)
                QVERIFY(!grid->item(r, 15)->text().trimmed().isEmpty());
            QVERIFY(predictionView->userQuinella()->count() > 0);
            // The file holds what the grid shows.
            QCOMPARE(userFileLine(day, n, row + 1), shownLine(grid, row));
        };

        // A click on 厩◎ of the first runner.
        TOLVEN_REQUIRE(clickCell(grid, 0, 3));
        expectTicked(0, 3, 15);
        if (QTest::currentTestFailed()) return;

        // Down and Right move to 厩○ of the second runner without ticking
        // anything; Space ticks it, Enter unticks it, Return ticks it again.
        TOLVEN_REQUIRE(pressKey(grid, Qt::Key_Down));
        TOLVEN_REQUIRE(pressKey(grid, Qt::Key_Right));
        QCOMPARE(grid->currentIndex(), grid->model()->index(1, 4));
        QCOMPARE(grid->item(1, 3)->text(), QString());
        QCOMPARE(grid->item(1, 4)->text(), QString());
        TOLVEN_REQUIRE(pressKey(grid, Qt::Key_Space));
        expectTicked(1, 4, 12);
        if (QTest::currentTestFailed()) return;
        TOLVEN_REQUIRE(pressKey(grid, Qt::Key_Enter));
        QCOMPARE(grid->item(1, 4)->text(), QString());
        QCOMPARE(userFileLine(day, n, 2), shownLine(grid, 1));
        TOLVEN_REQUIRE(pressKey(grid, Qt::Key_Return));
        expectTicked(1, 4, 12);
        if (QTest::currentTestFailed()) return;

        // A screen reader's action on パ× of the third runner.
        QAccessibleInterface* table = accessibleOf(grid);
        QVERIFY(table != nullptr && table->tableInterface() != nullptr);
        QAccessibleInterface* cell = table->tableInterface()->cellAt(2, 7);
        QVERIFY(cell != nullptr);
        QCOMPARE(cell->text(QAccessible::Name), QStringLiteral("パ×"));
        QVERIFY(!cell->state().checked);
        {
            AccessibleEvents events;
            QVERIFY(doAccessibleAction(cell, QAccessibleActionInterface::toggleAction()));
            expectTicked(2, 7, -10);
            if (QTest::currentTestFailed()) return;
            // The screen reader is told of the tick and of the new total,
            // and so reads what the screen shows.
            QVERIFY2(events.received(QAccessible::StateChanged, QStringLiteral("パ×")),
                     qPrintable(events.list()));
            QVERIFY2(events.received(QAccessible::NameChanged, grid->item(2, 16)->text()),
                     qPrintable(events.list()));
        }
        QVERIFY(table->tableInterface()->cellAt(2, 7)->state().checked);
        QCOMPARE(table->tableInterface()->selectedCellCount(), 0);

        // Tab takes the focus out of the grid.
        TOLVEN_REQUIRE(pressKey(grid, Qt::Key_Tab));
        QVERIFY(QApplication::focusWidget() != nullptr);
        QVERIFY(QApplication::focusWidget() != grid);
    }

    // 能力軸（左軸)固定 redraws the graphs whichever way it is toggled; the
    // horse and past-run selectors redraw pages 3 and 4 by keyboard.
    void graphControlsWorkByKeyboardAndScreenReader() {
        TOLVEN_REQUIRE(openOnDay());
        TOLVEN_REQUIRE(clickToolButton(*form_, "GraphButton"));
        TimeGraphView* graph = form_->timeGraphView();
        const int n = fullestRace();
        TOLVEN_REQUIRE(clickTab(graph->tabs(), n));
        TOLVEN_REQUIRE(clickTab(graph->pages()->tabBar(), 2));
        QValueAxis* trend = leftAxis(graph->chart(3));
        QVERIFY(trend != nullptr);
        QCOMPARE(trend->min(), 90.0);
        QCOMPARE(trend->max(), 120.0);

        // Space on the check box: the axis follows the figures.
        TOLVEN_REQUIRE(pressKey(graph->axisFixed(), Qt::Key_Space));
        QVERIFY(!graph->axisFixed()->isChecked());
        QVERIFY(trend->min() != 90.0 || trend->max() != 120.0);
        // The screen reader's toggle: fixed again.
        QVERIFY(doAccessibleAction(accessibleOf(graph->axisFixed()),
                                   QAccessibleActionInterface::toggleAction()));
        QVERIFY(graph->axisFixed()->isChecked());
        QCOMPARE(trend->min(), 90.0);
        QCOMPARE(trend->max(), 120.0);
        QVERIFY(doAccessibleAction(accessibleOf(graph->axisFixed()),
                                   QAccessibleActionInterface::toggleAction()));
        QVERIFY(trend->min() != 90.0 || trend->max() != 120.0);

        // Down on the horse selector shows the second horse.
        const tolven::RaceDay& day = form_->day();
        QString second =
            qs(std::string(tolven::field_text(day.runner[n][1], tolven::se::horse_name)));
        TOLVEN_REQUIRE(pressKey(graph->horseSelector(), Qt::Key_Down));
        QCOMPARE(graph->horseSelector()->currentText(), QStringLiteral("2番"));
        QCOMPARE(graph->horseName()->text(), second);
        QVERIFY(accessibleOf(graph->chartView(3))
                    ->text(QAccessible::Description)
                    .startsWith(QStringLiteral("2番 ") + second.trimmed()));
        TOLVEN_REQUIRE(pressKey(graph->horseSelector(), Qt::Key_End));
        QCOMPARE(graph->horseSelector()->currentText(), QStringLiteral("%1番").arg(day.runners(n)));

        // Page 4 by keyboard: past run 2, then the averages.
        TOLVEN_REQUIRE(clickTab(graph->pages()->tabBar(), 3));
        QValueAxis* comparison = leftAxis(graph->chart(4));
        QVERIFY(comparison != nullptr);
        QVERIFY(comparison->min() != 90.0 || comparison->max() != 120.0);
        TOLVEN_REQUIRE(pressKey(graph->runSelector(), Qt::Key_Down));
        QCOMPARE(graph->runSelector()->currentText(), QStringLiteral("前走-2"));
        tolven::ComparisonBars run2 = tolven::comparison_bars(day, n, 2);
        QString description = accessibleOf(graph->chartView(4))->text(QAccessible::Description);
        QVERIFY2(description.startsWith(QStringLiteral("前走-2 ")), qPrintable(description));
        QVERIFY(description.contains(qs(tolven::graph_values_text(run2.time, tolven::sj("番")))));
        TOLVEN_REQUIRE(pressKey(graph->runSelector(), Qt::Key_End));
        QCOMPARE(graph->runSelector()->currentText(), QStringLiteral("全平均"));
        tolven::ComparisonBars averages = tolven::comparison_bars(day, n, 0);
        QVERIFY(accessibleOf(graph->chartView(4))
                    ->text(QAccessible::Description)
                    .contains(qs(tolven::graph_values_text(averages.f3, tolven::sj("番")))));
    }

    // What assistive technology reads: the pattern letter, the four graphs
    // with what they plot and their values, the bet lists.
    void screenReaderReadsPatternGraphsAndBets() {
        TOLVEN_REQUIRE(openOnDay());
        const tolven::RaceDay& day = form_->day();
        PredictionView* predictionView = form_->predictionView();
        const int n = 1;
        TOLVEN_REQUIRE(clickTab(predictionView->tabs(), n));
        QAccessibleInterface* pattern = accessibleOf(predictionView->patternBox());
        QVERIFY(pattern != nullptr);
        QCOMPARE(pattern->text(QAccessible::Name), QStringLiteral("ﾊﾟﾀｰﾝ"));
        QCOMPARE(pattern->text(QAccessible::Value),
                 QString::fromStdString(std::string(tolven::pattern_letter(day.prediction[n].pattern))));
        QVERIFY(QStringList({"A", "B", "C"}).contains(pattern->text(QAccessible::Value)));

        QAccessibleInterface* quinella = accessibleOf(predictionView->computerQuinella());
        QCOMPARE(quinella->text(QAccessible::Name), QStringLiteral("コンピュータ予想 馬連"));
        QCOMPARE(quinella->childCount(), 9);
        QCOMPARE(quinella->child(0)->text(QAccessible::Name),
                 QStringLiteral("  ") + qs(tolven::bet_text(day.bets[n].computer_quinella[0])));
        QCOMPARE(accessibleOf(predictionView->userBracket())->text(QAccessible::Name),
                 QStringLiteral("ユーザー予想 枠連"));

        TOLVEN_REQUIRE(clickToolButton(*form_, "GraphButton"));
        TimeGraphView* graph = form_->timeGraphView();
        TOLVEN_REQUIRE(clickTab(graph->tabs(), n));
        const char* titles[] = {"馬別能力序列グラフ", "馬別総合能力比較ｸﾞﾗﾌ", "各馬能力推移ｸﾞﾗﾌ",
                                "馬別能力比較ｸﾞﾗﾌ"};
        const std::vector<tolven::GraphPoint> values[] = {
            tolven::ability_order_bars(day, n), tolven::composite_bars(day, n),
            tolven::runner_trend(day, n, 0).time, tolven::comparison_bars(day, n, 1).f3};
        for (int page = 1; page <= 4; ++page) {
            TOLVEN_REQUIRE(clickTab(graph->pages()->tabBar(), page - 1));
            QAccessibleInterface* chart = accessibleOf(graph->chartView(page));
            QCOMPARE(chart->text(QAccessible::Name), QString::fromUtf8(titles[page - 1]));
            QString description = chart->text(QAccessible::Description);
            const auto& points = values[page - 1];
            QString expected =
                qs(tolven::graph_values_text(points, page == 3 ? std::string() : tolven::sj("番")));
            QVERIFY2(description.contains(expected),
                     qPrintable(description + QStringLiteral(" / ") + expected));
        }
        // The first bar of page 1 is the best runner, with its score.
        QString first = accessibleOf(graph->chartView(1))->text(QAccessible::Description);
        const tolven::GraphPoint& best = values[0].front();
        QVERIFY(first.contains(QStringLiteral("：") + qs(best.label).trimmed() +
                               QStringLiteral("番 ") + qs(tolven::axis_number(best.value))));
    }

    // Cancel keeps what was typed and recomputes nothing; OK splits with it;
    // the next day load arms the fields afresh.
    void investmentCancelKeepsTypedAmounts() {
        TOLVEN_REQUIRE(openOnDay());
        TOLVEN_REQUIRE(clickToolButton(*form_, "AllocationButton"));
        FundAllocationView* allocationView = form_->allocationView();
        QTableWidget* grid = allocationView->grid();
        tolven::FundAllocation& money = form_->allocation();
        int race = 0;
        for (int i = 1; i <= money.races() && race == 0; ++i) {
            if (money.graded(i) && money.bet_count(i) > 0) race = i;
        }
        QVERIFY(race > 0);
        const QString before = grid->item(2 * race, 12)->text();
        const QString totalBefore = allocationView->totalStake()->text();
        QCOMPARE(grid->item(2 * race, 2)->text(), QStringLiteral("  10000"));
        auto* invest = allocationView->findChild<QPushButton*>(QStringLiteral("InvestButton"));
        QVERIFY(invest != nullptr);

        auto typeAndPress = [&](const char* amount, const char* button) {
            withModalDialog(
                [&](QDialog& dialog) {
                    TOLVEN_REQUIRE(requireOnScreen(&dialog));
                    auto* field =
                        dialog.findChild<NumberEdit*>(QStringLiteral("NValEdit%1").arg(race));
                    QVERIFY(field != nullptr);
                    TOLVEN_REQUIRE(clickWidget(field));
                    if (amount != nullptr) QTest::keyClicks(field, QString::fromLatin1(amount));
                    TOLVEN_REQUIRE(
                        clickWidget(dialog.findChild<QPushButton*>(QString::fromLatin1(button))));
                },
                [&] { TOLVEN_REQUIRE(clickWidget(invest)); });
        };
        auto fieldShown = [&](QString& text) {
            withModalDialog(
                [&](QDialog& dialog) {
                    text = dialog.findChild<NumberEdit*>(QStringLiteral("NValEdit%1").arg(race))
                               ->displayText();
                },
                [&] { TOLVEN_REQUIRE(clickWidget(invest)); });
        };

        // 25000 typed, then キャンセル: the table is as it was.
        TOLVEN_REQUIRE(typeAndPress("25000", "CancelButton"));
        QCOMPARE(grid->item(2 * race, 2)->text(), QStringLiteral("  10000"));
        QCOMPARE(grid->item(2 * race, 12)->text(), before);
        QCOMPARE(allocationView->totalStake()->text(), totalBefore);
        // Opened again, the field still holds what was typed.
        QString shown;
        TOLVEN_REQUIRE(fieldShown(shown));
        QCOMPARE(shown, QStringLiteral("25,000"));
        // OK splits with it.
        TOLVEN_REQUIRE(typeAndPress(nullptr, "OkButton"));
        QCOMPARE(grid->item(2 * race, 2)->text(), QStringLiteral("  25000"));
        QVERIFY(grid->item(2 * race, 12)->text().trimmed().toInt() > before.trimmed().toInt());
        // A day load arms the fields again with 10000.
        TOLVEN_REQUIRE(clickListRow(form_->dayList(), 0));
        TOLVEN_REQUIRE(clickToolButton(*form_, "AllocationButton"));
        TOLVEN_REQUIRE(fieldShown(shown));
        QCOMPARE(shown, QStringLiteral("10,000"));
    }

    void windowsFitAtTheirDefaultSize_data() {
        QTest::addColumn<int>("window");
        for (int i = 0; i < 4; ++i) QTest::newRow(kRaceWindows[i].button) << i;
    }
    // Every race of every race window at the default size: header lines,
    // grid cells and titles fit, no cell has to be scrolled to, the window
    // lies on the screen.
    void windowsFitAtTheirDefaultSize() {
        QFETCH(int, window);
        const RaceWindow& w = kRaceWindows[window];
        TOLVEN_REQUIRE(openOnDay());
        TOLVEN_REQUIRE(clickToolButton(*form_, w.button));
        TOLVEN_REQUIRE(requireOnScreen(form_.get()));
        RaceView* race = w.form(*form_);
        QVector<QWidget*> pages;
        if (auto* predictionView = qobject_cast<PredictionView*>(race)) {
            pages = {predictionView->pages()->widget(0), predictionView->pages()->widget(1)};
        } else if (auto* cal = qobject_cast<CalculationTableView*>(race)) {
            pages = {cal->timeGrid(), cal->f3Grid()};
        } else if (auto* graph = qobject_cast<TimeGraphView*>(race)) {
            pages = {graph->pages()->widget(2)};
        } else {
            pages = {race};
        }
        for (int n = 0; n < form_->day().race_count; ++n) {
            TOLVEN_REQUIRE(clickTab(race->tabs(), n));
            for (int i = 0; i < 4; ++i) TOLVEN_REQUIRE(requireTextFits(race->headerLabel(i)));
            for (QWidget* page : pages) {
                if (auto* tabs = page->parentWidget() ? qobject_cast<QTabWidget*>(
                                                            page->parentWidget()->parentWidget())
                                                      : nullptr) {
                    TOLVEN_REQUIRE(clickTab(tabs->tabBar(), tabs->indexOf(page)));
                }
                QApplication::processEvents();
                QList<QTableWidget*> grids = page->findChildren<QTableWidget*>();
                if (auto* self = qobject_cast<QTableWidget*>(page)) grids << self;
                for (QTableWidget* grid : grids) {
                    QCOMPARE(grid->rowCount(), form_->day().runners(n));
                    TOLVEN_REQUIRE(requireCellsFit(grid));
                    TOLVEN_REQUIRE(requireAllCellsSeen(grid));
                }
                for (QListWidget* list : page->findChildren<QListWidget*>()) {
                    TOLVEN_REQUIRE(requireItemsFit(list));
                }
                for (QLabel* label : page->findChildren<QLabel*>()) {
                    if (label->isVisible() && !label->text().isEmpty()) {
                        TOLVEN_REQUIRE(requireTextFits(label));
                    }
                }
            }
        }
    }

    // The race contents: the sex-and-age and blinker texts are whole.
    void raceContentsShowWholeTexts() {
        TOLVEN_REQUIRE(openOnDay());
        TOLVEN_REQUIRE(clickToolButton(*form_, "RaceCardButton"));
        RaceCardView* contents = form_->raceCardView();
        QTableWidget* grid = contents->grid();
        // Right after the load: race 1 as the main window composes it.
        QVERIFY(contents->headerLine(0).startsWith(QStringLiteral(" 1R")));
        QVERIFY(!contents->headerLine(0).startsWith(QStringLiteral(" 1R　")));
        bool blinker = false;
        const int races = form_->day().race_count;
        for (int i = 1; i <= races; ++i) {
            const int n = i % races;
            TOLVEN_REQUIRE(clickTab(contents->tabs(), n));
            QVERIFY(
                contents->headerLine(0).startsWith(raceTitlePrefix(n + 1) + QStringLiteral("　")));
            auto rows = tolven::contents_rows(form_->day(), n);
            for (int r = 0; r < grid->rowCount(); ++r) {
                QCOMPARE(grid->item(r, 5)->text(), qs(rows[static_cast<std::size_t>(r)][5]));
                blinker = blinker || grid->item(r, 6)->text() == QStringLiteral("ﾌﾞﾘﾝ");
            }
            TOLVEN_REQUIRE(requireCellsFit(grid));
        }
        QVERIFY2(blinker, "no runner with blinkers on the sample day");
    }

    // The allocation grid: 14-pixel rows, no lines between the two rows of a
    // race, a three-pixel black rule under each race, a header row that
    // cannot be selected, and the cells where range selection works.
    void allocationGridLooksAsDesigned() {
        TOLVEN_REQUIRE(openOnDay());
        TOLVEN_REQUIRE(clickToolButton(*form_, "AllocationButton"));
        QTableWidget* grid = form_->allocationView()->grid();
        TOLVEN_REQUIRE(requireCellsFit(grid));
        TOLVEN_REQUIRE(requireAllCellsSeen(grid));
        TOLVEN_REQUIRE(requireTextFits(form_->allocationView()->totalBets()));
        TOLVEN_REQUIRE(requireTextFits(form_->allocationView()->totalStake()));
        QCOMPARE(grid->rowCount(), 2 * form_->day().race_count + 1);
        for (int r = 0; r < grid->rowCount(); ++r) QCOMPARE(grid->rowHeight(r), 14);
        const int widths[] = {38, 45, 55, 50, 50, 50, 50, 50, 50, 50, 50, 50, 50};
        for (int c = 0; c < 13; ++c) QVERIFY(grid->columnWidth(c) >= widths[c]);

        QImage image = grid->viewport()->grab().toImage();
        // Left in a bet column, where its right-aligned texts do not reach.
        int x = grid->columnViewportPosition(4) + 2;
        for (int race = 1; race <= form_->day().race_count; ++race) {
            int upper = 2 * race - 1, lower = 2 * race;
            // The last pixel row of the upper row is still the cell's green,
            // and a line parts it from the next column.
            int upperLast = grid->rowViewportPosition(upper) + grid->rowHeight(upper) - 1;
            QCOMPARE(image.pixelColor(x, upperLast), QColor(0, 255, 0));
            int boundary = grid->columnViewportPosition(5) - 1;
            QColor line = image.pixelColor(boundary, upperLast - 5);
            QVERIFY(line != QColor(0, 255, 0));
            QCOMPARE(image.pixelColor(boundary, grid->rowViewportPosition(lower) + 5), line);
            // Three black pixel rows at the bottom edge of the lower row.
            int lowerLast = grid->rowViewportPosition(lower) + grid->rowHeight(lower) - 1;
            for (int y : {lowerLast - 1, lowerLast, lowerLast + 1}) {
                if (y >= image.height()) continue;
                QVERIFY2(image.pixelColor(x, y) == QColor(Qt::black),
                         qPrintable(QStringLiteral("race %1, y %2").arg(race).arg(y)));
            }
            QVERIFY(image.pixelColor(x, lowerLast - 2) != QColor(Qt::black));
        }
        // The header row is never selected; a cell is.
        TOLVEN_REQUIRE(clickCell(grid, 0, 4));
        QVERIFY(grid->selectedItems().isEmpty());
        TOLVEN_REQUIRE(clickCell(grid, 1, 4));
        QCOMPARE(grid->selectedItems().size(), 1);
    }

    // The separator columns of the user grid are black over their width.
    void userPageSeparatorsAreBlack() {
        TOLVEN_REQUIRE(openOnDay());
        PredictionView* predictionView = form_->predictionView();
        TOLVEN_REQUIRE(clickTab(predictionView->pages()->tabBar(), 1));
        QTableWidget* grid = predictionView->userGrid();
        QImage image = grid->viewport()->grab().toImage();
        for (int c : {5, 8, 11}) {
            QVERIFY(grid->columnWidth(c) >= 1);
            for (int r = 0; r < grid->rowCount(); ++r) {
                int y = grid->rowViewportPosition(r) + grid->rowHeight(r) / 2;
                for (int x = grid->columnViewportPosition(c);
                     x < grid->columnViewportPosition(c) + grid->columnWidth(c); ++x) {
                    QVERIFY2(
                        image.pixelColor(x, y) == QColor(Qt::black),
                        qPrintable(QStringLiteral("column %1, row %2, x %3").arg(c).arg(r).arg(x)));
                }
            }
        }
    }

    // The value labels of the graphs never cover each other and stay inside
    // the plot: pages 1 and 2 for every race, page 3 for every horse of every
    // race, with the axis fixed and automatic.
    void graphLabelsStayApart() {
        TOLVEN_REQUIRE(openOnDay());
        TOLVEN_REQUIRE(clickToolButton(*form_, "GraphButton"));
        TimeGraphView* graph = form_->timeGraphView();
        auto requireApart = [&](int page, const QString& where) {
            QApplication::processEvents();
            QList<QRectF> rects = graph->labelRects(page);
            QRectF plot = graph->chart(page)->plotArea();
            for (int i = 0; i < rects.size(); ++i) {
                QVERIFY2(plot.contains(rects[i]), qPrintable(where));
                for (int j = i + 1; j < rects.size(); ++j) {
                    // Apart by at least two pixels, not run together.
                    QVERIFY2(
                        !rects[i]
                             .adjusted(-1, -1, 1, 1)
                             .intersects(rects[j].adjusted(-1, -1, 1, 1)),
                        qPrintable(where + QStringLiteral(": labels %1 and %2").arg(i).arg(j)));
                }
            }
        };
        int checked = 0;
        for (int page : {1, 2}) {
            TOLVEN_REQUIRE(clickTab(graph->pages()->tabBar(), page - 1));
            for (int n = 0; n < form_->day().race_count; ++n) {
                TOLVEN_REQUIRE(clickTab(graph->tabs(), n));
                TOLVEN_REQUIRE(
                    requireApart(page, QStringLiteral("page %1 race %2").arg(page).arg(n + 1)));
                // Every bar of a runner with a score has its label, in the
                // axis format.
                QStringList expected;
                for (const auto& bar : page == 1 ? tolven::ability_order_bars(form_->day(), n)
                                                 : tolven::composite_bars(form_->day(), n)) {
                    if (bar.value > 270) expected << qs(tolven::axis_number(bar.value));
                }
                QCOMPARE(graph->labelTexts(page), expected);
                TOLVEN_REQUIRE(requireLabelsOverOwnBars(graph, form_->day(), page, n));
                ++checked;
            }
        }
        TOLVEN_REQUIRE(clickTab(graph->pages()->tabBar(), 2));
        for (bool fixed : {true, false}) {
            if (graph->axisFixed()->isChecked() != fixed)
                TOLVEN_REQUIRE(clickWidget(graph->axisFixed()));
            for (int n = 0; n < form_->day().race_count; ++n) {
                TOLVEN_REQUIRE(clickTab(graph->tabs(), n));
                for (int h = 0; h < form_->day().runners(n); ++h) {
                    if (h > 0) TOLVEN_REQUIRE(pressKey(graph->horseSelector(), Qt::Key_Down));
                    TOLVEN_REQUIRE(requireApart(
                        3, QStringLiteral("page 3 race %1 horse %2").arg(n + 1).arg(h + 1)));
                    ++checked;
                }
            }
        }
        QVERIFY(checked > 50);
    }

    // The digits on the bracket cells of every runner grid read clearly:
    // white on grey and blue as on ユーザー予想表, whatever the grid.
    void bracketCellsAreReadable() {
        TOLVEN_REQUIRE(openOnDay());
        const int n = fullestRace();
        auto luminance = [](const QColor& c) {
            auto lin = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
            return 0.2126 * lin(c.redF()) + 0.7152 * lin(c.greenF()) + 0.0722 * lin(c.blueF());
        };
        auto contrast = [&](const QColor& a, const QColor& b) {
            double la = luminance(a), lb = luminance(b);
            return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
        };
        const struct {
            const char* button;
            std::function<QTableWidget*()> grid;
        } views[] = {
            {"PredictionButton", [&] { return form_->predictionView()->computerGrid(); }},
            {"RaceCardButton", [&] { return form_->raceCardView()->grid(); }},
            {"CalculationButton", [&] { return form_->calculationView()->timeGrid(); }},
        };
        for (const auto& v : views) {
            TOLVEN_REQUIRE(clickToolButton(*form_, v.button));
            QTableWidget* grid = v.grid();
            RaceView* view = nullptr;
            for (QWidget* w = grid; w != nullptr && view == nullptr; w = w->parentWidget())
                view = qobject_cast<RaceView*>(w);
            QVERIFY(view != nullptr);
            TOLVEN_REQUIRE(clickTab(view->tabs(), n));
            TOLVEN_REQUIRE(requireShowing(grid));
            QCOMPARE(grid->rowCount(), form_->day().runners(n));
            for (int r = 0; r < grid->rowCount(); ++r) {
                QTableWidgetItem* cell = grid->item(r, 0);
                QColor ground = cell->background().color();
                QColor text = cell->foreground().color();
                QVERIFY2(contrast(ground, text) >= 3.0,
                         qPrintable(QStringLiteral("%1 row %2: %3 on %4")
                                        .arg(QString::fromLatin1(v.button)).arg(r)
                                        .arg(text.name(), ground.name())));
                int bracket = form_->day().bracket(n, r);
                if (bracket == 2 || bracket == 4) QCOMPARE(text, QColor(Qt::white));
            }
        }
    }

    // In a window the size of a tile, the labels of a full field's bars
    // keep to their bars.
    void graphLabelsKeepToTheirBarsInASmallWindow() {
        TOLVEN_REQUIRE(openOnDay());
        const int n = fullestRace();
        QCOMPARE(form_->day().runners(n), 18);
        TOLVEN_REQUIRE(clickToolButton(*form_, "GraphButton"));
        TimeGraphView* graph = form_->timeGraphView();
        QMdiSubWindow* frame = frameOf(graph);
        QVERIFY(frame != nullptr);
        frame->showNormal();
        frame->setGeometry(0, 0, 480, 380);
        TOLVEN_REQUIRE(clickTab(graph->tabs(), n));
        for (int page : {1, 2}) {
            TOLVEN_REQUIRE(clickTab(graph->pages()->tabBar(), page - 1));
            TOLVEN_REQUIRE(requireLabelsOverOwnBars(graph, form_->day(), page, n));
        }
        saveScreenshot(frame, "graph-18-runners-small.png");
    }

    // 計算表 and 資金配分 name their columns, and 投資金額入力 is wide
    // enough for its whole title in a window manager's title bar.
    void gridsNameTheirColumns() {
        TOLVEN_REQUIRE(openOnDay());
        TOLVEN_REQUIRE(clickToolButton(*form_, "CalculationButton"));
        CalculationTableView* cal = form_->calculationView();
        const QStringList time{QStringLiteral("枠"),    QStringLiteral("番"),    QStringLiteral("馬名"),
                               QStringLiteral("前5走"), QStringLiteral("前4走"), QStringLiteral("前3走"),
                               QStringLiteral("前2走"), QStringLiteral("前1走"), QStringLiteral("平均"),
                               QStringLiteral("順位"),  QStringLiteral("推移"),  QStringLiteral("順位")};
        const struct {
            QTableWidget* grid;
            QStringList titles;
        } pages[] = {{cal->timeGrid(), time}, {cal->f3Grid(), time.mid(0, 10)}};
        for (int page = 0; page < 2; ++page) {
            TOLVEN_REQUIRE(clickTab(cal->findChild<QTabWidget*>()->tabBar(), page));
            QTableWidget* grid = pages[page].grid;
            TOLVEN_REQUIRE(requireShowing(grid->horizontalHeader()));
            QStringList shown;
            for (int c = 0; c < grid->columnCount(); ++c) shown << grid->horizontalHeaderItem(c)->text();
            QCOMPARE(shown, pages[page].titles);
            TOLVEN_REQUIRE(requireCellsFit(grid));
        }

        TOLVEN_REQUIRE(clickToolButton(*form_, "AllocationButton"));
        FundAllocationView* allocation = form_->allocationView();
        QTableWidget* grid = allocation->grid();
        QStringList heads;
        for (int c = 0; c < grid->columnCount(); ++c) heads << grid->item(0, c)->text();
        QCOMPARE(heads.mid(0, 4), (QStringList{QStringLiteral("R"), QStringLiteral("勝負度"),
                                              QStringLiteral("投資額"), QStringLiteral("買目1")}));
        QCOMPARE(heads.last(), QStringLiteral("点数/計"));
        TOLVEN_REQUIRE(requireCellsFit(grid));
        auto* legend = allocation->findChild<QLabel*>(QStringLiteral("AllocationLegend"));
        TOLVEN_REQUIRE(requireShowing(legend));
        QVERIFY(legend->text().contains(QStringLiteral("上段")) && legend->text().contains(QStringLiteral("下段")));
        QVERIFY(legend->heightForWidth(legend->width()) <= legend->height());

        withModalDialog(
            [&](QDialog& dialog) {
                QCOMPARE(dialog.windowTitle(), QStringLiteral("投資金額入力"));
                QVERIFY2(dialog.width() >= InvestmentDialog::titleBarWidthNeeded(dialog.windowTitle()),
                         qPrintable(QString::number(dialog.width())));
                for (QWidget* child : dialog.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
                    QVERIFY(dialog.rect().contains(child->geometry()));
                clickWidget(dialog.findChild<QPushButton*>(QStringLiteral("CancelButton")));
            },
            [&] { clickWidget(allocation->findChild<QPushButton*>(QStringLiteral("InvestButton"))); });
    }

    // The hit export of the prediction window's button.
    void hitButtonExportsTheHits() {
        form_ = openMainWindow(sampleBase());
        // Yesterday's races have their results.
        TOLVEN_REQUIRE(clickWidget(form_->findChild<QRadioButton*>(QStringLiteral("Hiduke1"))));
        QVERIFY(form_->dayList()->count() > 0);
        TOLVEN_REQUIRE(clickListRow(form_->dayList(), 0));
        QApplication::clipboard()->clear();
        QCOMPARE(form_->dateIndex(), 1);
        TOLVEN_REQUIRE(clickWidget(form_->predictionView()->hitButton()));
        QVERIFY(fs::exists(sampleBase() / "HPupload" / "Vevezaza.txt"));
        QVERIFY(QApplication::clipboard()->text().contains(
            QStringLiteral("TOLVEN for JRA-VAN Data Lab.")));
    }

    // Pictures of every window at its default size, for a person to look at
    // (saved when TOLVEN_SCREENSHOT_DIR is set), with the fullest race shown.
    void screenshots() {
        if (qEnvironmentVariableIsEmpty("TOLVEN_SCREENSHOT_DIR")) QSKIP("no screenshot folder");
        TOLVEN_REQUIRE(openOnDay());
        const int n = fullestRace();
        PredictionView* predictionView = form_->predictionView();
        TOLVEN_REQUIRE(clickTab(predictionView->tabs(), n));
        saveScreenshot(form_.get(), "prediction-computer.png");
        TOLVEN_REQUIRE(clickTab(predictionView->pages()->tabBar(), 1));
        TOLVEN_REQUIRE(clickCell(predictionView->userGrid(), 0, 3));
        saveScreenshot(form_.get(), "prediction-user.png");
        TOLVEN_REQUIRE(clickToolButton(*form_, "CalculationButton"));
        CalculationTableView* cal = form_->calculationView();
        TOLVEN_REQUIRE(clickTab(cal->tabs(), n));
        saveScreenshot(form_.get(), "calculation-time.png");
        TOLVEN_REQUIRE(clickTab(cal->pages()->tabBar(), 1));
        saveScreenshot(form_.get(), "calculation-f3.png");
        TOLVEN_REQUIRE(clickToolButton(*form_, "GraphButton"));
        TimeGraphView* graph = form_->timeGraphView();
        TOLVEN_REQUIRE(clickTab(graph->tabs(), n));
        for (int page = 0; page < 4; ++page) {
            TOLVEN_REQUIRE(clickTab(graph->pages()->tabBar(), page));
            QApplication::processEvents();
            saveScreenshot(form_.get(), QStringLiteral("graph-%1.png").arg(page + 1));
        }
        TOLVEN_REQUIRE(clickWidget(graph->axisFixed()));
        TOLVEN_REQUIRE(clickTab(graph->pages()->tabBar(), 2));
        QApplication::processEvents();
        saveScreenshot(form_.get(), "graph-3-automatic.png");
        TOLVEN_REQUIRE(clickToolButton(*form_, "RaceCardButton"));
        TOLVEN_REQUIRE(clickTab(form_->raceCardView()->tabs(), n));
        saveScreenshot(form_.get(), "race-contents.png");
        TOLVEN_REQUIRE(clickToolButton(*form_, "AllocationButton"));
        saveScreenshot(form_.get(), "fund-allocation.png");
        withModalDialog([](QDialog& dialog) { saveScreenshot(&dialog, "investment-dialog.png"); },
                        [&] {
                            clickWidget(form_->allocationView()->findChild<QPushButton*>(
                                QStringLiteral("InvestButton")));
                        });
    }
};

static RegisterUiTest<AnalysisWindowsTest> registered;

#include "analysis_windows_test.moc"
