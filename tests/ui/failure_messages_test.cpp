// What a person is told when something cannot be done: a base folder that
// cannot be written, a damaged day, a file or folder the desktop cannot open,
// the hit export's files, the user guide, an empty store. Everything is done
// by clicks, menus and keys on the sample store.
#include <QAccessible>
#include <QAction>
#include <QDesktopServices>
#include <QLabel>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>
#include <QUrl>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <optional>

#include "mainwindow/MainWindow.hpp"
#include "printing/PreviewWindow.hpp"
#include "printing/PrintPreview.hpp"
#include "store/file_layer.hpp"
#include "support/faulty_file_layer.hpp"
#include "support/temp_dir.hpp"
#include "ui_fixture.hpp"
#include "ui_tests.hpp"
#include "views/CalculationTableView.hpp"
#include "views/PredictionView.hpp"
#include "widgets/MessageDialog.hpp"
#include "windows/FundAllocationView.hpp"
#include "windows/HelpWindow.hpp"

namespace fs = std::filesystem;
using namespace tolven::testing;

Q_DECLARE_METATYPE(std::function<void(const fs::path&)>)

namespace {

using Breakage = std::function<void(const fs::path& file)>;


fs::path dayFile(const fs::path& base, const QString& day, const char* extension) {
    return base / "Data" / (day.toStdString() + extension);
}


void chooseDay(MainWindow& form, const QString& day) {
    clickWidget(form.findChild<QToolButton*>(QStringLiteral("Basho0")));
    clickWidget(form.findChild<QRadioButton*>(QStringLiteral("Hiduke1")));
    int row = rowOf(form.dayList(), day);
    QVERIFY2(row >= 0, qPrintable(day));
    clickListRow(form.dayList(), row);
}

QLabel* unsavedMark(MainWindow& form) {
    return form.findChild<QLabel*>(QStringLiteral("UnsavedMark"));
}

// A base folder nothing can be written to: every new file and folder is
// refused as on a read-only file system.
struct ReadOnlyBase {
    FaultyFileLayer layer;
    ReadOnlyBase() { layer.fail(FaultyFileLayer::MakeTemporary, 1, EROFS, true); }
};

}  // namespace

class FailureMessagesTest : public QObject {
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

