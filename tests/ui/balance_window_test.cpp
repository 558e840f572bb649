#include <QAccessible>
#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineSeries>
#include <QMdiArea>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QtCharts/QCategoryAxis>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QFontMetrics>
#include <QLineEdit>
#include <QSize>

#include <algorithm>
#include <cmath>
#include <functional>

#include "mainwindow/MainWindow.hpp"
#include "pipeline/backtest.hpp"
#include "printing/PreviewWindow.hpp"
#include "printing/PrintPreview.hpp"
#include "sample/sample_feed.hpp"
#include "support/sample_store.hpp"
#include "support/temp_dir.hpp"
#include "ui_fixture.hpp"
#include "ui_tests.hpp"
#include "windows/BalanceWindow.hpp"

using namespace tolven::testing;
using tolven::testing::saveScreenshot;

namespace {

QString cellText(QTableWidget* table, int row, int column) {
    QAccessibleInterface* node = QAccessible::queryAccessibleInterface(table);
    if (node == nullptr || node->tableInterface() == nullptr) return QStringLiteral("(no table)");
    QAccessibleInterface* cell = node->tableInterface()->cellAt(row, column);
    return cell != nullptr ? cell->text(QAccessible::Name) : QStringLiteral("(no cell)");
}

// Sets a date field as a person does from the keyboard: the whole text
// selected with Home and Shift+End, the date typed over it.
void typeDate(QDateEdit* edit, const QString& text) {
    TOLVEN_REQUIRE(pressKey(edit, Qt::Key_Home));
    QTest::keyClick(edit, Qt::Key_End, Qt::ShiftModifier);
    QTest::keyClicks(edit, text);
}

// The labels of a category axis with where they are drawn on the chart.
struct AxisLabel {
    QString text;
    QPointF at;
};
std::vector<AxisLabel> axisLabels(QChart* chart, Qt::Orientation orientation) {
    std::vector<AxisLabel> labels;
    for (QAbstractAxis* a : chart->axes(orientation)) {
        auto* axis = qobject_cast<QCategoryAxis*>(a);
        if (axis == nullptr) continue;
        QAbstractSeries* series = chart->series().first();
        for (const QString& label : axis->categoriesLabels()) {
            qreal value = axis->endValue(label);
            if (value < axis->min() || value > axis->max()) continue;
            QPointF p = orientation == Qt::Horizontal
                            ? chart->mapToPosition(QPointF(value, 0), series)
                            : chart->mapToPosition(QPointF(axis->min(), value), series);
            labels.push_back({label, p});
        }
    }
    return labels;
}

// The date labels as a person reads them: at least three, each whole inside
// the chart and none over another (their rectangles, centred on their ticks).
void requireDateLabelsRead(QChart* chart) {
    std::vector<AxisLabel> dates = axisLabels(chart, Qt::Horizontal);
    QVERIFY(dates.size() >= 3);
    QFontMetrics metrics(chart->axes(Qt::Horizontal).first()->labelsFont());
    QRectF whole(QPointF(0, 0), chart->size());
    std::vector<QRectF> boxes;
    for (const AxisLabel& d : dates) {
        qreal width = metrics.horizontalAdvance(d.text);
        QRectF box(d.at.x() - width / 2, chart->plotArea().bottom() + 2, width, metrics.height());
        QVERIFY2(whole.contains(box), qPrintable(d.text));
        for (const QRectF& other : boxes) QVERIFY2(!box.intersects(other), qPrintable(d.text));
        boxes.push_back(box);
    }
}

// The curve as a person reads it against the amount axis: the highest and
// lowest days are drawn inside the plot at the heights the axis gives their
// amounts (a peak below the top tick is drawn below it). The curve is looked
// up on the chart itself and must be the one the window hands out.
void requireCurveOnItsAxes(BalanceWindow* balance) {
    QChart* chart = balance->chartView()->chart();
    QLineSeries* curve = nullptr;
    for (QAbstractSeries* s : chart->series()) {
        if (s->name() == QStringLiteral("累積収支")) curve = qobject_cast<QLineSeries*>(s);
    }
    QVERIFY(curve != nullptr);
    QCOMPARE(curve->count(), static_cast<int>(balance->report().days.size()));
    auto* amounts = qobject_cast<QCategoryAxis*>(chart->axes(Qt::Vertical).first());
    QVERIFY(amounts != nullptr);
    const QList<QPointF> points = curve->points();
    auto [low, high] = std::minmax_element(points.begin(), points.end(),
                                           [](QPointF a, QPointF b) { return a.y() < b.y(); });
    const QRectF plot = chart->plotArea();
    for (const QPointF& p : {*high, *low}) {
        QPointF at = chart->mapToPosition(p, curve);
        qreal share = (p.y() - amounts->min()) / (amounts->max() - amounts->min());
        qreal axisY = plot.bottom() - share * plot.height();
        QVERIFY2(std::abs(at.y() - axisY) < 1.5 && plot.adjusted(-1, -1, 1, 1).contains(at),
                 qPrintable(QStringLiteral("%1円 drawn at y %2, the axis (%3 to %4) puts it at %5")
                                .arg(p.y())
                                .arg(at.y())
                                .arg(amounts->min())
                                .arg(amounts->max())
                                .arg(axisY)));
    }
    QVERIFY(curve->attachedAxes().contains(amounts));
    // Compared as addresses: the window's may point at a chart since deleted.
    QVERIFY(balance->balanceSeries() == curve);
}

// A store of more than a year of race days (fifty-four feed weeks; the
// history weeks before them bring results only), made once per test program.
const std::filesystem::path& yearBase() {
    static TempDir dir;
    static bool made = false;
    if (!made) {
        import_sample_feed(dir.path(), tolven::SampleFeedOptions{33, 54, 20261206}, kSampleNow);
        made = true;
    }
    return dir.path();
}

}  // namespace

