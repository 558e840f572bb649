// The main window as a person uses it: the catalogue and the day list driven
// by mouse, keyboard and accessible actions on the sample store, the state the
// window is left in when a day cannot be loaded, the errors the core reports,
// the window menu, the ticker, the help and the program's start.
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <unistd.h>

#include "app/program_start.hpp"
#include "mainwindow/MainWindow.hpp"
#include "mainwindow/TickerWidget.hpp"
#include "store/atomic_file.hpp"
#include "store/cp932.hpp"
#include "support/temp_dir.hpp"
#include "ui_fixture.hpp"
#include "ui_tests.hpp"
#include "views/CalculationTableView.hpp"
#include "views/RaceCardView.hpp"
#include "views/TimeGraphView.hpp"
#include "views/PredictionView.hpp"
#include "widgets/EffectLabel.hpp"
#include "widgets/MessageDialog.hpp"
#include "widgets/error_boundary.hpp"
#include "windows/FundAllocationView.hpp"
#include "windows/HelpWindow.hpp"

namespace fs = std::filesystem;
using namespace tolven::testing;

Q_DECLARE_METATYPE(std::function<void(MainWindow&)>)

Q_DECLARE_METATYPE(std::function<void(const fs::path&)>)

namespace {

using Act = std::function<void(MainWindow&)>;
using Breakage = std::function<void(const fs::path& base)>;

fs::path dayFile(const fs::path& base, const QString& day, const char* extension) {
    return base / "Data" / (day.toStdString() + extension);
}

// The .jvRA files of a racecourse in the store: what the list must show for
// 日付の指定なし and that racecourse.
int storedDays(const fs::path& base, const QString& course) {
    int n = 0;
    for (const auto& e : fs::directory_iterator(base / "Data")) {
        QString name = QString::fromStdString(e.path().filename().string());
        if (name.endsWith(QStringLiteral(".jvRA")) && name.contains(course)) ++n;
    }
    return n;
}

// How a person sets a button: a mouse click, a key pressed where the keyboard
// focus is, or the toggle action of a screen reader.
enum class Means { Mouse, Key, Accessible };

void addMeansRows() {
    QTest::addColumn<Means>("means");
    QTest::newRow("mouse") << Means::Mouse;
    QTest::newRow("key") << Means::Key;
    QTest::newRow("accessible toggle") << Means::Accessible;
}

void operate(Means means, QAbstractButton* button, QWidget* focus = nullptr,
             Qt::Key key = Qt::Key_Space) {
    switch (means) {
        case Means::Mouse:
            clickWidget(button);
            break;
        case Means::Key:
            pressKey(focus != nullptr ? focus : button, key);
            break;
        case Means::Accessible:
            QVERIFY(doAccessibleAction(accessibleOf(button),
                                       QAccessibleActionInterface::toggleAction()));
            break;
    }
}

const char* const kDayButtons[] = {"PredictionButton", "RaceCardButton", "GraphButton", "CalculationButton", "AllocationButton"};

// What a person sees when no day is loaded: the day buttons and printing
// disabled, no view of a day in the window area.
void requireNoDayShown(MainWindow& form) {
    for (const char* name : kDayButtons) {
        QVERIFY2(!form.action(QString::fromLatin1(name))->isEnabled(), name);
    }
    QVERIFY(!form.action(QStringLiteral("PrintChoiceButton"))->isEnabled());
    QVERIFY(!form.action(QStringLiteral("PrintAction"))->isEnabled());
    for (QWidget* view :
         {static_cast<QWidget*>(form.predictionView()), static_cast<QWidget*>(form.raceCardView()),
          static_cast<QWidget*>(form.calculationView()), static_cast<QWidget*>(form.timeGraphView()),
          static_cast<QWidget*>(form.allocationView())}) {
        QVERIFY2(!frameOf(view)->isVisible(), qPrintable(frameOf(view)->windowTitle()));
    }
}

}  // namespace

Q_DECLARE_METATYPE(Means)

class MainWindowTest : public QObject {
    Q_OBJECT

    std::optional<OpenedFiles> opened_;

  private slots:
    void initTestCase() {
        MessageDialog::setAutoAnswer(QMessageBox::Ok);
        sampleBase();
    }
    void cleanupTestCase() { MessageDialog::setAutoAnswer(std::nullopt); }
    void init() { opened_.emplace(); }
    void cleanup() { opened_.reset(); }

    void firstStartRestoresAndSavesItsSettings() {
        TempDir dir;
        auto form = openMainWindow(dir.path());
        // A first start: 10,10, 1000 x 800, 全場 and 本日のレース, an empty list.
        QCOMPARE(form->pos(), QPoint(10, 10));
        QCOMPARE(form->size(), QSize(1000, 800));
        QVERIFY(form->findChild<QToolButton*>(QStringLiteral("Basho0"))->isChecked());
        QVERIFY(form->findChild<QRadioButton*>(QStringLiteral("Hiduke0"))->isChecked());
        QCOMPARE(form->dayList()->count(), 0);
        QCOMPARE(form->windowTitle(), QStringLiteral("TOLVEN"));
        for (const char* name : kDayButtons) {
            QVERIFY2(!form->action(QString::fromLatin1(name))->isEnabled(), name);
        }
        // Printing is offered, and asks for a day first.
        QVERIFY(form->action(QStringLiteral("PrintChoiceButton"))->isEnabled());
        clickToolButton(form.get(), QStringLiteral("PrintChoiceButton"));
        QCOMPARE(MessageDialog::lastMessage(), QStringLiteral("分析用データを読み込んでください。"));
        TOLVEN_REQUIRE(requireOnScreen(form.get()));

        clickWidget(form->findChild<QToolButton*>(QStringLiteral("Basho9")));
        clickWidget(form->findChild<QRadioButton*>(QStringLiteral("Hiduke2")));
        chooseMenu(form.get(), QStringLiteral("ファイル(&F)"), QStringLiteral("終了(&X)"));
        QVERIFY(!form->isVisible());
        std::string ini = read_bytes(dir.path() / "tolven.ini");
        for (const char* key : {"basho=9", "hiduke=2", "[locate]", "width=1000", "top=10"}) {
            QVERIFY2(ini.find(key) != std::string::npos, key);
        }
        auto again = openMainWindow(dir.path());
        QVERIFY(again->findChild<QToolButton*>(QStringLiteral("Basho9"))->isChecked());
        QVERIFY(again->findChild<QRadioButton*>(QStringLiteral("Hiduke2"))->isChecked());
    }

