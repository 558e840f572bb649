// The download window as a person uses it: an import of the sample feed with
// its progress and built-data list, closing the window during a run, cancel,
// and a component error; then the road from the import to a saved PDF.
#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QDateTimeEdit>
#include <QElapsedTimer>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QMessageBox>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <optional>
#include <thread>

#include "sample/sample_feed.hpp"
#include "app/program_start.hpp"
#include "mainwindow/MainWindow.hpp"
#include "printing/PreviewWindow.hpp"
#include "printing/PrintDialog.hpp"
#include "printing/PrintPreview.hpp"
#include "store/cp932.hpp"
#include "store/data_store.hpp"
#include "support/fake_jvlink.hpp"
#include "support/records.hpp"
#include "support/sample_store.hpp"
#include "support/temp_dir.hpp"
#include "ui_fixture.hpp"
#include "ui_tests.hpp"
#include "views/PredictionView.hpp"
#include "widgets/IniSettings.hpp"
#include "widgets/MessageDialog.hpp"
#include "widgets/qt_text.hpp"
#include "windows/DownloadWindow.hpp"

namespace fs = std::filesystem;
using namespace tolven::testing;

namespace {

// A component whose reading takes a little time per record, as a real one
// does, and that lets a test act after a given read.
class SlowJvLink : public FakeJvLink {
  public:
    std::function<void(int reads)> after_read;
    int reads_done = 0;

    int JVRead(std::string& buffer, int& size, std::string& file) override {
        int r = FakeJvLink::JVRead(buffer, size, file);
        ++reads_done;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (after_read) after_read(reads_done);
        return r;
    }
};

std::unique_ptr<SlowJvLink> raceCards(int races) {
    auto link = std::make_unique<SlowJvLink>();
    link->read_count = 1;
    link->last_file_timestamp = "20261205100000";
    for (int i = 0; i < races; ++i) {
        link->reads.push_back(
            FakeJvLink::record(race_record(20261212 + i / 12, "06", i % 12 + 1, "1")));
    }
    link->reads.push_back({-1, "", "feed.txt"});
    link->reads.push_back({0, "", ""});
    return link;
}

int count(const std::vector<std::string>& calls, const std::string& call) {
    return static_cast<int>(std::count(calls.begin(), calls.end(), call));
}

}  // namespace

class DownloadWindowTest : public QObject {
    Q_OBJECT

    std::optional<OpenedFiles> opened_;

  private slots:
    void initTestCase() {
        MessageDialog::setAutoAnswer(QMessageBox::Yes);
        opened_.emplace();
    }
    void cleanupTestCase() {
        opened_.reset();
        MessageDialog::setAutoAnswer(std::nullopt);
    }

    // Closing the window during a reading asks as 中止 does. Yes stops the
    // reading, closes it and then the window; No lets the run go on with
    // the window open.
    void closingDuringTheReading_data() {
        QTest::addColumn<bool>("escape");
        QTest::addColumn<bool>("yes");
        QTest::newRow("title bar, yes") << false << true;
        QTest::newRow("title bar, no") << false << false;
        QTest::newRow("Esc, yes") << true << true;
        QTest::newRow("Esc, no") << true << false;
    }
    void closingDuringTheReading() {
        QFETCH(bool, escape);
        QFETCH(bool, yes);
        TempDir dir;
        auto owned = raceCards(240);
        SlowJvLink* link = owned.get();
        MainWindow form(dir.path(), std::move(owned));
        form.setClock([] { return kSampleNow; });
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        bool visibleAfterClose = false;
        bool runningAfterClose = false;
        whenModalShows([&](QWidget* modal) {
            auto* d = qobject_cast<DownloadWindow*>(modal);
            QVERIFY(d != nullptr);
            link->after_read = [&, d](int reads) {
                if (reads != 30) return;
                // The close comes with the next events the window lets in.
                QTimer::singleShot(0, d, [&, d] {
                    MessageDialog::setNextAnswer(yes ? QMessageBox::Yes : QMessageBox::No);
                    if (escape) {
                        QTest::keyClick(d, Qt::Key_Escape);
                    } else {
                        d->close();
                    }
                    visibleAfterClose = d->isVisible();
                    runningAfterClose = d->running();
                });
            };
            clickWidget(d->startButton());
            // Without yes the run ends on its own and the window stays.
            if (!yes) {
                QVERIFY(d->isVisible());
                QVERIFY(d->progressText().startsWith(QStringLiteral("データ読込み完了")));
                QCOMPARE(d->builtList()->model()->rowCount(), 240);
                int shown = MessageDialog::shownCount();
                d->close();
                QCOMPARE(MessageDialog::shownCount(), shown);  // no question when idle
                QVERIFY(!d->isVisible());
            }
        });
        clickToolButton(&form, QStringLiteral("JVDataGet"));
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        QVERIFY2(visibleAfterClose, "the window went away while it was reading");
        QVERIFY(runningAfterClose);
        QCOMPARE(count(link->calls, "JVClose"), 1);
        QCOMPARE(count(link->calls, "JVCancel"), yes ? 1 : 0);
        if (yes) {
            QVERIFY2(link->reads_done < 120, qPrintable(QString::number(link->reads_done)));
            QCOMPARE(MessageDialog::lastMessage(), QStringLiteral("JVCancel:キャンセルされました"));
        }
        // What was read before the close is kept.
        auto races = tolven::DataStore::read_records(
            tolven::DataStore(dir.path()).day_file(tolven::sj("2026年12月12日中山"), ".jvRA"),
            tolven::RecordKind::Race);
        QVERIFY(races.has_value() && races->size() == 12);
    }