Q_DECLARE_METATYPE(std::function<void(QDateEdit*)>)

class BalanceWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<BalanceWindow> form_;

  private slots:
    void init() {
        form_ = std::make_unique<BalanceWindow>(sampleBase());
        form_->resize(1000, 760);
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    }
    void cleanup() { form_.reset(); }

    void defaultPeriodIsTheLastTwelveMonthsWithData() {
        QCOMPARE(form_->toEdit()->date(), QDate(2026, 12, 6));
        QCOMPARE(form_->fromEdit()->date(), QDate(2025, 12, 7));
        TOLVEN_REQUIRE(requireOnScreen(form_.get()));
    }

    void periodTypedRunByClickTablesAndCurve() {
        // The period set as a person sets it from the keyboard: the year one
        // up with the arrow key, then month and day typed.
        TOLVEN_REQUIRE(pressKey(form_->fromEdit(), Qt::Key_Home));
        QTest::keyClick(form_->fromEdit(), Qt::Key_Up);
        QTest::keyClicks(form_->fromEdit(), QStringLiteral("/11/20"));
        QCOMPARE(form_->fromEdit()->date(), QDate(2026, 11, 20));
        TOLVEN_REQUIRE(clickWidget(form_->runButton()));
        const tolven::BalanceReport& report = form_->report();
        QCOMPARE(report.options.from, 20261120);
        QCOMPARE(report.options.to, 20261206);
        QVERIFY(!report.days.empty());
        QVERIFY(report.total.tickets > 0);

        // The total read as a screen reader reads it.
        QCOMPARE(cellText(form_->table(0), 0, 0), QStringLiteral("合計"));
        QCOMPARE(cellText(form_->table(0), 0, 2), QString::number(report.total.tickets));
        QCOMPARE(cellText(form_->table(0), 0, 6),
                 QString::number(report.total.return_rate(), 'f', 1) + QLatin1Char('%'));
        // Every page shows its table, nothing cut off.
        for (int page = 0; page < form_->pages()->count(); ++page) {
            TOLVEN_REQUIRE(clickTab(form_->pages()->tabBar(), page));
            QCOMPARE(form_->pages()->currentIndex(), page);
            TOLVEN_REQUIRE(requireCellsFit(form_->table(page)));
        }
        QCOMPARE(form_->table(6)->rowCount(),
                 static_cast<int>(report.days.size() + report.skipped.size()));
        QCOMPARE(form_->table(1)->rowCount(), static_cast<int>(report.by_kind.size()));

        // The curve has a point per day, and says so to a screen reader.
        TOLVEN_REQUIRE(requireShowing(form_->chartView()));
        QCOMPARE(form_->balanceSeries()->count(), static_cast<int>(report.days.size()));
        QString description = form_->chartView()->accessibleDescription();
        QCOMPARE(description.count(QStringLiteral("円")), static_cast<int>(report.days.size()));
        QCOMPARE(form_->progressBar()->value(), form_->progressBar()->maximum());
        saveScreenshot(form_.get(), "balance-window.png");
    }

    void userBetsAndWideByKeyboardAndCsv() {
        TOLVEN_REQUIRE(clickWidget(form_->userButton()));
        QVERIFY(form_->userButton()->isChecked());
        TOLVEN_REQUIRE(pressKey(form_->wideBox(), Qt::Key_Space));
        QVERIFY(form_->wideBox()->isChecked());
        TOLVEN_REQUIRE(pressKey(form_->runButton(), Qt::Key_Space));
        QCOMPARE(form_->report().options.bets, tolven::BetSource::User);
        QVERIFY(form_->report().options.wide);

        TOLVEN_REQUIRE(clickWidget(form_->computerButton()));
        TOLVEN_REQUIRE(clickWidget(form_->runButton()));
        QVERIFY(form_->csvButton()->isEnabled());
        TempDir dir;
        QString file = QString::fromStdString((dir.path() / "balance.csv").string());
        BalanceWindow::setNextFileName(file);
        TOLVEN_REQUIRE(clickWidget(form_->csvButton()));
        QCOMPARE(QString::fromStdString(read_bytes(dir.path() / "balance.csv")),
                 QString::fromStdString(tolven::balance_spreadsheet_csv(form_->report())));
        // Excel on a Japanese desktop: a byte order mark and Japanese headings.
        QVERIFY(read_bytes(dir.path() / "balance.csv")
                    .starts_with("\xEF\xBB\xBF" "レース日,レース,券種,買い目,投資額,払戻額\r\n"));
    }

    // From the main window's toolbar: the balance opens without a day loaded,
    // and its printout comes up in the print preview.
    void openedAndPrintedFromTheMainWindow() {
        form_.reset();
        auto main = openMainWindow(sampleBase());
        BalanceWindow* balance = main->balanceWindow();
        // The menu entry and the toolbar button both bring it up.
        TOLVEN_REQUIRE(chooseMenu(main.get(), QStringLiteral("表示(&V)"), QStringLiteral("収支分析(&B)")));
        TOLVEN_REQUIRE(requireShowing(balance));
        TOLVEN_REQUIRE(clickCloseButton(frameOf(balance)));
        QVERIFY(!balance->isVisible());
        TOLVEN_REQUIRE(clickToolButton(main.get(), QStringLiteral("BalanceButton")));
        TOLVEN_REQUIRE(requireShowing(balance));
        TOLVEN_REQUIRE(requireShowing(balance->runButton()));
        // It fits beside the race-day list at the first-start size: nothing
        // lies beyond the view area.
        QWidget* area = main->mdiArea()->viewport();
        for (QWidget* w : std::initializer_list<QWidget*>{balance->runButton(), balance->cancelButton(),
                                                          balance->printButton(), balance->csvButton(),
                                                          balance->wideBox()}) {
            QRect inArea(w->mapTo(area, QPoint(0, 0)), w->size());
            QVERIFY2(area->rect().contains(inArea), qPrintable(w->objectName() + w->accessibleName()));
        }
        TOLVEN_REQUIRE(clickWidget(balance->runButton()));
        QVERIFY(balance->report().total.tickets > 0);
        TOLVEN_REQUIRE(clickWidget(balance->printButton()));
        PreviewWindow* preview = main->printPreview();
        QTRY_VERIFY(preview->isVisible());
        QCOMPARE(preview->windowTitle(), QStringLiteral("TOLVEN 収支分析印刷"));
        QCOMPARE(preview->preview()->PageCount(), 1);
        TOLVEN_REQUIRE(requireOnScreen(main.get()));
        saveScreenshot(main.get(), "balance-in-main-window.png");
        preview->close();
    }

    // The date fields take a typed date wherever the cursor is.
    void dateFieldsTakeTypedDates_data() {
        QTest::addColumn<std::function<void(QDateEdit*)>>("type");
        QTest::addColumn<QDate>("expected");
        QTest::newRow("whole date over a selection")
            << std::function<void(QDateEdit*)>([](QDateEdit* e) { typeDate(e, QStringLiteral("2025/01/01")); })
            << QDate(2025, 1, 1);
        QTest::newRow("digits without slashes")
            << std::function<void(QDateEdit*)>([](QDateEdit* e) { typeDate(e, QStringLiteral("20260315")); })
            << QDate(2026, 3, 15);
        QTest::newRow("two digits inside the year")
            << std::function<void(QDateEdit*)>([](QDateEdit* e) {
                   TOLVEN_REQUIRE(pressKey(e, Qt::Key_Home));
                   QTest::keyClick(e, Qt::Key_Right);
                   QTest::keyClick(e, Qt::Key_Right);
                   QTest::keyClicks(e, QStringLiteral("24"));
               })
            << QDate(2024, 12, 6);
        QTest::newRow("slash to the month, then the day")
            << std::function<void(QDateEdit*)>([](QDateEdit* e) {
                   TOLVEN_REQUIRE(pressKey(e, Qt::Key_Home));
                   QTest::keyClicks(e, QStringLiteral("/02/28"));
               })
            << QDate(2026, 2, 28);
        QTest::newRow("a day beyond the month is cut to its end")
            << std::function<void(QDateEdit*)>([](QDateEdit* e) { typeDate(e, QStringLiteral("2025/04/31")); })
            << QDate(2025, 4, 30);
    }
    void dateFieldsTakeTypedDates() {
        QFETCH(std::function<void(QDateEdit*)>, type);
        QFETCH(QDate, expected);
        QDateEdit* to = form_->toEdit();
        QCOMPARE(to->date(), QDate(2026, 12, 6));
        TOLVEN_REQUIRE(type(to));
        QCOMPARE(to->date(), expected);
        QCOMPARE(to->text(), expected.toString(QStringLiteral("yyyy/MM/dd")));
    }

    // A click into a date field, where a person puts the cursor before
    // typing, leaves the date as it is: on the text or on the frame around
    // it. Typed digits then go where the cursor is.
    void aClickIntoADateFieldKeepsTheDate_data() {
        QTest::addColumn<QPointF>("at");  // as parts of the field's width and height
        QTest::newRow("on the frame, left") << QPointF(0.01, 0.5);
        QTest::newRow("on the frame, above the year") << QPointF(0.1, 0.03);
        QTest::newRow("on the year") << QPointF(0.1, 0.5);
        QTest::newRow("on the day") << QPointF(0.6, 0.5);
    }
    void aClickIntoADateFieldKeepsTheDate() {
        QFETCH(QPointF, at);
        QDateEdit* to = form_->toEdit();
        QPoint point(static_cast<int>(at.x() * to->width()), static_cast<int>(at.y() * to->height()));
        for (int click = 0; click < 3; ++click) {
            TOLVEN_REQUIRE(clickOnScreen(to, point));
            QCOMPARE(to->date(), QDate(2026, 12, 6));
        }
        QVERIFY(to->hasFocus());
        // Home and the year typed over its digits.
        QTest::keyClick(to, Qt::Key_Home);
        QTest::keyClicks(to, QStringLiteral("2025"));
        QCOMPARE(to->date(), QDate(2025, 12, 6));
        QCOMPARE(to->text(), QStringLiteral("2025/12/06"));
        // A whole date typed right after the click is that date, with or
        // without its slashes.
        for (const auto& [typed, expected] :
             {std::pair{QStringLiteral("2024/03/05"), QDate(2024, 3, 5)},
              std::pair{QStringLiteral("20230708"), QDate(2023, 7, 8)},
              std::pair{QStringLiteral("2022/"), QDate(2022, 7, 8)}}) {
            TOLVEN_REQUIRE(clickOnScreen(to, point));
            QTest::keyClicks(to, typed);
            QCOMPARE(to->date(), expected);
        }
    }

    // 収支分析 in the main window at the first-start size and on the whole
    // screen, over the whole store and over a period without race days: the
    // date labels neither overlap nor are cut, amounts read with separators,
    // an empty period says so, losses are red.
    void theChartReadsAtEverySize_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::newRow("1000x800 whole store") << QSize(1000, 800) << QStringLiteral("2000/01/01")
                                               << QStringLiteral("2026/12/31");
        QTest::newRow("1000x800 empty period") << QSize(1000, 800) << QStringLiteral("2020/01/01")
                                                << QStringLiteral("2020/12/31");
        QTest::newRow("1280x1024 whole store") << QSize(1270, 1000) << QStringLiteral("2000/01/01")
                                                << QStringLiteral("2026/12/31");
        QTest::newRow("1280x1024 empty period") << QSize(1270, 1000) << QStringLiteral("2020/01/01")
                                                 << QStringLiteral("2020/12/31");
    }
    void theChartReadsAtEverySize() {
        QFETCH(QSize, size);
        QFETCH(QString, from);
        QFETCH(QString, to);
        form_.reset();
        auto main = openMainWindow(sampleBase());
        main->resize(size);
        BalanceWindow* balance = main->balanceWindow();
        TOLVEN_REQUIRE(clickToolButton(main.get(), QStringLiteral("BalanceButton")));
        TOLVEN_REQUIRE(typeDate(balance->fromEdit(), from));
        TOLVEN_REQUIRE(typeDate(balance->toEdit(), to));
        TOLVEN_REQUIRE(clickWidget(balance->runButton()));
        QCOMPARE(balance->report().options.from, from.remove(QLatin1Char('/')).toInt());
        const bool empty = balance->report().days.empty();
        QString shot = QStringLiteral("balance-%1x%2-%3.png")
                           .arg(size.width())
                           .arg(size.height())
                           .arg(empty ? QStringLiteral("empty") : QStringLiteral("whole"));
        saveScreenshot(main.get(), shot);
        if (empty) {
            TOLVEN_REQUIRE(requireShowing(balance->noDataLabel()));
            TOLVEN_REQUIRE(requireTextFits(balance->noDataLabel()));
            QCOMPARE(balance->noDataLabel()->text(), QStringLiteral("データがありません"));
            QVERIFY(!balance->chartView()->isVisible());
            // The window made the other size while the chart is hidden, then
            // the whole store again: the chart comes back at the new size
            // with its curve drawn on its own axes.
            QSize other = size.width() < 1200 ? QSize(1270, 1000) : QSize(1000, 800);
            main->resize(other);
            QTRY_COMPARE(main->size(), other);
            TOLVEN_REQUIRE(typeDate(balance->fromEdit(), QStringLiteral("2000/01/01")));
            TOLVEN_REQUIRE(typeDate(balance->toEdit(), QStringLiteral("2026/12/31")));
            TOLVEN_REQUIRE(clickWidget(balance->runButton()));
            QVERIFY(!balance->report().days.empty());
            TOLVEN_REQUIRE(requireShowing(balance->chartView()));
            QCoreApplication::processEvents();
            saveScreenshot(main.get(),
                           shot.replace(QStringLiteral("empty"), QStringLiteral("empty-then-whole")));
            TOLVEN_REQUIRE(requireCurveOnItsAxes(balance));
            TOLVEN_REQUIRE(requireDateLabelsRead(balance->chartView()->chart()));
            return;
        }
        QVERIFY2(balance->report().days.size() > 10, qPrintable(QString::number(balance->report().days.size())));
        TOLVEN_REQUIRE(requireShowing(balance->chartView()));
        QChart* chart = balance->chartView()->chart();
        TOLVEN_REQUIRE(requireDateLabelsRead(chart));
        TOLVEN_REQUIRE(requireCurveOnItsAxes(balance));
        QFontMetrics metrics(chart->axes(Qt::Horizontal).first()->labelsFont());
        // Amount labels: round, with separators, one above the other.
        std::vector<AxisLabel> amounts = axisLabels(chart, Qt::Vertical);
        QVERIFY(amounts.size() >= 3);
        bool zero = false;
        for (std::size_t i = 0; i < amounts.size(); ++i) {
            QString digits = amounts[i].text;
            digits.remove(QLatin1Char(',')).remove(QLatin1Char('-'));
            QVERIFY2(digits.size() <= 3 || amounts[i].text.contains(QLatin1Char(',')),
                     qPrintable(amounts[i].text));
            zero = zero || amounts[i].text == QStringLiteral("0");
            if (i > 0) QVERIFY(amounts[i - 1].at.y() - amounts[i].at.y() > metrics.height());
        }
        QVERIFY(zero);
        // 日別: a day that lost is red, one that won is not.
        TOLVEN_REQUIRE(clickTab(balance->pages()->tabBar(), 6));
        QTableWidget* days = balance->table(6);
        bool sawLoss = false;
        bool sawGain = false;
        for (int r = 0; r < static_cast<int>(balance->report().days.size()); ++r) {
            long long b = balance->report().days[static_cast<std::size_t>(r)].balance();
            QColor c = days->item(r, 3)->foreground().color();
            if (b < 0) {
                sawLoss = true;
                QCOMPARE(c, QColor(Qt::red));
                QVERIFY(days->item(r, 3)->text().startsWith(QLatin1Char('-')));
            } else if (b > 0) {
                sawGain = true;
                QVERIFY(c != QColor(Qt::red));
            }
            if (std::llabs(b) >= 1000) QVERIFY(days->item(r, 3)->text().contains(QLatin1Char(',')));
        }
        QVERIFY(sawLoss && sawGain);
    }

    // Over the whole of a store of more than a year (262 race days and more)
    // the date labels still read, at the first-start size and on the whole
    // screen (the chart takes the new size as the window is resized).
    void theChartReadsOverAYearOfDays() {
        form_.reset();
        auto main = openMainWindow(yearBase());
        main->resize(1000, 800);
        BalanceWindow* balance = main->balanceWindow();
        TOLVEN_REQUIRE(clickToolButton(main.get(), QStringLiteral("BalanceButton")));
        TOLVEN_REQUIRE(typeDate(balance->fromEdit(), QStringLiteral("2000/01/01")));
        TOLVEN_REQUIRE(clickWidget(balance->runButton()));
        QVERIFY2(balance->report().days.size() >= 262,
                 qPrintable(QString::number(balance->report().days.size())));
        for (QSize size : {QSize(1000, 800), QSize(1270, 1000)}) {
            main->resize(size);
            QTRY_COMPARE(main->size(), size);
            QCoreApplication::processEvents();
            saveScreenshot(main.get(), QStringLiteral("balance-%1x%2-year.png").arg(size.width()).arg(size.height()));
            TOLVEN_REQUIRE(requireShowing(balance->chartView()));
            TOLVEN_REQUIRE(requireDateLabelsRead(balance->chartView()->chart()));
        }
    }

    void cancelStopsBetweenDays() {
        form_->fromEdit()->setDate(QDate(2025, 1, 1));
        // 中止 pressed while the first day loads.
        QTimer::singleShot(0, form_.get(), [this] {
            QVERIFY(form_->cancelButton()->isEnabled());
            QTest::mouseClick(form_->cancelButton(), Qt::LeftButton);
        });
        TOLVEN_REQUIRE(clickWidget(form_->runButton()));
        QVERIFY(form_->report().cancelled);
        QVERIFY(form_->summary()->text().startsWith(QStringLiteral("中止しました")));
        QVERIFY(form_->runButton()->isEnabled());
        QVERIFY(!form_->cancelButton()->isEnabled());
    }
};

static tolven::testing::RegisterUiTest<BalanceWindowTest> registerBalanceWindowTest;

#include "balance_window_test.moc"