    // Every way a person picks a day loads it, not only a mouse click.
    void dayListLoadsByEveryMeans_data() {
        QTest::addColumn<Act>("pick");
        QTest::addColumn<QString>("loaded");
        QTest::newRow("mouse click")
            << Act([](MainWindow& f) { clickListRow(f.dayList(), 1); }) << kChukyo;
        QTest::newRow("arrow key") << Act([](MainWindow& f) {
            clickListRow(f.dayList(), 0);
            pressKey(f.dayList(), Qt::Key_Down);
        }) << kChukyo;
        QTest::newRow("arrow key after tabbing in") << Act([](MainWindow& f) {
            // The keyboard focus alone marks the first entry and loads nothing.
            f.dayList()->setFocus(Qt::TabFocusReason);
            QVERIFY(f.bannerText().isEmpty());
            pressKey(f.dayList(), Qt::Key_Down);
        }) << kChukyo;
        QTest::newRow("accessible select") << Act([](MainWindow& f) {
            QAccessibleInterface* list = accessibleOf(f.dayList());
            QVERIFY(list != nullptr && list->tableInterface() != nullptr);
            QAccessibleInterface* cell = list->tableInterface()->cellAt(2, 0);
            QVERIFY(cell != nullptr);
            QCOMPARE(cell->text(QAccessible::Name), kHanshin);
            QVERIFY(doAccessibleAction(cell, QAccessibleActionInterface::toggleAction()));
        }) << kHanshin;
    }
    void dayListLoadsByEveryMeans() {
        QFETCH(Act, pick);
        QFETCH(QString, loaded);
        auto form = openMainWindow(sampleBase());
        TOLVEN_REQUIRE(showYesterday(*form));
        QCOMPARE(form->dayList()->item(0)->text(), kNakayama);
        QCOMPARE(form->dayList()->item(1)->text(), kChukyo);
        QCOMPARE(form->dayList()->item(2)->text(), kHanshin);
        TOLVEN_REQUIRE(pick(*form));
        QVERIFY2(form->bannerText().startsWith(loaded.left(11)) &&
                     form->bannerText().contains(loaded.right(2)),
                 qPrintable(form->bannerText()));
        QVERIFY(form->action(QStringLiteral("PredictionButton"))->isEnabled());
        QCOMPARE(form->mdiArea()->activeSubWindow(), frameOf(form->predictionView()));
        TOLVEN_REQUIRE(requireShowing(form->predictionView()));
        TOLVEN_REQUIRE(requireOnScreen(form.get()));
        saveScreenshot(form.get(), "main-window-day.png");
    }

    // Enter, Space and a click on the entry already chosen load it again: the
    // prediction window comes back to the front.
    void theChosenDayLoadsAgain_data() {
        QTest::addColumn<Act>("again");
        QTest::newRow("Enter") << Act([](MainWindow& f) { pressKey(f.dayList(), Qt::Key_Return); });
        QTest::newRow("Space") << Act([](MainWindow& f) { pressKey(f.dayList(), Qt::Key_Space); });
        QTest::newRow("click") << Act([](MainWindow& f) { clickListRow(f.dayList(), 0); });
    }
    void theChosenDayLoadsAgain() {
        QFETCH(Act, again);
        auto form = openMainWindow(sampleBase());
        TOLVEN_REQUIRE(showYesterday(*form));
        TOLVEN_REQUIRE(clickDay(*form, kNakayama));
        clickToolButton(form.get(), QStringLiteral("CalculationButton"));
        QCOMPARE(form->mdiArea()->activeSubWindow(), frameOf(form->calculationView()));
        TOLVEN_REQUIRE(again(*form));
        QCOMPARE(form->mdiArea()->activeSubWindow(), frameOf(form->predictionView()));
        QVERIFY(form->bannerText().startsWith(QStringLiteral("2026年12月05日")));
    }

    // The racecourse buttons rebuild the list whichever way they go down.
    void courseButtonsRebuildTheList_data() { addMeansRows(); }
    void courseButtonsRebuildTheList() {
        QFETCH(Means, means);
        auto form = openMainWindow(sampleBase());
        clickWidget(form->findChild<QRadioButton*>(QStringLiteral("Hiduke2")));
        for (int index : {9, 8, 0, 3}) {
            auto* button = form->findChild<QToolButton*>(QStringLiteral("Basho%1").arg(index));
            QString course = index == 0 ? QString() : button->text();
            TOLVEN_REQUIRE(operate(means, button));
            QVERIFY(button->isChecked());
            QCOMPARE(form->dayList()->count(), storedDays(sampleBase(), course));
            for (int i = 0; i < form->dayList()->count(); ++i) {
                QVERIFY(form->dayList()->item(i)->text().contains(course));
            }
        }
    }

