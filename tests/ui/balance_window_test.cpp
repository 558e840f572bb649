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
#include <QtCharts/QChartView>

#include "mainwindow/MainWindow.hpp"
#include "pipeline/backtest.hpp"
#include "printing/PreviewWindow.hpp"
#include "printing/PrintPreview.hpp"
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

}  // namespace

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
                 QString::fromStdString(tolven::balance_csv(form_->report())));
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
