#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "printing/TAllPrintForm.hpp"
#include "printing/TPintSetForm.hpp"
#include "printing/TPrevX.hpp"
#include "printing/print_layouts.hpp"
#include "store/cp932.hpp"
#include "support/race_day_builder.hpp"
#include "support/temp_dir.hpp"
#include "ui_tests.hpp"
#include "widgets/TIniGT.hpp"
#include "widgets/TMsgDlg.hpp"

using tolven::testing::TempDir;

class PrintingTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { TMsgDlg::setAutoAnswer(QMessageBox::Ok); }
    void cleanupTestCase() { TMsgDlg::setAutoAnswer(std::nullopt); }

    void zoomLimitsAndPageRange() {
        TPrevX prev;
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
        prev.FirstPage = 1;
        prev.LastPage = 9999;
        QCOMPARE(prev.pagesToPrint(), std::vector<int>{1});
        prev.newPage();
        prev.newPage();
        prev.FirstPage = 2;
        prev.LastPage = 9999;
        QCOMPARE(prev.pagesToPrint(), (std::vector<int>{2, 3}));
        prev.FirstPage = 1;
        prev.LastPage = 1;
        QCOMPARE(prev.pagesToPrint(), std::vector<int>{1});
    }

    void previewWindowSettingsPrintAndPdf() {
        TempDir dir;
        TIniGT::setApplicationDir(dir.path());
        TIniGT ini;
        TAllPrintForm form(ini);
        // No "Printlocate" yet: (10, 10), 630 x 450, zoom 50 %.
        QCOMPARE(form.pos(), QPoint(10, 10));
        QCOMPARE(form.size(), QSize(630, 450));
        QCOMPARE(form.zoomIndex(), 1);
        QCOMPARE(form.preview()->ZoomScale(), 50);

        tolven::RaceDay day;
        tolven::testing::set_races(day, {{1600, 12}, {1800, 14}});
        form.preview()->newDocument();
        tolven::draw_analysis_sheet(day, 1, form.preview()->canvas());
        form.showDocument(
            QString::fromStdString(tolven::cp932::to_utf8(tolven::analysis_sheet_caption())));
        QCOMPARE(form.windowTitle(), QStringLiteral("TOLVEN for JRA-VAN Data Lab. ﾚｰｽ別分析結果"));
        QByteArray shots = qgetenv("TOLVEN_SCREENSHOT_DIR");
        if (!shots.isEmpty())
            form.grab().save(QString::fromUtf8(shots) + QStringLiteral("/preview.png"));

        // Printing to paper: with no printer the message of the preview.
        QPushButton* print = nullptr;
        QPushButton* pdf = form.findChild<QPushButton*>(QStringLiteral("PdfButton"));
        for (QPushButton* b : form.findChildren<QPushButton*>()) {
            if (b->text() == QStringLiteral("印刷(&P)")) print = b;
        }
        QVERIFY(print != nullptr && pdf != nullptr);
        if (!TPrevX::hasPrinter()) {
            print->click();
            QCOMPARE(TMsgDlg::lastMessage(), QStringLiteral("プリンタが登録されていません"));
        }
        QString file = QString::fromStdString((dir.path() / "sheet.pdf").string());
        TAllPrintForm::setNextPdfFile(file);
        pdf->click();
        QVERIFY(tolven::testing::read_bytes(dir.path() / "sheet.pdf").rfind("%PDF", 0) == 0);

        form.close();
        std::string settings = tolven::testing::read_bytes(dir.path() / "tolven.ini");
        QVERIFY(settings.find("[Printlocate]") != std::string::npos);
    }

    void printDialogItems() {
        QString chosen;
        TPintSetForm dialog(QStringLiteral("2026年12月05日中山"), 11, nullptr);
        QList<QAbstractButton*> items = dialog.findChildren<QAbstractButton*>();
        QStringList texts;
        for (QAbstractButton* b : items) texts << b->text();
        QVERIFY(texts.contains(QStringLiteral("全ﾚｰｽ一括")));
        QVERIFY(texts.contains(QStringLiteral("11 R")));
        QVERIFY(!texts.contains(QStringLiteral("12 R")));
        QCOMPARE(dialog.selected(), 0);
        int printed = -1;
        dialog.onPrint = [&](int item) { printed = item; };
        dialog.select(3);
        dialog.BitBtn1Click();
        QCOMPARE(printed, 3);
    }
};

static tolven::testing::RegisterUiTest<PrintingTest> registered;

#include "printing_test.moc"