    void dateButtonsRebuildTheList_data() { addMeansRows(); }
    void dateButtonsRebuildTheList() {
        QFETCH(Means, means);
        auto form = openMainWindow(sampleBase());
        // 本日のレース: the three meetings of 2026-12-06.
        QCOMPARE(form->dayList()->count(), 3);
        struct Step {
            int index;
            QString date;
            int count;
        };
        for (const Step& step : {Step{1, QStringLiteral("2026年12月05日"), 3},
                                 Step{2, QString(), storedDays(sampleBase(), QString())},
                                 Step{1, QStringLiteral("2026年12月05日"), 3}}) {
            auto* radio =
                form->findChild<QRadioButton*>(QStringLiteral("Hiduke%1").arg(step.index));
            // By key: an arrow from the radio button that is set.
            int from = form->dateIndex();
            auto* current = form->findChild<QRadioButton*>(QStringLiteral("Hiduke%1").arg(from));
            TOLVEN_REQUIRE(
                operate(means, radio, current, from < step.index ? Qt::Key_Down : Qt::Key_Up));
            QVERIFY(radio->isChecked());
            QCOMPARE(form->dayList()->count(), step.count);
            for (int i = 0; i < form->dayList()->count(); ++i) {
                QVERIFY(form->dayList()->item(i)->text().startsWith(step.date));
            }
        }
    }

    // 的中馬券 lists only the hits, however it is ticked.
    void hitsOnlyRefiltersTheRecord_data() { addMeansRows(); }
    void hitsOnlyRefiltersTheRecord() {
        QFETCH(Means, means);
        auto form = openMainWindow(sampleBase());
        TOLVEN_REQUIRE(showYesterday(*form));
        TOLVEN_REQUIRE(clickDay(*form, kNakayama));
        clickToolButton(form.get(), QStringLiteral("ResultsRecordButton"));
        QCheckBox* box = form->hitsOnlyBox();
        auto toggle = [&] { operate(means, box); };
        // A payout line that is not a hit carries three ideographic blanks
        // where a hit says 的中.
        const QString miss = QStringLiteral("R　　　　");
        QString all = form->resultsText()->toPlainText();
        QVERIFY(all.startsWith(QStringLiteral("<< 的中レースリスト >>")));
        QVERIFY(all.contains(miss));
        TOLVEN_REQUIRE(toggle());
        QVERIFY(box->isChecked());
        QString hits = form->resultsText()->toPlainText();
        QVERIFY(hits.startsWith(QStringLiteral("<< 的中レースリスト >>")));
        QVERIFY2(!hits.contains(miss), qPrintable(hits));
        TOLVEN_REQUIRE(toggle());
        QCOMPARE(form->resultsText()->toPlainText(), all);
    }