    // A window that goes away while its download runs closes the reading.
    void aWindowThatGoesAwayClosesTheReading() {
        TempDir dir;
        SlowJvLink link;
        link.read_count = 3;
        link.download_count = 3;
        link.statuses = {0};  // the download never finishes
        tolven::DataStore store(dir.path());
        tolven::CancelFlag cancel;
        IniSettings::setApplicationDir(dir.path());
        IniSettings ini;
        {
            DownloadWindow form(link, store, cancel, ini);
            form.show();
            clickWidget(form.startButton());
            QVERIFY(form.running());
            QVERIFY(QTest::qWaitFor([&] { return count(link.calls, "JVStatus") > 2; }, 2000));
            QCOMPARE(count(link.calls, "JVClose"), 0);
        }
        QCOMPARE(count(link.calls, "JVClose"), 1);
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    // JV-Link may keep JVOpen waiting while its own window waits for a
    // person. The window goes on answering meanwhile: after a few seconds it
    // says where to look, a click on JVLink設定 is answered (it waits for the
    // open), and once the open returns the import completes as usual.
    void anOpenThatWaitsKeepsTheWindowAnswering() {
        TempDir dir;
        auto link = raceCards(12);
        link->open_delay_ms = 4500;
        tolven::DataStore store(dir.path());
        store.create_folders();
        tolven::CancelFlag cancel;
        IniSettings::setApplicationDir(dir.path());
        IniSettings ini;
        DownloadWindow d(*link, store, cancel, ini);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QVERIFY(!d.openNotice()->isVisible());

        int paintsDuringOpen = 0;
        struct PaintCounter : QObject {
            int* count;
            const tolven::JvLink* link;
            bool eventFilter(QObject*, QEvent* e) override {
                if (e->type() == QEvent::Paint && link->open_pending()) ++*count;
                return false;
            }
        } counter;
        counter.count = &paintsDuringOpen;
        counter.link = link.get();
        d.openNotice()->installEventFilter(&counter);

        bool sawNotice = false;
        QString settingsAnswer;
        QTimer::singleShot(3600, &d, [&] {
            QVERIFY(link->open_pending());
            QLabel* notice = d.openNotice();
            TOLVEN_REQUIRE(requireShowing(notice));
            QVERIFY2(notice->text().startsWith(QStringLiteral("JV-Link の応答を待っています（3 秒）")),
                     qPrintable(notice->text()));
            QVERIFY(notice->text().contains(QStringLiteral("自分のウィンドウ")));
            saveScreenshot(&d, "download-open-waiting.png");
            // Word-wrapped, the whole text has room.
            QVERIFY2(notice->heightForWidth(notice->width()) <= notice->height(),
                     qPrintable(QStringLiteral("needs %1 px, has %2 x %3")
                                    .arg(notice->heightForWidth(notice->width()))
                                    .arg(notice->width())
                                    .arg(notice->height())));
            sawNotice = true;
            clickWidget(d.settingsButton());
            settingsAnswer = MessageDialog::lastMessage();
        });
        clickWidget(d.startButton());
        QVERIFY(sawNotice);
        QCOMPARE(settingsAnswer,
                 QStringLiteral("JV-Link の応答を待っています。JVLink設定は取込みの開始が終わってから"
                                "使えます。"));
        QVERIFY(paintsDuringOpen > 0);
        QCOMPARE(count(link->calls, "JVSetUIProperties"), 0);
        QVERIFY(QTest::qWaitFor(
            [&] { return d.progressText().startsWith(QStringLiteral("データ読込み完了")); }, 10000));
        QCOMPARE(d.builtList()->model()->rowCount(), 12);
        QVERIFY(!d.openNotice()->isVisible());
        QVERIFY(d.startButton()->isEnabled());
    }

    // 中止 while the open waits: the component is asked to give it up at
    // once, nothing is read or stored, and the from-time stays.
    void cancelWhileTheOpenWaits() {
        TempDir dir;
        auto link = raceCards(12);
        link->open_delay_ms = 60000;
        tolven::DataStore store(dir.path());
        store.create_folders();
        tolven::CancelFlag cancel;
        IniSettings::setApplicationDir(dir.path());
        IniSettings ini;
        ini.writeText(tolven::settings::last_import, QStringLiteral("2026/11/20 08:00:00"));
        DownloadWindow d(*link, store, cancel, ini);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QTimer::singleShot(400, &d, [&] {
            QVERIFY(link->open_pending());
            clickWidget(d.cancelButton());
        });
        QElapsedTimer took;
        took.start();
        clickWidget(d.startButton());
        QVERIFY2(took.elapsed() < 5000, qPrintable(QString::number(took.elapsed())));
        QVERIFY(link->interrupts > 0);
        QCOMPARE(d.progressText(), QStringLiteral("JVCancel:キャンセルされました"));
        QCOMPARE(d.builtList()->model()->rowCount(), 0);
        QVERIFY(!d.running());
        QVERIFY(d.startButton()->isEnabled());
        QCOMPARE(count(link->calls, "JVClose"), 1);
        QCOMPARE(count(link->calls, "JVRead 60000"), 0);
        QVERIFY(fs::is_empty(store.data_folder()));
        QCOMPARE(ini.readText(tolven::settings::last_import), QStringLiteral("2026/11/20 08:00:00"));
    }

    // The program started on the bridge with [JVLink] OpenTimeout=5, and a
    // bridge whose JVOpen takes longer: the open ends after five seconds with
    // the bridge's message (made on the open's thread, shown as a dialog of
    // the window thread), then the open's error; the window stays usable and
    // nothing is stored.
    void anOpenLongerThanTheTimeOutEndsTheBridgeWithMessages() {
        TempDir dir;
        const fs::path base = dir.path() / "base";
        fs::create_directories(dir.path() / "feed");
        write_bytes(base / "tolven.ini", std::string("[JVLink]\r\nSource=bridge\r\nBridgePath=") +
                                             FAKE_BRIDGE +
                                             "\r\nWinePath=env\r\nOpenTimeout=5\r\n");
        qputenv("FAKE_BRIDGE_FEED", QByteArray::fromStdString((dir.path() / "feed").string()));
        qputenv("FAKE_BRIDGE_CACHE", QByteArray::fromStdString((dir.path() / "cache").string()));
        qputenv("FAKE_BRIDGE_FAULT", "sleep:JVOpen:1:9000");
        tolven::ProgramOptions options;
        options.base = base;
        auto form = tolven::open_program(options, dir.path() / "tolven");
        qunsetenv("FAKE_BRIDGE_FAULT");
        QVERIFY(form != nullptr);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));

