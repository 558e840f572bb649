#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDateTimeEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

#include "jvlink/TGetDataForm.hpp"
#include "jvlink/feed_link.hpp"
#include "jvlink/sample_feed.hpp"
#include "raceday/TMainForm.hpp"
#include "raceday/catalogue.hpp"
#include "raceday/day_loader.hpp"
#include "store/cp932.hpp"
#include "support/fake_jvlink.hpp"
#include "support/records.hpp"
#include "support/temp_dir.hpp"
#include "ui_tests.hpp"
#include "widgets/TMsgDlg.hpp"
#include "widgets/qt_text.hpp"

namespace fs = std::filesystem;
using tolven::qs;
using tolven::testing::saveScreenshot;
using tolven::testing::TempDir;

namespace {

const tolven::DateTime kNow{2026, 12, 6, 10, 0, 0};

// Runs `drive` once the modal download window is up, then lets `open` open it.
void withDownloadWindow(const std::function<void(TGetDataForm&)>& drive,
                        const std::function<void()>& open) {
    QTimer::singleShot(0, [drive] {
        auto* form = qobject_cast<TGetDataForm*>(QApplication::activeModalWidget());
        QVERIFY(form != nullptr);
        drive(*form);
        form->close();
    });
    open();
}

void collectNames(QAccessibleInterface* node, QStringList& names, int depth = 0) {
    if (node == nullptr || depth > 40) return;
    names << node->text(QAccessible::Name);
    for (int i = 0; i < node->childCount(); ++i) collectNames(node->child(i), names, depth + 1);
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { TMsgDlg::setAutoAnswer(QMessageBox::Yes); }
    void cleanupTestCase() { TMsgDlg::setAutoAnswer(std::nullopt); }

    void importLoadCloseAndRestart() {
        TempDir dir;
        fs::path base = dir.path();
        tolven::make_sample_feed(base / "feed", tolven::SampleFeedOptions{21, 2, 20261206});
        auto make = [&] {
            auto form = std::make_unique<TMainForm>(
                base, std::make_unique<tolven::FeedLink>(base / "feed", base / "JVCache"));
            form->setClock([] { return kNow; });
            form->rebuildCatalogue();
            return form;
        };

        auto form = make();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        // A first start: 10,10, 1000 x 800, 全場 and 本日のレース, an empty list.
        QCOMPARE(form->pos(), QPoint(10, 10));
        QCOMPARE(form->size(), QSize(1000, 800));
        QCOMPARE(form->courseIndex(), 0);
        QCOMPARE(form->dateIndex(), 0);
        QCOMPARE(form->dayList()->count(), 0);
        QCOMPARE(form->windowTitle(), QString("TOLVEN"));
        QVERIFY(!form->action("YosoBtn")->isEnabled());
        QVERIFY(!form->action("WindowTile")->isEnabled());
        QCOMPARE(form->tickerText(),
                 QString("必勝馬券ソフト「TOLVEN」、その実績はあなたの目でお確かめください。"));

        withDownloadWindow(
            [](TGetDataForm& d) {
                d.datePicker()->setDateTime(QDateTime(QDate(2020, 1, 1), QTime(0, 0)));
                QTest::mouseClick(d.startButton(), Qt::LeftButton);
                QVERIFY(QTest::qWaitFor(
                    [&] { return d.progressText().startsWith(QStringLiteral("データ読込み完了")); },
                    60000));
                QVERIFY(d.builtList()->count() > 100);
                QVERIFY(d.builtList()->item(0)->text().startsWith(QStringLiteral("作成済み:")));
                saveScreenshot(&d, "download-window.png");
            },
            [&] { form->action("JVDataGet")->trigger(); });

        // The catalogue now shows every day, newest first.
        QCOMPARE(form->dateIndex(), 2);
        auto expected = tolven::list_race_days(base / "Data", tolven::DateFilter::Any, 0, kNow);
        QCOMPARE(form->dayList()->count(), static_cast<int>(expected.size()));
        QVERIFY(expected.size() >= 6);
        for (int i = 0; i < form->dayList()->count(); ++i) {
            QCOMPARE(form->dayList()->item(i)->text(), qs(expected[static_cast<std::size_t>(i)]));
        }

        // Click yesterday's first day.
        form->setDateIndex(1);
        form->rebuildCatalogue();
        QVERIFY(form->dayList()->count() >= 2);
        QListWidgetItem* item = form->dayList()->item(0);
        QRect rect = form->dayList()->visualItemRect(item);
        QTest::mouseClick(form->dayList()->viewport(), Qt::LeftButton, {}, rect.center());
        QVERIFY(form->dayLoaded());
        QVERIFY(form->dayComplete());
        tolven::RaceDay check;
        tolven::LoadOutcome outcome = tolven::load_race_day(
            check, base, tolven::cp932::from_utf8(item->text().toStdString()));
        QCOMPARE(form->bannerText(), qs(outcome.banner));
        QVERIFY(form->bannerText().startsWith(QStringLiteral("2026年12月05日(土)")));
        QVERIFY(form->action("YosoBtn")->isEnabled());
        QVERIFY(form->action("WindowTile")->isEnabled());
        QCOMPARE(form->day().race_count, 12);
        form->action("JissekiBtn")->trigger();
        QVERIFY(form->resultsText()->toPlainText().startsWith(
            QStringLiteral("<< 的中レースリスト >>")));
        saveScreenshot(form.get(), "main-window.png");

        // Every toolbar caption can be found through accessibility.
        QStringList names;
        collectNames(QAccessible::queryAccessibleInterface(form.get()), names);
        for (const char* caption :
             {"JVデータ取得", "結果情報", "予想", "出馬表", "能力ｸﾞﾗﾌ", "計算表", "資金配分",
              "実績表", "印刷", "終了", "F", "全場", "阪神", "日付の指定なし"}) {
            QVERIFY2(names.contains(QString::fromUtf8(caption)), caption);
        }

        // Close with 阪神 and 日付の指定なし: the settings are written.
        form->setCourseIndex(9);
        form->setDateIndex(2);
        form->close();
        form.reset();
        std::string ini = tolven::testing::read_bytes(base / "tolven.ini");
        QVERIFY(ini.find("basho=9") != std::string::npos);
        QVERIFY(ini.find("hiduke=2") != std::string::npos);
        QVERIFY(ini.find("[locate]") != std::string::npos);
        QVERIFY(ini.find("width=1000") != std::string::npos);

        // A restart shows the same catalogue.
        auto again = make();
        QCOMPARE(again->courseIndex(), 9);
        QCOMPARE(again->dateIndex(), 2);
        auto hanshin = tolven::list_race_days(base / "Data", tolven::DateFilter::Any, 9, kNow);
        QCOMPARE(again->dayList()->count(), static_cast<int>(hanshin.size()));
        QVERIFY(!hanshin.empty());
    }

    void cancelDuringReadingKeepsWhatWasFiled() {
        TempDir dir;
        auto fake = std::make_unique<tolven::testing::FakeJvLink>();
        tolven::testing::FakeJvLink* link = fake.get();
        link->read_count = 1;
        link->last_file_timestamp = "20261205100000";
        for (int n = 1; n <= 6; ++n) {
            link->reads.push_back(tolven::testing::FakeJvLink::record(
                tolven::testing::race_record(20261212, "06", n, "1")));
        }
        link->reads.push_back({0, "", ""});
        TMainForm form(dir.path(), std::move(fake));
        form.setClock([] { return kNow; });
        withDownloadWindow(
            [&](TGetDataForm& d) {
                // The confirmation is answered Yes; the cancel comes during the
                // loop through the event processing before a read.
                int reads = 0;
                QObject::connect(
                    d.builtList()->model(), &QAbstractItemModel::rowsInserted, &d, [&] {
                        if (++reads == 2) {
                            QTimer::singleShot(0, d.cancelButton(), &QPushButton::click);
                        }
                    });
                QTest::mouseClick(d.startButton(), Qt::LeftButton);
                QCOMPARE(d.progressText(), QStringLiteral("JVCancel:キャンセルされました"));
                QCOMPARE(d.builtList()->count(), 2);
            },
            [&] { form.action("JVDataGet")->trigger(); });
        auto races = tolven::DataStore::read_records(
            tolven::DataStore(dir.path()).day_file(tolven::sj("2026年12月12日中山"), ".jvRA"),
            tolven::RecordKind::Race);
        QVERIFY(races.has_value());
        QCOMPARE(static_cast<int>(races->size()), 2);
        QVERIFY(std::count(link->calls.begin(), link->calls.end(), "JVClose") == 1);
    }

    void componentErrorShowsItsMessage() {
        TempDir dir;
        auto fake = std::make_unique<tolven::testing::FakeJvLink>();
        fake->open_result = -504;
        TMainForm form(dir.path(), std::move(fake));
        withDownloadWindow(
            [](TGetDataForm& d) { QTest::mouseClick(d.startButton(), Qt::LeftButton); },
            [&] { form.action("JVDataGet")->trigger(); });
        QCOMPARE(TMsgDlg::lastMessage(),
                 QStringLiteral("JVOpenエラー:サーバーがメンテナンス中です。(-504)"));
    }

    void missingDayFilesShowTheMessage() {
        TempDir dir;
        tolven::testing::write_bytes(
            dir.path() / "Data" / "2026年12月05日中山.jvRA",
            tolven::testing::race_record(20261205, "06", 1).substr(0, 1270) + "\r\n");
        TMainForm form(dir.path(), std::make_unique<tolven::testing::FakeJvLink>());
        form.setClock([] { return kNow; });
        form.setDateIndex(2);
        form.rebuildCatalogue();
        QCOMPARE(form.dayList()->count(), 1);
        QVERIFY(!form.loadDay(form.dayList()->item(0)->text()));
        QCOMPARE(TMsgDlg::lastMessage(), QStringLiteral("データ作成が未完了のようです。"));
        QVERIFY(!form.action("YosoBtn")->isEnabled());
    }
};

static tolven::testing::RegisterUiTest<MainWindowTest> registered;

#include "main_window_test.moc"