    // A day that cannot be loaded leaves nothing of a day offered, tells why,
    // and the next day loads as usual.
    void aDayThatCannotBeLoaded_data() {
        QTest::addColumn<Breakage>("breakage");
        QTest::addColumn<QStringList>("message");
        QTest::newRow("user file is a folder")
            << Breakage([](const fs::path& base) {
                   fs::remove(dayFile(base, kNakayama, ".User"));
                   fs::create_directory(dayFile(base, kNakayama, ".User"));
               })
            << QStringList{
                   QStringLiteral("レース日を読み込めませんでした。"),
                   QString::fromStdString(dayFile({}, kNakayama, ".User").filename().string()),
                   QStringLiteral("ファイルではなくフォルダです")};
        QTest::newRow("runner file missing") << Breakage([](const fs::path& base) {
            fs::remove(dayFile(base, kNakayama, ".jvSEr"));
        }) << QStringList{QStringLiteral("データ作成が未完了のようです。")};
        if (geteuid() != 0) {
            // Only a user who may not write everywhere meets a read-only
            // folder; the file-size limit below gives the same failure to all.
            QTest::newRow("data folder read-only")
                << Breakage([](const fs::path& base) {
                       fs::remove(dayFile(base, kNakayama, ".User"));
                       fs::permissions(base / "Data",
                                       fs::perms::owner_write | fs::perms::group_write |
                                           fs::perms::others_write,
                                       fs::perm_options::remove);
                   })
                << QStringList{QStringLiteral("レース日を読み込めませんでした。"),
                               QStringLiteral("Data"), QStringLiteral("アクセスが許可されていません")};
        }
    }
    void aDayThatCannotBeLoaded() {
        QFETCH(Breakage, breakage);
        QFETCH(QStringList, message);
        TempDir dir;
        copySampleBase(dir.path());
        auto form = openMainWindow(dir.path());
        TOLVEN_REQUIRE(showYesterday(*form));
        TOLVEN_REQUIRE(clickDay(*form, kChukyo));
        breakage(dir.path());
        // The dialog is a real one here: behind it the window already shows
        // that no day is loaded.
        MessageDialog::setAutoAnswer(std::nullopt);
        bool shown = false;
        whenModalShows([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box != nullptr);
            shown = true;
            requireNoDayShown(*form);
            box->button(QMessageBox::Ok)->click();
        });
        clickListRow(form->dayList(), rowOf(form->dayList(), kNakayama));
        MessageDialog::setAutoAnswer(QMessageBox::Ok);
        fs::permissions(dir.path() / "Data", fs::perms::owner_all, fs::perm_options::add);
        QVERIFY(shown);
        for (const QString& part : message) {
            QVERIFY2(MessageDialog::lastMessage().contains(part), qPrintable(MessageDialog::lastMessage()));
        }
        TOLVEN_REQUIRE(requireNoDayShown(*form));
        QVERIFY(form->resultsText()->toPlainText().isEmpty());
        // The program goes on: the other day loads and offers everything.
        TOLVEN_REQUIRE(clickDay(*form, kChukyo));
        QVERIFY(form->action(QStringLiteral("PrintChoiceButton"))->isEnabled());
        QVERIFY(form->action(QStringLiteral("PredictionButton"))->isEnabled());
        TOLVEN_REQUIRE(requireShowing(form->predictionView()));
    }

    // Viewing a day writes nothing: with every write beyond a file-size limit
    // failing, a day without a user file loads and shows, and has none after,
    // also when the list moves to another day and back.
    void aDayIsViewedWithoutWritingItsUserFile() {
        TempDir dir;
        copySampleBase(dir.path());
        fs::remove(dayFile(dir.path(), kNakayama, ".User"));
        auto form = openMainWindow(dir.path());
        TOLVEN_REQUIRE(showYesterday(*form));
        int shown = MessageDialog::shownCount();
        {
            FileSizeLimit limit(100);
            TOLVEN_REQUIRE(clickDay(*form, kNakayama));
            TOLVEN_REQUIRE(requireShowing(form->predictionView()));
            TOLVEN_REQUIRE(clickDay(*form, kChukyo));
            TOLVEN_REQUIRE(clickDay(*form, kNakayama));
        }
        QVERIFY(!fs::exists(dayFile(dir.path(), kNakayama, ".User")));
        // Nothing failed, so nothing was reported.
        QCOMPARE(MessageDialog::shownCount(), shown);
    }

    // A tick whose user file cannot be written is reported; the tick stays on
    // screen and the program carries on.
    void aTickThatCannotBeSaved() {
        TempDir dir;
        copySampleBase(dir.path());
        auto form = openMainWindow(dir.path());
        TOLVEN_REQUIRE(showYesterday(*form));
        TOLVEN_REQUIRE(clickDay(*form, kNakayama));
        PredictionView* predictionView = form->predictionView();
        TOLVEN_REQUIRE(clickTab(predictionView->pages()->tabBar(), 1));
        int before = MessageDialog::shownCount();
        {
            FileSizeLimit limit(100);
            TOLVEN_REQUIRE(clickCell(predictionView->userGrid(), 1, 3));
        }
        QCOMPARE(MessageDialog::shownCount(), before + 1);
        QVERIFY2(MessageDialog::lastMessage().startsWith(QStringLiteral("予想を保存できませんでした。")),
                 qPrintable(MessageDialog::lastMessage()));
        QVERIFY(MessageDialog::lastMessage().contains(QStringLiteral("ファイルが大きすぎます")));
        QCOMPARE(predictionView->userGrid()->item(1, 3)->text(), QStringLiteral("●"));
        // The next tick saves both.
        TOLVEN_REQUIRE(clickCell(predictionView->userGrid(), 2, 3));
        std::string saved = read_bytes(dayFile(dir.path(), kNakayama, ".User"));
        // Rows 1 and 2 are horses 2 and 3: their first check item is ticked.
        QVERIFY(saved.find("| 2|1|") != std::string::npos);
        QVERIFY(saved.find("| 3|1|") != std::string::npos);
    }

    // A runner without a bracket number: the figures exist, but the
    // prediction and the race card stay hidden and nothing is printed.
    void anIncompleteDay() {
        TempDir dir;
        copySampleBase(dir.path());
        fs::path runners = dayFile(dir.path(), kNakayama, ".jvSEr");
        std::string bytes = read_bytes(runners);
        bytes[27] = '0';
        write_bytes(runners, bytes);
        auto form = openMainWindow(dir.path());
        TOLVEN_REQUIRE(showYesterday(*form));
        TOLVEN_REQUIRE(clickDay(*form, kChukyo));
        TOLVEN_REQUIRE(clickDay(*form, kNakayama));
        QCOMPARE(MessageDialog::lastMessage(), QStringLiteral("データ作成が未完了のようです。"));
        QVERIFY(!frameOf(form->predictionView())->isVisible());
        QVERIFY(!frameOf(form->raceCardView())->isVisible());
        QVERIFY(!form->action(QStringLiteral("PrintChoiceButton"))->isEnabled());
        QVERIFY(!form->action(QStringLiteral("PrintAction"))->isEnabled());
        QVERIFY(!form->action(QStringLiteral("PredictionButton"))->isEnabled());
        QVERIFY(!form->action(QStringLiteral("RaceCardButton"))->isEnabled());
        // The figures were computed: the calculation table can be shown.
        QVERIFY(form->action(QStringLiteral("CalculationButton"))->isEnabled());
        clickToolButton(form.get(), QStringLiteral("CalculationButton"));
        TOLVEN_REQUIRE(requireShowing(form->calculationView()));
        QVERIFY(!frameOf(form->predictionView())->isVisible());
    }

    // 結果情報 on a day whose files cannot be written: the message names the
    // file and the reason, the stored files are as they were, the day stays.
    void resultsRefreshThatCannotWrite() {
        TempDir dir;
        copySampleBase(dir.path());
        auto form = openMainWindow(dir.path());
        const QString today = QStringLiteral("2026年12月06日中山");
        // 本日のレース lists the provisional meetings, whose results come in
        // by 結果情報.
        QVERIFY(rowOf(form->dayList(), today) >= 0);
        TOLVEN_REQUIRE(clickDay(*form, today));
        std::map<std::string, std::string> before;
        for (const char* ext : {".jvRA", ".jvSEr", ".jvHR"})
            before[ext] = read_bytes(dayFile(dir.path(), today, ext));
        {
            FileSizeLimit limit(1000);
            clickToolButton(form.get(), QStringLiteral("ResultsRefreshButton"));
        }
        QVERIFY2(
            MessageDialog::lastMessage().startsWith(QStringLiteral("結果情報を取り込めませんでした。")),
            qPrintable(MessageDialog::lastMessage()));
        QVERIFY(MessageDialog::lastMessage().contains(QStringLiteral("ファイルが大きすぎます")));
        QVERIFY(MessageDialog::lastMessage().contains(QString::fromStdString(dir.path().string())));
        for (const char* ext : {".jvRA", ".jvSEr", ".jvHR"})
            QVERIFY2(read_bytes(dayFile(dir.path(), today, ext)) == before[ext], ext);
        QVERIFY(form->bannerText().startsWith(QStringLiteral("2026年12月06日")));
        QVERIFY(form->action(QStringLiteral("ResultsRefreshButton"))->isEnabled());
        QVERIFY(QApplication::overrideCursor() == nullptr);
        // Without the limit the refresh goes through.
        clickToolButton(form.get(), QStringLiteral("ResultsRefreshButton"));
        QVERIFY(!read_bytes(dayFile(dir.path(), today, ".jvHR")).empty());
    }

    // 的中 when the export folder cannot be made: the day shown stays, with
    // the list on it and the user's tick, whichever day of the date it is.
    void hitExportThatCannotWrite() {
        TempDir dir;
        copySampleBase(dir.path());
        fs::remove_all(dir.path() / "HPupload");
        write_bytes(dir.path() / "HPupload", "not a folder");
        auto form = openMainWindow(dir.path());
        TOLVEN_REQUIRE(showYesterday(*form));
        TOLVEN_REQUIRE(clickDay(*form, kChukyo));
        PredictionView* view = form->predictionView();
        TOLVEN_REQUIRE(clickTab(view->pages()->tabBar(), 1));
        TOLVEN_REQUIRE(clickCell(view->userGrid(), 1, 3));
        QCOMPARE(view->userGrid()->item(1, 3)->text(), QStringLiteral("●"));
        clickWidget(view->hitButton());
        QVERIFY2(
            MessageDialog::lastMessage().startsWith(QStringLiteral("的中馬券を書き出せませんでした。")),
            qPrintable(MessageDialog::lastMessage()));
        QVERIFY(MessageDialog::lastMessage().contains(QStringLiteral("HPupload")));
        QVERIFY(opened_->files().isEmpty());
        QCOMPARE(read_bytes(dir.path() / "HPupload"), std::string("not a folder"));
        // The day chosen is still shown, with everything offered.
        QVERIFY(form->bannerText().startsWith(QStringLiteral("2026年12月05日")));
        QVERIFY2(form->bannerText().contains(QStringLiteral("中京")), qPrintable(form->bannerText()));
        QCOMPARE(form->dayList()->currentItem()->text(), kChukyo);
        QVERIFY(form->dayList()->currentItem()->isSelected());
        QVERIFY(form->action(QStringLiteral("PrintChoiceButton"))->isEnabled());
        TOLVEN_REQUIRE(requireShowing(view));
        QCOMPARE(view->userGrid()->item(1, 3)->text(), QStringLiteral("●"));
    }

    void hitExportOpensTheList() {
        TempDir dir;
        copySampleBase(dir.path());
        auto form = openMainWindow(dir.path());
        TOLVEN_REQUIRE(showYesterday(*form));
        TOLVEN_REQUIRE(clickDay(*form, kChukyo));
        clickWidget(form->predictionView()->hitButton());
        QCOMPARE(opened_->files().size(), 1);
        QVERIFY(opened_->files()[0].contains(QStringLiteral("/HPupload/TK20261205")));
        QVERIFY(fs::exists(opened_->files()[0].toStdString()));
        // The export covers every day of the date; the day shown stays.
        QVERIFY(form->bannerText().startsWith(QStringLiteral("2026年12月05日")));
        QVERIFY2(form->bannerText().contains(QStringLiteral("中京")), qPrintable(form->bannerText()));
        QCOMPARE(form->dayList()->currentItem()->text(), kChukyo);
    }

    // ならべて表示 arranges the views side by side in the window area; the
    // window keeps its size on the screen. A large window shows every view
    // whole; in a small one each view scrolls inside its tile.
    void tilingKeepsTheWindowOnScreen_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("wholeViews");
        QTest::newRow("first-start size") << QSize(1000, 800) << false;
        QTest::newRow("whole screen") << QSize(1270, 1000) << true;
    }
    void tilingKeepsTheWindowOnScreen() {
        QFETCH(QSize, size);
        QFETCH(bool, wholeViews);
        auto form = openMainWindow(sampleBase());
        form->move(0, 0);
        form->resize(size);
        TOLVEN_REQUIRE(showYesterday(*form));
        TOLVEN_REQUIRE(clickDay(*form, kNakayama));
        for (const char* name : {"RaceCardButton", "GraphButton", "CalculationButton", "AllocationButton", "ResultsRecordButton"})
            clickToolButton(form.get(), QString::fromLatin1(name));
        chooseMenu(form.get(), QStringLiteral("ウィンドウ(&W)"),
                   QStringLiteral("ならべて表示(&T)"));
        QTest::qWait(50);
        QCOMPARE(form->size(), size);
        TOLVEN_REQUIRE(requireOnScreen(form.get()));
        QRect area = form->mdiArea()->viewport()->rect();
        QList<QMdiSubWindow*> views;
        for (QMdiSubWindow* w : form->mdiArea()->subWindowList()) {
            if (w->isVisible()) views << w;
        }
        QCOMPARE(views.size(), 6);
        for (int i = 0; i < views.size(); ++i) {
            QMdiSubWindow* w = views[i];
            QVERIFY2(!w->isMaximized() && !w->isMinimized(), qPrintable(w->windowTitle()));
            // Nothing is squeezed, nothing lies beside the area, nothing
            // overlaps.
            QVERIFY2(w->width() >= w->minimumSizeHint().width() &&
                         w->height() >= w->minimumSizeHint().height(),
                     qPrintable(w->windowTitle()));
            QVERIFY2(w->x() >= 0 && w->geometry().right() <= area.right(),
                     qPrintable(w->windowTitle()));
            QVERIFY2(area.contains(w->geometry()),
                         qPrintable(w->windowTitle() + QStringLiteral(" %1,%2 %3x%4 in %5x%6")
                                                           .arg(w->x())
                                                           .arg(w->y())
                                                           .arg(w->width())
                                                           .arg(w->height())
                                                           .arg(area.width())
                                                           .arg(area.height())));
            for (int j = 0; j < i; ++j) QVERIFY(!w->geometry().intersects(views[j]->geometry()));
        }
        // The bets stay readable in the smaller prediction view, scroll bar
        // or not (where every view is in sight).
        for (QListWidget* list : form->predictionView()->findChildren<QListWidget*>()) {
            if (wholeViews && list->isVisible()) TOLVEN_REQUIRE(requireItemsFit(list));
        }
        saveScreenshot(form.get(), QStringLiteral("main-window-tiled-%1.png").arg(size.width()));
    }

    // ｱｲｺﾝの整列 lines the minimised views up along the bottom of the area.
    void arrangeIconsLinesUpMinimisedViews() {
        auto form = openMainWindow(sampleBase());
        TOLVEN_REQUIRE(showYesterday(*form));
        TOLVEN_REQUIRE(clickDay(*form, kNakayama));
        for (const char* name : {"RaceCardButton", "GraphButton", "CalculationButton"})
            clickToolButton(form.get(), QString::fromLatin1(name));
        chooseMenu(form.get(), QStringLiteral("ウィンドウ(&W)"),
                   QStringLiteral("すべてをｱｲｺﾝ化(&M)"));
        QList<QMdiSubWindow*> icons;
        for (QMdiSubWindow* w : form->mdiArea()->subWindowList()) {
            if (w->isVisible()) {
                QVERIFY2(w->isMinimized(), qPrintable(w->windowTitle()));
                icons << w;
            }
        }
        QVERIFY(icons.size() >= 4);
        // The user drags two icons away.
        icons[0]->move(200, 120);
        icons[2]->move(420, 40);
        chooseMenu(form.get(), QStringLiteral("ウィンドウ(&W)"), QStringLiteral("ｱｲｺﾝの整列(&A)"));
        QRect area = form->mdiArea()->viewport()->rect();
        int lowest = 0;
        for (int i = 0; i < icons.size(); ++i) {
            QRect r = icons[i]->geometry();
            QVERIFY2(area.contains(r), qPrintable(icons[i]->windowTitle()));
            // In rows from the bottom up: each icon sits in the bottom band.
            QVERIFY2(r.bottom() > area.bottom() - icons.size() * r.height(),
                     qPrintable(icons[i]->windowTitle()));
            lowest = std::max(lowest, r.bottom());
            for (int j = 0; j < i; ++j) QVERIFY(!r.intersects(icons[j]->geometry()));
        }
        QCOMPARE(lowest, area.bottom());
        QCOMPARE(icons[0]->pos(), QPoint(0, area.bottom() + 1 - icons[0]->height()));
    }

    // The ticker's text comes in at the right edge and moves left.
    void tickerEntersFromTheRight() {
        auto form = openMainWindow(sampleBase());
        auto* ticker = form->findChild<TickerWidget*>();
        TOLVEN_REQUIRE(requireShowing(ticker));
        QVERIFY(ticker->width() > 400);
        QTest::qWait(300);
        QImage shot = ticker->grab().toImage();
        int leftmostRed = shot.width();
        for (int x = 0; x < shot.width(); ++x) {
            for (int y = 0; y < shot.height(); ++y) {
                QColor c = shot.pixelColor(x, y);
                if (c.red() > 128 && c.green() < 64) leftmostRed = std::min(leftmostRed, x);
            }
        }
        QVERIFY2(leftmostRed > shot.width() * 3 / 4 && leftmostRed < shot.width(),
                 qPrintable(
                     QStringLiteral("text starts at %1 of %2").arg(leftmostRed).arg(shot.width())));
    }

    void helpContentsOpensTheGuide() {
        TempDir dir;
        write_bytes(dir.path() / "help" / "index.html", "<html><body>TOLVENの使い方</body></html>");
        auto form = openMainWindow(dir.path());
        chooseMenu(form.get(), QStringLiteral("ヘルプ(&H)"), QStringLiteral("目次(&C)"));
        QVERIFY(opened_->files().isEmpty());
        QVERIFY(form->helpWindow() != nullptr && form->helpWindow()->isVisible());
        QCOMPARE(form->helpWindow()->browser()->source(),
                 QUrl::fromLocalFile(QString::fromStdString((dir.path() / "help" / "index.html").string())));
    }

    void helpContentsSaysWhereItLooked() {
        TempDir dir;
        auto form = openMainWindow(dir.path());
        std::vector<fs::path> places{dir.path() / "help" / "index.html",
                                     dir.path() / "share" / "tolven" / "help" / "index.html"};
        form->setHelpPlaces(places);
        int shown = MessageDialog::shownCount();
        chooseMenu(form.get(), QStringLiteral("ヘルプ(&H)"), QStringLiteral("目次(&C)"));
        QCOMPARE(MessageDialog::shownCount(), shown + 1);
        QVERIFY(opened_->files().isEmpty());
        QString text = MessageDialog::lastMessage();
        QVERIFY(text.startsWith(QStringLiteral("ヘルプが見つかりません。")));
        for (const fs::path& p : places) QVERIFY(text.contains(QString::fromStdString(p.string())));
    }

    // Qt's own dialog buttons speak Japanese.
    void standardButtonsSpeakJapanese() {
        MessageDialog::setAutoAnswer(std::nullopt);
        QStringList texts;
        whenModalShows([&texts](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box != nullptr);
            for (QAbstractButton* b : box->buttons()) texts << b->text();
            box->button(QMessageBox::No)->click();
        });
        bool yes =
            MessageDialog::confirm(nullptr, QStringLiteral("データ取込を中止します。実行しますか？"));
        MessageDialog::setAutoAnswer(QMessageBox::Ok);
        QVERIFY(!yes);
        QVERIFY2(texts.contains(QStringLiteral("はい(&Y)")) &&
                     texts.contains(QStringLiteral("いいえ(&N)")),
                 qPrintable(texts.join(QLatin1Char(','))));
    }

    // The toolbar's buttons and each menu's entries as a person sees them:
    // captions left to right (top to bottom), which can be used before a day
    // is loaded, tick marks, separators and the hints of the status bar.
    void toolbarAndMenusShowEveryCommand() {
        TempDir dir;
        auto form = openMainWindow(dir.path());
        auto* bar = form->findChild<QToolBar*>(QStringLiteral("ToolBar"));
        TOLVEN_REQUIRE(requireShowing(bar));
        QList<QToolButton*> buttons;
        for (QAction* a : bar->actions()) {
            auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(a));
            TOLVEN_REQUIRE(requireShowing(button));
            buttons << button;
        }
        std::sort(buttons.begin(), buttons.end(),
                  [](QToolButton* a, QToolButton* b) { return a->x() < b->x(); });
        QStringList captions, usable, tips;
        for (QToolButton* b : buttons) {
            captions << b->text();
            usable << (b->isEnabled() ? QStringLiteral("1") : QStringLiteral("0"));
            tips << b->toolTip() + QLatin1Char('/') + b->defaultAction()->statusTip();
        }
        QCOMPARE(captions.join(QLatin1Char('|')),
                 QStringLiteral("JVデータ取得|結果情報|予想|出馬表|能力ｸﾞﾗﾌ|計算表|資金配分|実績表|"
                                "収支分析|印刷|終了|F"));
        QCOMPARE(usable.join(QString()), QStringLiteral("110000011111"));
        saveScreenshot(form.get(), "main-window-toolbar.png");
        QCOMPARE(
            tips.join(QLatin1Char('|')),
            QStringLiteral(
                "JRA-VANﾃﾞｰﾀ(*.lzh)を読み込んで解凍し、ﾃﾞｰﾀﾌｧｲﾙを作成します/"
                "JRA-VANﾃﾞｰﾀ(*.lzh)を読み込んで解凍し、ﾃﾞｰﾀﾌｧｲﾙを作成します|"
                "レース結果の簡易表示窓を出します。/レース結果の簡易表示窓を出します。|"
                "予想表を表示します/予想表を表示します|出馬表を表示します/出馬表を表示します|"
                "ﾀｲﾑｸﾞﾗﾌを表示します/ﾀｲﾑｸﾞﾗﾌを表示します|計算表を表示します/計算表を表示します|"
                "資金配分の計算をします/資金配分の計算をします|"
                "実績表を表示します/実績表を表示します|"
                "過去の買い目の収支を期間・券種・パターン別に集計します/"
                "過去の買い目の収支を期間・券種・パターン別に集計します|"
                "買い目や予想支援ﾃﾞｰﾀを印刷します/買い目や予想支援ﾃﾞｰﾀを印刷します|"
                "終了/終了|ﾃﾞｰﾀﾘｽﾄ表示/非表示/ﾃﾞｰﾀﾘｽﾄ表示/非表示"));

        // Each menu opened by a click on its title: "-" a separator, [x] and
        // [ ] a tick, the status-bar hint after "/".
        QMenuBar* menus = form->menuBar();
        TOLVEN_REQUIRE(requireShowing(menus));
        QStringList seen;
        for (QAction* title : menus->actions()) {
            QRect place = menus->actionGeometry(title);
            QVERIFY(place.width() > 0 && place.height() > 0);
            QTest::mouseClick(menus, Qt::LeftButton, Qt::NoModifier, place.center());
            QMenu* menu = title->menu();
            QVERIFY(QTest::qWaitFor([menu] { return menu->isVisible(); }, 2000));
            QStringList entries;
            for (QAction* a : menu->actions()) {
                if (a->isSeparator()) {
                    entries << QStringLiteral("-");
                    continue;
                }
                QVERIFY(menu->actionGeometry(a).height() > 0);
                QString entry = a->text();
                if (a->isCheckable())
                    entry += a->isChecked() ? QStringLiteral(" [x]") : QStringLiteral(" [ ]");
                if (!a->statusTip().isEmpty()) entry += QLatin1Char('/') + a->statusTip();
                entries << entry;
            }
            seen << title->text() + QStringLiteral(": ") + entries.join(QLatin1Char('|'));
            saveScreenshot(menu, QStringLiteral("menu-%1.png").arg(seen.size()));
            menu->close();
            QVERIFY(QTest::qWaitFor([menu] { return !menu->isVisible(); }, 2000));
        }
        QCOMPARE(
            seen.join(QLatin1Char('\n')),
            QStringLiteral(
                "ファイル(&F): "
                "ＪＶデータ取得(&J)/JRA-VANﾃﾞｰﾀ(*.lzh)を読み込んで解凍し、ﾃﾞｰﾀﾌｧｲﾙを作成します|"
                "データファイルメンテナンス(&D)/"
                "使用済みのﾃﾞｰﾀを別のﾌｫﾙﾀﾞに移動したり、削除したりします|"
                "印刷(&P)/買い目や予想支援ﾃﾞｰﾀを印刷します|-|終了(&X)/終了\n"
                "表示(&V): ﾂｰﾙﾊﾞｰ(&T) [x]/ﾂｰﾙﾊﾞｰの表示/非表示選択|"
                "ﾃｨｯｶを消す [ ]/ﾃｨｯｶの表示/非表示選択|-|"
                "収支分析(&B)/過去の買い目の収支を期間・券種・パターン別に集計します\n"
                "ウィンドウ(&W): 重ねて表示(&C)|ならべて表示(&T)|ｱｲｺﾝの整列(&A)|"
                "すべてをｱｲｺﾝ化(&M)\n"
                "ヘルプ(&H): 目次(&C)/ﾍﾙﾌﾟの目次を表示します|"
                "ﾊﾞｰｼﾞｮﾝ情報(&A).../ﾌﾟﾛｸﾞﾗﾑの情報を表示します"));
    }

    void theAboutBoxShowsTheVersion() {
        auto form = openMainWindow(sampleBase());
        bool shown = false;
        whenModalShows([&](QWidget* box) {
            shown = true;
            QCOMPARE(box->objectName(), QStringLiteral("AboutBox"));
            QCOMPARE(box->windowTitle(), QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
            TOLVEN_REQUIRE(requireOnScreen(box));
            auto* version = box->findChild<EffectLabel*>(QStringLiteral("VersionLabel"));
            TOLVEN_REQUIRE(requireShowing(version));
            QCOMPARE(version->Caption(), QStringLiteral("Ver.1.30"));
            QVERIFY(QFontMetrics(version->font()).horizontalAdvance(version->Caption()) <=
                    version->contentsRect().width());
            for (auto* label : box->findChildren<QLabel*>()) TOLVEN_REQUIRE(requireTextFits(label));
            saveScreenshot(box, "about-box.png");
            clickOnScreen(box->findChild<QPushButton*>());
        });
        chooseMenu(form.get(), QStringLiteral("ヘルプ(&H)"), QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(&A)..."));
        QVERIFY(shown);
        QVERIFY(QApplication::activeModalWidget() == nullptr);
    }

    // The error dialog shows the whole message (what failed, the file, the
    // reason) inside the screen, with a Japanese OK.
    void anErrorDialogShowsTheWholeMessage() {
        MessageDialog::setAutoAnswer(std::nullopt);
        const QString file = QStringLiteral(
            "/home/user/TOLVEN/一番長い名前のフォルダ/もう一つのフォルダ/Data/"
            "2026年12月05日中山.User");
        QString text;
        whenModalShows([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box != nullptr);
            TOLVEN_REQUIRE(requireOnScreen(box));
            text = box->text();
            for (auto* label : box->findChildren<QLabel*>()) {
                if (label->text() != box->text()) continue;
                // Wrapped, not cut: every line of the text fits the label.
                QVERIFY(label->wordWrap() ||
                        QFontMetrics(label->font()).horizontalAdvance(label->text()) <=
                            label->contentsRect().width());
                QVERIFY2(label->heightForWidth(label->width()) <= label->height(),
                         qPrintable(QStringLiteral("%1 > %2 (w %3)")
                                        .arg(label->heightForWidth(label->width()))
                                        .arg(label->height())
                                        .arg(label->width())));
                saveScreenshot(box, "error-dialog.png");
            }
            QVERIFY(box->button(QMessageBox::Ok) != nullptr);
            QCOMPARE(box->button(QMessageBox::Ok)->text(), QStringLiteral("OK"));
            saveScreenshot(box, "error-dialog.png");
            clickOnScreen(box->button(QMessageBox::Ok));
        });
        tolven::guarded(nullptr, QStringLiteral("レース日を読み込めませんでした。"), [&] {
            throw tolven::FileError("cannot read " + file.toStdString() + ": Is a directory");
        });
        MessageDialog::setAutoAnswer(QMessageBox::Ok);
        QCOMPARE(text, QStringLiteral("レース日を読み込めませんでした。\ncannot read ") + file +
                           QStringLiteral(": Is a directory"));
    }

    // A base folder that cannot be made: a message naming it and why, and no
    // window.
    void startWithABaseThatCannotBeMade() {
        TempDir dir;
        write_bytes(dir.path() / "file", "x");
        tolven::ProgramOptions options;
        options.base = dir.path() / "file" / "base";
        auto form = tolven::open_program(options, dir.path() / "tolven");
        QVERIFY(form == nullptr);
        QString text = MessageDialog::lastMessage();
        QVERIFY2(text.contains(QString::fromStdString(options.base->string())), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("パスの途中にフォルダでないものがあります")),
                 qPrintable(text));
        QVERIFY2(!text.contains(QStringLiteral("filesystem error")), qPrintable(text));
    }

    // A settings file that cannot be read: the message names it, not the
    // base folder (which exists), and no window opens.
    void startWithAnUnreadableSettingsFile() {
        TempDir dir;
        fs::path base = dir.path() / "base";
        fs::create_directories(base / "tolven.ini");
        tolven::ProgramOptions options;
        options.base = base;
        options.feed = dir.path() / "feed";
        auto form = tolven::open_program(options, dir.path() / "tolven");
        QVERIFY(form == nullptr);
        QString text = MessageDialog::lastMessage();
        QVERIFY2(text.startsWith(QStringLiteral("設定ファイル「") +
                                 QString::fromStdString((base / "tolven.ini").string()) +
                                 QStringLiteral("」を読み込めませんでした。")),
                 qPrintable(text));
        QVERIFY2(!text.contains(QStringLiteral("作成できませんでした")), qPrintable(text));
    }

    void startOpensTheMainWindowOnTheBase() {
        TempDir dir;
        tolven::ProgramOptions options;
        options.base = dir.path() / "new" / "base";
        options.feed = dir.path() / "feed";
        auto form = tolven::open_program(options, dir.path() / "tolven");
        QVERIFY(form != nullptr);
        QCOMPARE(form->base(), *options.base);
        for (const char* folder : {"Data", "SEI", "SEIR"})
            QVERIFY(fs::is_directory(*options.base / folder));
        // An interrupted import whose record could not be checked whole is
        // said at the start, and the program opens all the same.
        form.reset();
        write_bytes(*options.base / "tolven.redo.damaged", "cut");
        form = tolven::open_program(options, dir.path() / "tolven");
        QVERIFY(form != nullptr);
        QString text = MessageDialog::lastMessage();
        QVERIFY2(text.contains(QStringLiteral("データが一部欠けている可能性があります")) &&
                     text.contains(tolven::qpath(*options.base / "tolven.redo.damaged")),
                 qPrintable(text));
    }
};

static RegisterUiTest<MainWindowTest> registered;

#include "main_window_test.moc"
