// Printing as a person uses it: the print dialog of a loaded sample day, the
// preview in front and usable while the dialog is open, the printer set-up,
// closing the preview, saving a PDF and the errors on the way.
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QLabel>
#include <QListWidget>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <cstdlib>

#include "mainwindow/MainWindow.hpp"
#include "printing/PreviewWindow.hpp"
#include "printing/PrintDialog.hpp"
#include "printing/PrintPreview.hpp"
#include "support/temp_dir.hpp"
#include "ui_fixture.hpp"
#include "ui_tests.hpp"
#include "widgets/MessageDialog.hpp"

namespace fs = std::filesystem;
using namespace tolven::testing;

namespace {

const QString kDay = QStringLiteral("2026年12月05日中山");

// A main window on a copy of the sample store (its own settings file) with
// the day loaded by a click.
struct Loaded {
    TempDir dir;
    std::unique_ptr<MainWindow> form;
    Loaded() {
        copySampleBase(dir.path());
        form = openMainWindow(dir.path());
        clickWidget(form->findChild<QRadioButton*>(QStringLiteral("Hiduke1")));
        for (int i = 0; i < form->dayList()->count(); ++i) {
            if (form->dayList()->item(i)->text() == kDay) clickListRow(form->dayList(), i);
        }
    }
    PreviewWindow* preview() const { return form->printPreview(); }
    QPushButton* button(const char* name) const {
        return preview()->findChild<QPushButton*>(QString::fromLatin1(name));
    }
    std::string settings() const { return read_bytes(dir.path() / "tolven.ini"); }
};

// Opens the print dialog from the toolbar, runs `act` in it, then cancels it.
void inPrintDialog(MainWindow& form, const std::function<void(PrintDialog&)>& act) {
    bool ran = false;
    whenModalShows([&](QWidget* modal) {
        auto* dialog = qobject_cast<PrintDialog*>(modal);
        QVERIFY(dialog != nullptr);
        ran = true;
        act(*dialog);
        clickOnScreen(dialog->findChild<QPushButton*>(QStringLiteral("CancelButton")));
        if (dialog->isVisible()) dialog->reject();
    });
    clickToolButton(&form, QStringLiteral("PrintChoiceButton"));
    QVERIFY2(ran, "no print dialog");
}

QRadioButton* item(PrintDialog& dialog, const QString& text) {
    for (auto* r : dialog.findChildren<QRadioButton*>()) {
        if (r->text() == text) return r;
    }
    return nullptr;
}

}  // namespace

class PrintingTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        MessageDialog::setAutoAnswer(QMessageBox::Ok);
        sampleBase();
    }
    void cleanupTestCase() { MessageDialog::setAutoAnswer(std::nullopt); }

    void zoomLimitsAndPageRange() {
        PrintPreview prev;
        QCOMPARE(prev.ZoomScale(), 25);
        prev.setZoomScale(24);
        QCOMPARE(prev.ZoomScale(), 25);
        prev.setZoomScale(201);
        QCOMPARE(prev.ZoomScale(), 25);
        prev.setZoomScale(200);
        QCOMPARE(prev.ZoomScale(), 200);
        prev.setZoomScale(25);
        QCOMPARE(prev.ZoomScale(), 25);
        prev.newDocument();
        prev.canvas().text_out(100, 100, "x");
        prev.finishDocument();
        QCOMPARE(prev.PageCount(), 1);
        QCOMPARE(prev.pagesToPrint(), std::vector<int>{1});
        prev.newPage();
        prev.newPage();
        prev.FirstPage = 2;
        QCOMPARE(prev.pagesToPrint(), (std::vector<int>{2, 3}));
        prev.FirstPage = 1;
        prev.LastPage = 1;
        QCOMPARE(prev.pagesToPrint(), std::vector<int>{1});
    }

    // The dialog offers the day's races; OK brings the preview to the front,
    // and the preview takes clicks while the dialog stays open.
    void thePreviewIsUsableWhileTheDialogIsOpen() {
        Loaded app;
        int zoomBefore = -1;
        inPrintDialog(*app.form, [&](PrintDialog& dialog) {
            auto* caption = dialog.findChild<QLabel*>(QStringLiteral("DayCaption"));
            QCOMPARE(caption->text(), kDay);
            TOLVEN_REQUIRE(requireTextFits(caption));
            TOLVEN_REQUIRE(requireOnScreen(&dialog));
            // Centred on the screen (within the window frame's few pixels).
            QPoint off = dialog.geometry().center() - QRect(QPoint(0, 0), kTestScreen).center();
            QVERIFY2(std::abs(off.x()) <= 4 && std::abs(off.y()) <= 4,
                     qPrintable(QStringLiteral("%1, %2 off the centre").arg(off.x()).arg(off.y())));
            QVERIFY(item(dialog, QStringLiteral("全ﾚｰｽ一括"))->isChecked());
            QVERIFY(item(dialog, QStringLiteral("12 R")) != nullptr);
            QVERIFY(item(dialog, QStringLiteral("13 R")) == nullptr);
            for (auto* r : dialog.findChildren<QRadioButton*>()) TOLVEN_REQUIRE(requireShowing(r));
            saveScreenshot(&dialog, "print-dialog.png");

            clickOnScreen(item(dialog, QStringLiteral("3 R")));
            QVERIFY(item(dialog, QStringLiteral("3 R"))->isChecked());
            clickOnScreen(dialog.findChild<QPushButton*>(QStringLiteral("OkButton")));
            PreviewWindow* preview = app.preview();
            QVERIFY(QTest::qWaitForWindowActive(preview));
            QCOMPARE(preview->windowTitle(),
                     QStringLiteral("TOLVEN for JRA-VAN Data Lab. ﾚｰｽ別分析結果"));
            QVERIFY(dialog.isVisible());
            TOLVEN_REQUIRE(requireOnScreen(preview));
            // A click on 100% in the preview, through the window system.
            zoomBefore = preview->preview()->ZoomScale();
            QRadioButton* full = nullptr;
            for (auto* r : preview->findChildren<QRadioButton*>()) {
                if (r->text() == QStringLiteral("100%")) full = r;
            }
            clickOnScreen(full);
            saveScreenshot(preview, "preview-sheet.png");
        });
        QCOMPARE(zoomBefore, 50);
        QCOMPARE(app.preview()->preview()->ZoomScale(), 100);
        QVERIFY(app.settings().find("ratio=3") != std::string::npos);
    }

    // ﾌﾟﾘﾝﾀ設定 sets up the printer that 印刷 prints on; a printer that cannot
    // print says where it failed.
    void printerSetupChoosesThePrinterOfPrint_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("fails");
        QTest::newRow("printed") << QStringLiteral("printed.pdf") << false;
        QTest::newRow("no such folder") << QStringLiteral("no such folder/printed.pdf") << true;
    }
    void printerSetupChoosesThePrinterOfPrint() {
        QFETCH(QString, file);
        QFETCH(bool, fails);
        Loaded app;
        QString out = QString::fromStdString(app.dir.path().string()) + QLatin1Char('/') + file;
        int shown = MessageDialog::shownCount();
        inPrintDialog(*app.form, [&](PrintDialog& dialog) {
            clickOnScreen(dialog.findChild<QPushButton*>(QStringLiteral("OkButton")));
            QVERIFY(QTest::qWaitForWindowActive(app.preview()));
            PreviewWindow::setNextPrinterSetup([&](QPrinter& printer) {
                printer.setOutputFormat(QPrinter::PdfFormat);
                printer.setOutputFileName(out);
            });
            clickOnScreen(app.button("SetupButton"));
            clickOnScreen(app.button("PrintButton"));
        });
        if (!fails) {
            QCOMPARE(MessageDialog::shownCount(), shown);
            QVERIFY(read_bytes(out.toStdString()).rfind("%PDF", 0) == 0);
            return;
        }
        QVERIFY2(MessageDialog::lastMessage().startsWith(QStringLiteral("印刷できませんでした。")),
                 qPrintable(MessageDialog::lastMessage()));
        QVERIFY(MessageDialog::lastMessage().contains(out));
        QVERIFY(app.preview()->isVisible());
    }

    void printingWithoutAPrinter() {
        if (PrintPreview::hasPrinter()) QSKIP("this machine has a printer");
        Loaded app;
        inPrintDialog(*app.form, [&](PrintDialog& dialog) {
            clickOnScreen(dialog.findChild<QPushButton*>(QStringLiteral("OkButton")));
            QVERIFY(QTest::qWaitForWindowActive(app.preview()));
            clickOnScreen(app.button("PrintButton"));
        });
        QCOMPARE(MessageDialog::lastMessage(), QStringLiteral("プリンタが登録されていません"));
    }

    // PDF保存 writes the page shown; a file that cannot be written is named
    // with the reason.
    void savingAPdf_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("fails");
        QTest::newRow("written") << QStringLiteral("sheet.pdf") << false;
        QTest::newRow("missing folder") << QStringLiteral("missing/sheet.pdf") << true;
    }
    void savingAPdf() {
        QFETCH(QString, file);
        QFETCH(bool, fails);
        Loaded app;
        QString path = QString::fromStdString(app.dir.path().string()) + QLatin1Char('/') + file;
        int shown = MessageDialog::shownCount();
        inPrintDialog(*app.form, [&](PrintDialog& dialog) {
            clickOnScreen(dialog.findChild<QPushButton*>(QStringLiteral("OkButton")));
            QVERIFY(QTest::qWaitForWindowActive(app.preview()));
            PreviewWindow::setNextPdfFile(path);
            clickOnScreen(app.button("PdfButton"));
        });
        std::string bytes = read_bytes(path.toStdString());
        if (!fails) {
            QVERIFY(bytes.rfind("%PDF", 0) == 0);
            QCOMPARE(MessageDialog::shownCount(), shown);
        } else {
            QVERIFY(bytes.empty());
            QString text = MessageDialog::lastMessage();
            QVERIFY2(text.startsWith(QStringLiteral("PDFを保存できませんでした。")),
                     qPrintable(text));
            // The reason follows the file's name (in the user's language).
            int at = text.indexOf(path + QStringLiteral(": "));
            QVERIFY2(at > 0 && text.size() > at + path.size() + 2, qPrintable(text));
        }
    }

    // Both ways of closing the preview keep its bounds for the next time.
    void closingThePreviewKeepsItsBounds_data() {
        QTest::addColumn<bool>("button");
        QTest::newRow("閉じる") << true;
        QTest::newRow("title bar") << false;
    }
    void closingThePreviewKeepsItsBounds() {
        QFETCH(bool, button);
        Loaded app;
        inPrintDialog(*app.form, [&](PrintDialog& dialog) {
            clickOnScreen(dialog.findChild<QPushButton*>(QStringLiteral("OkButton")));
            PreviewWindow* preview = app.preview();
            QVERIFY(QTest::qWaitForWindowActive(preview));
            // A first showing: the default bounds.
            QCOMPARE(preview->pos(), QPoint(10, 10));
            QCOMPARE(preview->size(), QSize(630, 450));
            preview->move(120, 90);
            preview->resize(700, 520);
            if (button) {
                clickOnScreen(app.button("CloseButton"));
            } else {
                preview->close();
            }
            QVERIFY(!preview->isVisible());
        });
        std::string ini = app.settings();
        for (const char* line : {"[Printlocate]", "top=90", "left=120", "width=700", "height=520"})
            QVERIFY2(ini.find(line) != std::string::npos, line);
    }

    // The preview is a window of its own: it goes when the program ends,
    // or the program would go on running.
    void theProgramEndsWithThePreviewOpen() {
        Loaded app;
        inPrintDialog(*app.form, [&](PrintDialog& dialog) {
            clickOnScreen(dialog.findChild<QPushButton*>(QStringLiteral("OkButton")));
            QVERIFY(QTest::qWaitForWindowActive(app.preview()));
        });
        QVERIFY(app.preview()->isVisible());
        chooseMenu(app.form.get(), QStringLiteral("ファイル(&F)"), QStringLiteral("終了(&X)"));
        QVERIFY(!app.form->isVisible());
        QVERIFY(!app.preview()->isVisible());
        QVERIFY(app.settings().find("[Printlocate]") != std::string::npos);
    }

    // A screen reader names the page and reads its texts.
    void thePageIsAccessible() {
        Loaded app;
        inPrintDialog(*app.form, [&](PrintDialog& dialog) {
            clickOnScreen(dialog.findChild<QPushButton*>(QStringLiteral("OkButton")));
            QVERIFY(QTest::qWaitForWindowActive(app.preview()));
        });
        QAccessibleInterface* page = accessibleOf(app.preview()->preview());
        QVERIFY(page != nullptr);
        QCOMPARE(page->text(QAccessible::Name), QStringLiteral("印刷プレビュー"));
        QString description = page->text(QAccessible::Description);
        QVERIFY2(description.startsWith(
                     QStringLiteral("TOLVEN２買い目リスト印刷　1ページ中1ページ目　倍率50%")),
                 qPrintable(description));
        QVERIFY(description.contains(QStringLiteral("TOLVEN for JRA-VAN Data Lab. 買い目リスト")));
        QVERIFY(description.contains(QStringLiteral("2026年12月05日(土)中山")));
    }

    // Without a complete day there is nothing to print.
    void nothingToPrintWithoutADay() {
        TempDir dir;
        auto form = openMainWindow(dir.path());
        clickToolButton(form.get(), QStringLiteral("PrintChoiceButton"));
        QCOMPARE(MessageDialog::lastMessage(), QStringLiteral("分析用データを読み込んでください。"));
        QVERIFY(QApplication::activeModalWidget() == nullptr);
    }
};

static RegisterUiTest<PrintingTest> registered;

#include "printing_test.moc"