    // On a base that refuses every write the days are shown, a tick that
    // cannot be saved says so and stays marked unsaved, and the ticker, the
    // preview's zoom and 終了 report the settings they cannot keep; nothing
    // ends the program but the user.
    void aReadOnlyBaseIsUsableAndSaysWhatItCannotSave() {
        TempDir dir;
        copySampleBase(dir.path());
        fs::remove(dayFile(dir.path(), kNakayama, ".User"));
        auto form = openMainWindow(dir.path());
        ReadOnlyBase readOnly;
        tolven::ScopedFileLayer scoped(readOnly.layer);
        const QString settingsFailed = QStringLiteral("設定を保存できませんでした。");
        const QString reason = QStringLiteral("読み取り専用の場所です");

        int shown = MessageDialog::shownCount();
        TOLVEN_REQUIRE(chooseDay(*form, kNakayama));
        QCOMPARE(MessageDialog::shownCount(), shown);
        QVERIFY(form->bannerText().startsWith(QStringLiteral("2026年12月05日")));
        TOLVEN_REQUIRE(requireShowing(form->predictionView()));
        QVERIFY(!unsavedMark(*form)->isVisible());

        PredictionView* view = form->predictionView();
        TOLVEN_REQUIRE(clickTab(view->pages()->tabBar(), 1));
        TOLVEN_REQUIRE(clickCell(view->userGrid(), 1, 3));
        QString text = MessageDialog::lastMessage();
        QVERIFY2(text.startsWith(QStringLiteral("予想を保存できませんでした。")), qPrintable(text));
        QVERIFY2(text.contains(reason) && text.contains(QStringLiteral(".User")), qPrintable(text));
        QCOMPARE(view->userGrid()->item(1, 3)->text(), QStringLiteral("●"));
        TOLVEN_REQUIRE(requireShowing(unsavedMark(*form)));
        QVERIFY(unsavedMark(*form)->text().contains(QStringLiteral("保存されていません")));

        // Neither 的中 nor another day throws the tick away: both are refused
        // and the day, its tick, the mark and the list's choice stay.
        auto requireNakayamaKept = [&] {
            QVERIFY2(form->bannerText().contains(QStringLiteral("中山")), qPrintable(form->bannerText()));
            QCOMPARE(form->dayList()->currentItem()->text(), kNakayama);
            QVERIFY(form->dayList()->currentItem()->isSelected());
            QCOMPARE(view->userGrid()->item(1, 3)->text(), QStringLiteral("●"));
            TOLVEN_REQUIRE(requireShowing(unsavedMark(*form)));
        };
        clickWidget(view->hitButton());
        text = MessageDialog::lastMessage();
        QVERIFY2(text.startsWith(QStringLiteral("予想を保存できませんでした。的中馬券は書き出していません。")),
                 qPrintable(text));
        QVERIFY(opened_->files().isEmpty());
        TOLVEN_REQUIRE(requireNakayamaKept());
        clickListRow(form->dayList(), rowOf(form->dayList(), kChukyo));
        QVERIFY2(MessageDialog::lastMessage().startsWith(QStringLiteral("予想を保存できませんでした。")),
                 qPrintable(MessageDialog::lastMessage()));
        TOLVEN_REQUIRE(requireNakayamaKept());

        shown = MessageDialog::shownCount();
        chooseMenu(form.get(), QStringLiteral("表示(&V)"), QStringLiteral("ﾃｨｯｶを消す"));
        QCOMPARE(MessageDialog::shownCount(), shown + 1);
        QVERIFY(MessageDialog::lastMessage().startsWith(settingsFailed));
        QVERIFY(MessageDialog::lastMessage().contains(QStringLiteral("tolven.ini")));
        QVERIFY(!form->tickerText().isEmpty());

        // The preview of the fund allocation, zoomed to 100 %.
        clickToolButton(form.get(), QStringLiteral("AllocationButton"));
        clickWidget(form->allocationView()->findChild<QPushButton*>(QStringLiteral("PrintButton")));
        PreviewWindow* preview = form->printPreview();
        TOLVEN_REQUIRE(requireShowing(preview));
        // The sheet is titled with the day loaded.
        QString sheet = accessibleOf(preview->preview())->text(QAccessible::Description);
        QVERIFY2(sheet.contains(kNakayama) && !sheet.contains(QStringLiteral("中京")), qPrintable(sheet));
        QRadioButton* full = nullptr;
        for (auto* r : preview->findChildren<QRadioButton*>()) {
            if (r->text() == QStringLiteral("100%")) full = r;
        }
        QVERIFY(full != nullptr);
        shown = MessageDialog::shownCount();
        clickWidget(full);
        QVERIFY(full->isChecked());
        QCOMPARE(MessageDialog::shownCount(), shown + 1);
        QVERIFY(MessageDialog::lastMessage().startsWith(settingsFailed));

        // 終了 with a tick that cannot be saved: asked first; "いいえ" keeps
        // the program open with the tick, "はい" ends it without it.
        MessageDialog::setNextAnswer(QMessageBox::No);
        clickToolButton(form.get(), QStringLiteral("ExitButton"));
        QVERIFY(form->isVisible());
        QVERIFY(MessageDialog::lastMessage().contains(QStringLiteral("保存せずに終了しますか")));
        TOLVEN_REQUIRE(requireShowing(unsavedMark(*form)));
        MessageDialog::setNextAnswer(QMessageBox::Yes);
        clickToolButton(form.get(), QStringLiteral("ExitButton"));
        QVERIFY(!form->isVisible());
        QVERIFY(MessageDialog::lastMessage().startsWith(settingsFailed));
        QVERIFY(!fs::exists(dayFile(dir.path(), kNakayama, ".User")));
    }

    // A tick that meets another program's save of the same race is dropped,
    // as the message says: the stored ticks are shown, nothing is marked
    // unsaved, and the day can be left.
    void aTickAnotherProgramSavedFirstIsNotMarkedUnsaved() {
        TempDir dir;
        copySampleBase(dir.path());
        fs::remove(dayFile(dir.path(), kNakayama, ".User"));
        auto mine = openMainWindow(dir.path());
        auto other = openMainWindow(dir.path());
        for (MainWindow* form : {mine.get(), other.get()}) {
            TOLVEN_REQUIRE(chooseDay(*form, kNakayama));
            TOLVEN_REQUIRE(clickTab(form->predictionView()->pages()->tabBar(), 1));
        }
        TOLVEN_REQUIRE(clickCell(other->predictionView()->userGrid(), 1, 3));
        QVERIFY(!unsavedMark(*other)->isVisible());

        QTableWidget* grid = mine->predictionView()->userGrid();
        TOLVEN_REQUIRE(clickCell(grid, 2, 3));
        QString text = MessageDialog::lastMessage();
        QVERIFY2(text.contains(QStringLiteral("他のプログラムで変更されていたため")), qPrintable(text));
        QVERIFY(!unsavedMark(*mine)->isVisible());
        QCOMPARE(grid->item(1, 3)->text(), QStringLiteral("●"));
        QVERIFY(grid->item(2, 3)->text() != QStringLiteral("●"));
        int shown = MessageDialog::shownCount();
        TOLVEN_REQUIRE(chooseDay(*mine, kChukyo));
        QCOMPARE(MessageDialog::shownCount(), shown);
        QVERIFY2(mine->bannerText().contains(QStringLiteral("中京")), qPrintable(mine->bannerText()));
    }

