#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QBarSet>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QStackedBarSeries>
#include <QTabBar>
#include <QTableWidget>
#include <QTest>
#include <QtCharts/QChart>

#include "jvlink/feed_link.hpp"
#include "jvlink/import.hpp"
#include "jvlink/result_text.hpp"
#include "jvlink/sample_feed.hpp"
#include "money/TshikinForm.hpp"
#include "money/TtoushiForm.hpp"
#include "prediction/TYosoForm.hpp"
#include "prediction/results_record.hpp"
#include "prediction/user_prediction.hpp"
#include "raceday/TMainForm.hpp"
#include "raceday/race_header.hpp"
#include "store/cp932.hpp"
#include "support/temp_dir.hpp"
#include "ui_tests.hpp"
#include "views/TCalForm.hpp"
#include "views/TContentsForm.hpp"
#include "views/TGraphForm.hpp"
#include "views/view_tables.hpp"
#include "widgets/TMsgDlg.hpp"
#include "widgets/TSaNumEdit.hpp"
#include "widgets/qt_text.hpp"

namespace fs = std::filesystem;
using tolven::qs;
using tolven::testing::saveScreenshot;
using tolven::testing::TempDir;

namespace {

const tolven::DateTime kNow{2026, 12, 6, 10, 0, 0};

}  // namespace

class AnalysisWindowsTest : public QObject {
    Q_OBJECT

    TempDir dir_;
    std::unique_ptr<TMainForm> form_;

  private slots:
    void initTestCase() {
        TMsgDlg::setAutoAnswer(QMessageBox::Ok);
        fs::path base = dir_.path();
        tolven::make_sample_feed(base / "feed", tolven::SampleFeedOptions{33, 4, 20261206});
        tolven::DataStore store(base);
        store.create_folders();
        tolven::FeedLink link(base / "feed", base / "JVCache");
        link.JVInit(tolven::jvlink_sid());
        tolven::CancelFlag cancel;
        tolven::SilentImportHost host;
        tolven::ImportController import(link, store, cancel, host, [] { return kNow; });
        import.open();
        import.start();
        while (import.downloading()) import.status_tick();

        form_ = std::make_unique<TMainForm>(
            base, std::make_unique<tolven::FeedLink>(base / "feed", base / "JVCache"));
        form_->setClock([] { return kNow; });
        form_->resize(1200, 900);
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        form_->setDateIndex(1);
        form_->rebuildCatalogue();
        QVERIFY(form_->dayList()->count() > 0);
        form_->dayList()->setCurrentRow(0);
        QVERIFY(form_->loadDay(form_->dayList()->item(0)->text()));
    }

    void cleanupTestCase() {
        form_.reset();
        TMsgDlg::setAutoAnswer(std::nullopt);
    }