        // Every message box as a person meets it: read, then OK clicked.
        MessageDialog::setAutoAnswer(std::nullopt);
        QStringList seen;
        bool allOnTheWindowThread = true;
        QTimer answer;
        answer.setInterval(20);
        connect(&answer, &QTimer::timeout, [&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<QMessageBox*>(w);
                if (box == nullptr || !box->isVisible() || seen.contains(box->text())) continue;
                seen << box->text();
                allOnTheWindowThread = allOnTheWindowThread && box->thread() == qApp->thread();
                QTimer::singleShot(0, box, [box] { clickOnScreen(box->button(QMessageBox::Ok)); });
            }
        });
        answer.start();
        QElapsedTimer took;
        whenModalShows([&](QWidget* modal) {
            auto* d = qobject_cast<DownloadWindow*>(modal);
            QVERIFY(d != nullptr);
            took.start();
            clickWidget(d->startButton());
            QVERIFY(!d->running());
            QVERIFY(d->startButton()->isEnabled());
            d->close();
        });
        clickToolButton(form.get(), QStringLiteral("JVDataGet"));
        answer.stop();
        MessageDialog::setAutoAnswer(QMessageBox::Yes);
        QVERIFY2(took.elapsed() < 8500, qPrintable(QString::number(took.elapsed())));
        QVERIFY(allOnTheWindowThread);
        QStringList expected = {
            QStringLiteral("データ取込を開始します。データ作成が終了するまで本ソフトを操作したり"
                           "他のアプリケーションを操作することは極力避けてください。"),
            QStringLiteral("JV-Link が JVOpen に 5 秒以内に応答しませんでした。JV-Link が自分のウィンドウで"
                           "答えを待っていたかもしれません。中継プログラムを終了しました。待つ時間は"
                           "設定ファイル tolven.ini の [JVLink] OpenTimeout（秒）で変えられます。"),
            QStringLiteral("JVOpenエラー:JV-Link 内部エラーが発生しました。(-401)"),
        };
        QCOMPARE(seen, expected);
        QVERIFY(fs::is_empty(base / "Data"));
    }

    void cancelDuringTheReadingKeepsWhatWasFiled() {
        TempDir dir;
        auto owned = raceCards(60);
        SlowJvLink* link = owned.get();
        MainWindow form(dir.path(), std::move(owned));
        form.setClock([] { return kSampleNow; });
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        whenModalShows([&](QWidget* modal) {
            auto* d = qobject_cast<DownloadWindow*>(modal);
            link->after_read = [&, d](int reads) {
                if (reads == 15) QTimer::singleShot(0, d->cancelButton(), &QPushButton::click);
            };
            clickWidget(d->startButton());
            QCOMPARE(d->progressText(), QStringLiteral("JVCancel:キャンセルされました"));
            QVERIFY(d->builtList()->model()->rowCount() >= 15 &&
                    d->builtList()->model()->rowCount() < 60);
            QVERIFY(d->startButton()->isEnabled());
            d->close();
        });
        clickToolButton(&form, QStringLiteral("JVDataGet"));
        QCOMPARE(count(link->calls, "JVClose"), 1);
        QCOMPARE(count(link->calls, "JVCancel"), 1);
    }

    void aComponentErrorShowsItsMessage() {
        TempDir dir;
        auto fake = std::make_unique<FakeJvLink>();
        fake->open_result = -504;
        MainWindow form(dir.path(), std::move(fake));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        whenModalShows([](QWidget* modal) {
            auto* d = qobject_cast<DownloadWindow*>(modal);
            clickWidget(d->startButton());
            QVERIFY(d->startButton()->isEnabled());
            d->close();
        });
        clickToolButton(&form, QStringLiteral("JVDataGet"));
        QCOMPARE(MessageDialog::lastMessage(),
                 QStringLiteral("JVOpenエラー:サーバーがメンテナンス中です。(-504)"));
    }

    // The road of a new user: import the feed in the download window, choose
    // a day with the keyboard, press 的中, print the bet list and save it as
    // a PDF from the preview.
    void fromTheImportToAPdf() {
        TempDir dir;
        const fs::path base = dir.path();
        const tolven::SampleFeedOptions feed{21, 2, 20261206};
        tolven::make_sample_feed(base / "feed", feed);
        // What the same feed gives without a window, for the list's length.
        TempDir quiet;
        int builtLines = import_sample_feed(quiet.path(), feed, kSampleNow);

        auto form = openMainWindow(base);
        whenModalShows([&](QWidget* modal) {
            auto* d = qobject_cast<DownloadWindow*>(modal);
            QVERIFY(d != nullptr);
            TOLVEN_REQUIRE(requireOnScreen(d));
            // The from-time: the year of the picker stepped down with the
            // arrow key, from 2026 to 2020.
            QDateTimeEdit* picker = d->datePicker();
            QCOMPARE(picker->currentSection(), QDateTimeEdit::YearSection);
            for (int i = 0; i < 6; ++i) TOLVEN_REQUIRE(pressKey(picker, Qt::Key_Down));
            QVERIFY2(d->hiddenLabelText().startsWith(QStringLiteral("2020/")),
                     qPrintable(d->hiddenLabelText()));
            clickWidget(d->startButton());
            QVERIFY(QTest::qWaitFor(
                [&] { return d->progressText().startsWith(QStringLiteral("データ読込み完了")); },
                120000));
            QVERIFY(!d->running());
            QCOMPARE(d->builtList()->model()->rowCount(), builtLines);
            QAbstractItemModel* lines = d->builtList()->model();
            QVERIFY(lines->index(0, 0).data().toString().startsWith(QStringLiteral("作成済み:")));
            QVERIFY(lines->index(lines->rowCount() - 1, 0)
                        .data()
                        .toString()
                        .startsWith(QStringLiteral("作成済み:")));
            // The list shows its newest lines.
            QRect last = d->builtList()->visualRect(lines->index(lines->rowCount() - 1, 0));
            QVERIFY(d->builtList()->viewport()->rect().contains(last));
            saveScreenshot(d, "download-window.png");
            d->close();
        });
        clickToolButton(form.get(), QStringLiteral("JVDataGet"));
        // Closing the download window shows every day.
        QVERIFY(form->findChild<QRadioButton*>(QStringLiteral("Hiduke2"))->isChecked());
        QVERIFY(form->dayList()->count() >= 8);

        // The keyboard: into the list and down to the fifth day, the first
        // finished day (2026-12-05) after today's three meetings.
        TOLVEN_REQUIRE(activate(form.get()));
        form->dayList()->setFocus(Qt::TabFocusReason);
        QCOMPARE(form->dayList()->currentRow(), 0);
        QVERIFY(form->bannerText().isEmpty());
        for (int i = 0; i < 4; ++i) pressKey(form->dayList(), Qt::Key_Down);
        QString day = form->dayList()->item(4)->text();
        QVERIFY(day.startsWith(QStringLiteral("2026年12月05日")));
        QVERIFY(form->bannerText().startsWith(day.left(11)));
        QVERIFY2(form->bannerText().contains(day.right(2)),
                 qPrintable(form->bannerText() + QStringLiteral(" / ") + day));
        TOLVEN_REQUIRE(requireShowing(form->predictionView()));

        // A race tab clicked where a person sees it: race 3.
        PredictionView* predictionView = form->predictionView();
        TOLVEN_REQUIRE(clickTab(predictionView->tabs(), 2));
        QCOMPARE(predictionView->currentRace(), 2);
        QVERIFY(predictionView->headerLine(0).trimmed().startsWith(QStringLiteral("3R")));

        // A check item ticked by keyboard: the user page, the first runner's
        // "厩◎" made current with the arrow keys, then Space.
        TOLVEN_REQUIRE(clickTab(predictionView->pages()->tabBar(), 1));
        QTableWidget* grid = predictionView->userGrid();
        TOLVEN_REQUIRE(pressKey(grid, Qt::Key_Home, Qt::ControlModifier));
        for (int i = 0; i < 3; ++i) TOLVEN_REQUIRE(pressKey(grid, Qt::Key_Right));
        QCOMPARE(grid->currentColumn(), 3);
        QCOMPARE(grid->item(0, 3)->text(), QString());
        TOLVEN_REQUIRE(pressKey(grid, Qt::Key_Space));
        QCOMPARE(grid->item(0, 3)->text(), QStringLiteral("●"));
        std::string user = read_bytes(tolven::DataStore(base).day_file(tolven::cp(day), ".User"));
        QVERIFY2(user.find("| 1|1|") != std::string::npos, "the tick is not saved");
        TOLVEN_REQUIRE(clickTab(predictionView->pages()->tabBar(), 0));

        // 的中: the hit list of the date is written and opened.
        clickWidget(form->predictionView()->hitButton());
        QCOMPARE(opened_->files().size(), 1);
        QVERIFY(fs::exists(opened_->files()[0].toStdString()));

        // 印刷: the print dialog, OK for the bet list, the preview in front
        // and usable while the dialog is open, a PDF saved from it.
        fs::path pdf = base / "betlist.pdf";
        bool previewUsable = false;
        whenModalShows([&](QWidget* modal) {
            auto* dialog = qobject_cast<PrintDialog*>(modal);
            QVERIFY(dialog != nullptr);
            clickOnScreen(dialog->findChild<QPushButton*>(QStringLiteral("OkButton")));
            PreviewWindow* preview = form->printPreview();
            QVERIFY(QTest::qWaitForWindowActive(preview));
            QCOMPARE(preview->windowTitle(), QStringLiteral("TOLVEN２買い目リスト印刷"));
            PreviewWindow::setNextPdfFile(QString::fromStdString(pdf.string()));
            clickOnScreen(preview->findChild<QPushButton*>(QStringLiteral("PdfButton")));
            previewUsable = fs::exists(pdf);
            saveScreenshot(preview, "preview-betlist.png");
            clickOnScreen(dialog->findChild<QPushButton*>(QStringLiteral("CancelButton")));
        });
        clickToolButton(form.get(), QStringLiteral("PrintChoiceButton"));
        QVERIFY2(previewUsable, "the preview did not take the click while the dialog was open");
        QVERIFY(read_bytes(pdf).rfind("%PDF", 0) == 0);
    }
};

static RegisterUiTest<DownloadWindowTest> registered;

#include "download_window_test.moc"