    // A damaged day: the message names the file and what is wrong with it,
    // and nothing of the day shown before stays on screen.
    void aDamagedDayLeavesNoPreviousDay_data() {
        QTest::addColumn<QString>("extension");
        QTest::addColumn<Breakage>("breakage");
        QTest::addColumn<QString>("reason");
        QTest::newRow("empty race file")
            << QStringLiteral(".jvRA") << Breakage([](const fs::path& f) { fs::resize_file(f, 0); })
            << QStringLiteral("空のファイルです");
        QTest::newRow("race file without a race record")
            << QStringLiteral(".jvRA")
            << Breakage([](const fs::path& f) { write_bytes(f, "RA7 not a record\r\n"); })
            << QStringLiteral("レコード長が不正です");
        QTest::newRow("runner file missing")
            << QStringLiteral(".jvSEr") << Breakage([](const fs::path& f) { fs::remove(f); })
            << QStringLiteral("ファイルまたはフォルダがありません");
        QTest::newRow("empty runner file")
            << QStringLiteral(".jvSEr") << Breakage([](const fs::path& f) { fs::resize_file(f, 0); })
            << QStringLiteral("空のファイルです");
    }
    void aDamagedDayLeavesNoPreviousDay() {
        QFETCH(QString, extension);
        QFETCH(Breakage, breakage);
        QFETCH(QString, reason);
        TempDir dir;
        copySampleBase(dir.path());
        fs::path broken = dayFile(dir.path(), kNakayama, extension.toLatin1().constData());
        breakage(broken);
        auto form = openMainWindow(dir.path());
        TOLVEN_REQUIRE(chooseDay(*form, kChukyo));
        clickToolButton(form.get(), QStringLiteral("CalculationButton"));
        TOLVEN_REQUIRE(requireShowing(form->calculationView()));

        MessageDialog::setAutoAnswer(std::nullopt);
        QString text;
        whenModalShows([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box != nullptr);
            text = box->text();
            TOLVEN_REQUIRE(requireOnScreen(box));
            saveScreenshot(box, QStringLiteral("damaged-day-message-%1.png")
                                    .arg(QString::fromLatin1(QTest::currentDataTag()).replace(' ', '-')));
            clickOnScreen(box->button(QMessageBox::Ok));
        });
        clickListRow(form->dayList(), rowOf(form->dayList(), kNakayama));
        MessageDialog::setAutoAnswer(QMessageBox::Ok);
        QVERIFY2(text.contains(QString::fromStdString(broken.string())), qPrintable(text));
        QVERIFY2(text.contains(reason), qPrintable(text));
        QVERIFY(form->bannerText().isEmpty());
        for (const char* name : {"PredictionButton", "RaceCardButton", "GraphButton",
                                 "CalculationButton", "AllocationButton", "PrintChoiceButton"}) {
            QVERIFY2(!form->action(QString::fromLatin1(name))->isEnabled(), name);
        }
        for (QWidget* view : {static_cast<QWidget*>(form->predictionView()),
                              static_cast<QWidget*>(form->calculationView())}) {
            QVERIFY(!view->parentWidget()->isVisible());
            auto* tabs = view->findChild<QTabBar*>(QStringLiteral("RaceTabs"));
            QCOMPARE(tabs->count(), 0);
        }
        saveScreenshot(form.get(), QStringLiteral("damaged-day-window-%1.png")
                                       .arg(QString::fromLatin1(QTest::currentDataTag()).replace(' ', '-')));
    }

    // 的中 says which files it wrote and that the list is on the clipboard;
    // a list the desktop cannot open is named with its path.
    void hitExportSaysWhatItWrote() {
        TempDir dir;
        copySampleBase(dir.path());
        auto form = openMainWindow(dir.path());
        TOLVEN_REQUIRE(chooseDay(*form, kNakayama));
        clickWidget(form->predictionView()->hitButton());
        QString text = MessageDialog::lastMessage();
        QVERIFY2(text.contains(QStringLiteral("を書き出しました")), qPrintable(text));
        QVERIFY2(text.contains(QString::fromStdString((dir.path() / "HPupload").string()) +
                               QStringLiteral("/TK20261205")),
                 qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("Vevezaza.txt")));
        QVERIFY(text.contains(QStringLiteral("クリップボード")));
        QVERIFY(!text.contains(QStringLiteral("開けませんでした")));
        QCOMPARE(opened_->files().size(), 1);

        // Without a program to open it.
        opened_->release();
        if (QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(dir.path().string()))))
            QSKIP("this desktop has a file opener");
        clickWidget(form->predictionView()->hitButton());
        text = MessageDialog::lastMessage();
        QVERIFY2(text.contains(opened_->files()[0] + QStringLiteral(" を開けませんでした")), qPrintable(text));
    }

    void dataMaintenanceSaysWhereTheFolderIs() {
        TempDir dir;
        auto form = openMainWindow(dir.path());
        opened_->release();
        if (QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(dir.path().string()))))
            QSKIP("this desktop has a file opener");
        int shown = MessageDialog::shownCount();
        chooseMenu(form.get(), QStringLiteral("ファイル(&F)"),
                   QStringLiteral("データファイルメンテナンス(&D)"));
        QCOMPARE(MessageDialog::shownCount(), shown + 1);
        QVERIFY(MessageDialog::lastMessage().contains(
            QString::fromStdString((dir.path() / "Data").string())));
    }

    // 目次 shows the guide in a window of the program, with no launcher.
    void helpShowsTheGuideInsideTheProgram() {
        TempDir dir;
        write_bytes(dir.path() / "help" / "index.html",
                    "<html><body><h1>使い方</h1><p><a href=\"two.html\">次へ</a></p></body></html>");
        write_bytes(dir.path() / "help" / "two.html", "<html><body><p>二ページ目</p></body></html>");
        auto form = openMainWindow(dir.path());
        form->setHelpPlaces({dir.path() / "help" / "index.html"});
        chooseMenu(form.get(), QStringLiteral("ヘルプ(&H)"), QStringLiteral("目次(&C)"));
        HelpWindow* help = form->helpWindow();
        QVERIFY(help != nullptr);
        TOLVEN_REQUIRE(requireShowing(help->browser()));
        TOLVEN_REQUIRE(requireOnScreen(help));
        QVERIFY(opened_->files().isEmpty());
        QVERIFY(help->browser()->toPlainText().contains(QStringLiteral("使い方")));
        // A link inside the guide is followed there; 戻る goes back.
        help->browser()->setFocus();
        QTest::keyClick(help->browser(), Qt::Key_Tab);
        QTest::keyClick(help->browser(), Qt::Key_Return);
        QTRY_VERIFY(help->browser()->toPlainText().contains(QStringLiteral("二ページ目")));
        clickWidget(help->findChild<QPushButton*>(QStringLiteral("HelpBack")));
        QVERIFY(help->browser()->toPlainText().contains(QStringLiteral("使い方")));
        clickWidget(help->findChild<QPushButton*>(QStringLiteral("HelpClose")));
        QVERIFY(!help->isVisible());
    }

    // A store without days points to JVデータ取得; a filter that hides every
    // day says how to see the others.
    void anEmptyListSaysWhatToDo() {
        TempDir empty;
        auto form = openMainWindow(empty.path());
        auto* hint = form->findChild<QLabel*>(QStringLiteral("DayListHint"));
        TOLVEN_REQUIRE(requireShowing(hint));
        QVERIFY(hint->text().contains(QStringLiteral("「JVデータ取得」")));
        QVERIFY(hint->heightForWidth(hint->width()) <= hint->height());
        form->close();

        TempDir dir;
        copySampleBase(dir.path());
        auto full = openMainWindow(dir.path(), {2027, 1, 10, 10, 0, 0});
        hint = full->findChild<QLabel*>(QStringLiteral("DayListHint"));
        clickWidget(full->findChild<QRadioButton*>(QStringLiteral("Hiduke0")));
        QCOMPARE(full->dayList()->count(), 0);
        TOLVEN_REQUIRE(requireShowing(hint));
        QVERIFY(hint->text().contains(QStringLiteral("日付の指定なし")));
        clickWidget(full->findChild<QRadioButton*>(QStringLiteral("Hiduke2")));
        QVERIFY(full->dayList()->count() > 0);
        QVERIFY(!hint->isVisible());
    }
};

static RegisterUiTest<FailureMessagesTest> registered;

#include "failure_messages_test.moc"