    void predictionPageShowsTheCoreFigures() {
        TYosoForm* yoso = form_->predictionForm();
        QCOMPARE(yoso->tabs()->count(), form_->day().race_count);
        QCOMPARE(yoso->tabs()->tabText(0), QString("1 R"));
        yoso->setCurrentRace(2);
        const tolven::RaceDay& day = form_->day();
        auto rows = tolven::computer_prediction_rows(day, 2);
        QTableWidget* grid = yoso->computerGrid();
        QCOMPARE(grid->rowCount(), static_cast<int>(rows.size()));
        for (int r = 0; r < grid->rowCount(); ++r) {
            for (int c = 0; c < 6; ++c) {
                QCOMPARE(grid->item(r, c)->text(),
                         qs(rows[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)]));
            }
            QCOMPARE(grid->item(r, 0)->background().color(),
                     TRaceForm::rgb(tolven::bracket_colour(day.bracket(2, r))));
        }
        QCOMPARE(grid->item(0, 4)->background().color(), QColor(0, 255, 0));
        QCOMPARE(grid->item(0, 5)->background().color(), QColor(0, 255, 255));
        QCOMPARE(yoso->patternBox()->text(), QString::fromStdString(day.prediction[2].pattern));
        QCOMPARE(yoso->computerQuinella()->count(), 9);
        QCOMPARE(yoso->computerQuinella()->item(0)->text(),
                 QStringLiteral("  ") + qs(day.bets[2].computer_quinella[0]));
        QCOMPARE(yoso->headerLine(0), qs(tolven::race_header(day.race[2]).title));
        // A cell read through accessibility.
        QAccessibleInterface* table = QAccessible::queryAccessibleInterface(grid);
        QVERIFY(table != nullptr);
        QAccessibleTableInterface* cells = table->tableInterface();
        QVERIFY(cells != nullptr);
        QAccessibleInterface* cell = cells->cellAt(0, 5);
        QVERIFY(cell != nullptr);
        QCOMPARE(cell->text(QAccessible::Name), grid->item(0, 5)->text());
        yoso->pages()->setCurrentIndex(0);
        form_->predictionForm()->parentWidget()->showMaximized();
        saveScreenshot(form_.get(), "prediction-computer.png");
    }

    void userTickRecomputesAndSaves() {
        TYosoForm* yoso = form_->predictionForm();
        yoso->setCurrentRace(2);
        tolven::RaceDay& day = form_->day();
        int runners = day.runners(2);
        double composite = day.figures[2].runner[1].composite;
        yoso->pages()->setCurrentIndex(1);
        QTableWidget* grid = yoso->userGrid();
        QRect cell = grid->visualItemRect(grid->item(1, 3));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(grid->item(1, 3)->text(), QStringLiteral("●"));
        double expected = composite + 15.0 / runners;
        QCOMPARE(day.figures[2].runner[1].user_score, expected);
        QCOMPARE(grid->item(1, 16)->text(), QString::asprintf("%7.3f", expected));
        for (int h = 1; h <= runners; ++h) QVERIFY(day.figures[2].user_rank[h] >= 1);
        QVERIFY(yoso->userQuinella()->count() > 0);
        // The user file holds the tick and the bets.
        std::vector<std::string> lines =
            tolven::split_lines(tolven::testing::read_bytes(day.user_file));
        QCOMPARE(lines[25 * 2 + 4].substr(6, 1), std::string("1"));
        QCOMPARE(lines[25 * 2 + 22], tolven::user_bet_line(day.bets[2].user_quinella));
        saveScreenshot(form_.get(), "prediction-user.png");
    }

    void calculationTable() {
        TCalForm* cal = form_->calcForm();
        cal->setCurrentRace(1);
        auto rows = tolven::calc_time_rows(form_->day(), 1);
        for (int r = 0; r < cal->timeGrid()->rowCount(); ++r) {
            for (int c = 0; c < 12; ++c) {
                QCOMPARE(cal->timeGrid()->item(r, c)->text(),
                         qs(rows[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)]));
            }
        }
        QCOMPARE(cal->timeGrid()->item(0, 8)->background().color(), QColor(0, 255, 255));
        QCOMPARE(cal->timeGrid()->item(0, 9)->background().color(), QColor(0, 255, 0));
        form_->action("CalcBtn")->trigger();
        saveScreenshot(form_.get(), "calculation-table.png");
    }

    void graphs() {
        TGraphForm* graph = form_->graphForm();
        graph->setCurrentRace(0);
        auto bars = tolven::ability_order_bars(form_->day(), 0);
        QChart* chart = graph->chart(1);
        QCOMPARE(chart->series().size(), 1);
        auto* series = qobject_cast<QStackedBarSeries*>(chart->series().first());
        QVERIFY(series != nullptr);
        // Each bar's value sits in the set of its colour.
        for (std::size_t p = 0; p < bars.size(); ++p) {
            bool found = false;
            for (QBarSet* set : series->barSets()) {
                if (set->color() == TRaceForm::rgb(bars[p].colour)) {
                    QCOMPARE(set->at(static_cast<int>(p)), bars[p].value);
                    found = true;
                }
            }
            QVERIFY(found);
        }
        QVERIFY(graph->axisFixed()->isChecked());
        form_->action("GraphBtn")->trigger();
        for (int page = 0; page < 4; ++page) {
            graph->pages()->setCurrentIndex(page);
            saveScreenshot(form_.get(), QString("graph-%1.png").arg(page + 1));
        }
    }

    void raceContents() {
        TContentsForm* contents = form_->contentsForm();
        contents->setCurrentRace(1);
        auto rows = tolven::contents_rows(form_->day(), 1);
        for (int c = 0; c < 8; ++c)
            QCOMPARE(contents->grid()->item(0, c)->text(),
                     qs(rows[0][static_cast<std::size_t>(c)]));
        QVERIFY(contents->headerLine(0).startsWith(QStringLiteral(" 2R　")));
        form_->action("ShutubaBtn")->trigger();
        saveScreenshot(form_.get(), "race-contents.png");
    }

    void resultsRecordBothStates() {
        form_->hitsOnlyBox()->setChecked(false);
        form_->hitsOnlyBox()->click();
        QString hits = form_->resultsText()->toPlainText();
        form_->hitsOnlyBox()->click();
        QString all = form_->resultsText()->toPlainText();
        QVERIFY(all.size() > hits.size());
        QStringList expected;
        for (const auto& l : tolven::results_record(form_->day(), false)) expected << qs(l);
        QCOMPARE(all, expected.join(QLatin1Char('\n')));
        form_->action("JissekiBtn")->trigger();
        saveScreenshot(form_.get(), "results-record.png");
    }

    void fundAllocationAndInvestment() {
        TshikinForm* shikin = form_->allocationForm();
        tolven::FundAllocation& money = form_->allocation();
        QTableWidget* grid = shikin->grid();
        QCOMPARE(grid->rowCount(), 2 * form_->day().race_count + 1);
        for (int r = 1; r < grid->rowCount(); ++r) {
            for (int c = 0; c < 13; ++c) QCOMPARE(grid->item(r, c)->text(), qs(money.cell(r, c)));
        }
        QCOMPARE(shikin->totalStake()->text(), qs(money.total_stake_text()));
        int graded = 0;
        for (int race = 1; race <= money.races(); ++race) {
            if (money.graded(race) && money.bet_count(race) > 0) graded = race;
        }
        QVERIFY(graded > 0);
        QCOMPARE(grid->item(2 * graded - 1, 0)->background().color(), QColor(252, 169, 171));
        // Change the investment in the dialog and press OK.
        TtoushiForm* dialog = shikin->investmentDialog();
        dialog->loadFields();
        QVERIFY(dialog->field(graded)->isEnabled());
        dialog->field(graded)->setText("20000");
        dialog->BitBtn1Click();
        QCOMPARE(money.investment(graded), 20000);
        QCOMPARE(grid->item(2 * graded, 2)->text(), QStringLiteral("  20000"));
        int total = 0;
        for (int s : money.stakes(graded)) total += s;
        QCOMPARE(money.race_total(graded), total);
        QVERIFY(total > 10000);
        form_->action("SpeedButton9")->trigger();
        saveScreenshot(form_.get(), "fund-allocation.png");
        dialog->show();
        saveScreenshot(dialog, "investment-dialog.png");
        dialog->hide();
    }

    void hitExportWritesFilesAndClipboard() {
        QApplication::clipboard()->clear();
        form_->exportHits(false);
        fs::path folder = dir_.path() / "HPupload";
        QVERIFY(fs::exists(folder / "Vevezaza.txt"));
        bool tk = false;
        for (const auto& e : fs::directory_iterator(folder)) {
            tk = tk || e.path().filename().string().rfind("TK20261205", 0) == 0;
        }
        QVERIFY(tk);
        QVERIFY(QApplication::clipboard()->text().contains(
            QStringLiteral("TOLVEN for JRA-VAN Data Lab.")));
    }
};

static tolven::testing::RegisterUiTest<AnalysisWindowsTest> registered;

#include "analysis_windows_test.moc"
