#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QTest>
#include <QVBoxLayout>

#include "store/cp932.hpp"
#include "support/temp_dir.hpp"
#include "ui_tests.hpp"
#include "widgets/IniSettings.hpp"
#include "widgets/EffectLabel.hpp"
#include "widgets/NumberEdit.hpp"

using tolven::testing::read_bytes;
using tolven::testing::TempDir;
using tolven::testing::write_bytes;

class WidgetsTest : public QObject {
    Q_OBJECT

    // A window holding a numeric edit and a plain field to move the focus to.
    struct Form {
        QWidget window;
        NumberEdit* edit;
        QLineEdit* other;
        Form() {
            auto* layout = new QVBoxLayout(&window);
            edit = new NumberEdit(&window);
            other = new QLineEdit(&window);
            layout->addWidget(edit);
            layout->addWidget(other);
            edit->setErrorBeep(false);
            window.show();
            QApplication::setActiveWindow(&window);
            edit->setFocus();
        }
    };

  private slots:
    void iniFile() {
        TempDir dir;
        IniSettings::setApplicationDir(dir.path());
        IniSettings ini;
        QCOMPARE(ini.ReadInteger("locate", "top", 10), 10);
        QCOMPARE(ini.ReadString("Ticker", "OnOff", "On"), QString("On"));
        ini.WriteString("JvDataGet", "LastTime", "2026/12/04 18:30:00");
        QVERIFY(std::filesystem::exists(dir.path() / "tolven.ini"));
        write_bytes(dir.path() / "wrapped.ini",
                    tolven::sj("[A]\r\nq=\"  x  \"\r\nc=｢ 中山 ｣\r\ne=\"\"\r\nf=｢｣\r\n"));
        IniSettings wrapped;
        wrapped.setFileName("wrapped.ini");
        QCOMPARE(wrapped.ReadString("A", "q", "d"), QString("  x  "));
        QCOMPARE(wrapped.ReadString("A", "c", "d"), QString(" 中山 "));
        QCOMPARE(wrapped.ReadString("A", "e", "d"), QString());
        QCOMPARE(wrapped.ReadString("A", "f", "d"), QString());
        // A name with a folder ignores DefaultDir.
        TempDir other;
        IniSettings elsewhere;
        elsewhere.setDefaultDir(IniDefaultFolder::ddNone);
        elsewhere.setFileName(QString::fromStdString((other.path() / "x.ini").string()));
        elsewhere.WriteInteger("S", "k", 7);
        QVERIFY(std::filesystem::exists(other.path() / "x.ini"));
        QCOMPARE(elsewhere.ReadInteger("S", "k", 0), 7);
    }

    void numEditDigitLimits() {
        Form f;
        f.edit->setIntegerLength(7);
        f.edit->setDecimalLength(0);
        QTest::keyClicks(f.edit, "1234567");
        QCOMPARE(f.edit->Text(), QString("1234567"));
        QCOMPARE(f.edit->refusals(), 0);
        QTest::keyClicks(f.edit, "8");
        QTest::keyClicks(f.edit, ".");
        QCOMPARE(f.edit->Text(), QString("1234567"));
        QCOMPARE(f.edit->refusals(), 2);
        QCOMPARE(f.edit->displayText(), QString("1,234,567"));
    }

    void numEditLeadingZerosAndDecimals() {
        Form f;
        QTest::keyClicks(f.edit, "005");
        QCOMPARE(f.edit->Text(), QString("5"));
        Form g;
        g.edit->setDecimalLength(2);
        QTest::keyClicks(g.edit, "3.141");
        QCOMPARE(g.edit->Text(), QString("3.14"));
        QCOMPARE(g.edit->refusals(), 1);
        QTest::keyClick(g.edit, Qt::Key_Backspace);
        QTest::keyClick(g.edit, Qt::Key_Backspace);
        QCOMPARE(g.edit->Text(), QString("3"));
        QVERIFY(g.edit->modified());
        QTest::keyClicks(g.edit, "-");
        QCOMPARE(g.edit->Text(), QString("-3"));
        QTest::keyClicks(g.edit, "-");
        QCOMPARE(g.edit->Text(), QString("3"));
        QTest::keyClicks(g.edit, "x");
        QCOMPARE(g.edit->refusals(), 2);
    }

    void numEditTextFilterAndPaste() {
        Form f;
        f.edit->setText(QStringLiteral("１２，３４５"));
        QCOMPARE(f.edit->Text(), QString("12345"));
        QCOMPARE(f.edit->displayText(), QString("12,345"));
        f.edit->setText(QStringLiteral("12中34"));
        QCOMPARE(f.edit->Text(), QString("12"));
        f.edit->setText(QStringLiteral("1234567890"));  // more than 9 integer digits
        QCOMPARE(f.edit->Text(), QString());
        QApplication::clipboard()->setText(QStringLiteral("12a34"));
        f.edit->SelectAll();
        QTest::keyClick(f.edit, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(f.edit->Text(), QString("12"));
        // Undo brings the value before the paste back.
        f.edit->Undo();
        QCOMPARE(f.edit->Text(), QString());
    }

    void numEditSelectionAndFocus() {
        Form f;
        f.edit->setText("450");
        f.other->setFocus();
        f.edit->setFocus();
        QVERIFY(f.edit->allSelected());
        QTest::keyClicks(f.edit, "7");  // replaces the selected value
        QCOMPARE(f.edit->Text(), QString("7"));
        f.edit->setText("");
        QTest::keyClicks(f.edit, "-");
        QCOMPARE(f.edit->Text(), QString("-"));
        f.other->setFocus();
        QCOMPARE(f.edit->Text(), QString());  // a lone "-" is dropped on leaving
        f.edit->setOptions(static_cast<int>(NumberEdit::Option::eoMinusOnly));
        f.edit->setFocus();
        QTest::keyClicks(f.edit, "-");
        f.other->setFocus();
        QCOMPARE(f.edit->Text(), QString("-"));
        // Display options.
        f.edit->setText("1234.5");
        f.edit->setDecimalFixed(true);
        QCOMPARE(f.edit->displayText(), QString("1,234.500"));
        f.edit->setComma(false);
        QCOMPARE(f.edit->displayText(), QString("1234.500"));
    }

    void labelEscapement() {
        EffectLabel label;
        struct Case {
            int set, got;
        } cases[] = {{-30, 330}, {400, 40}, {360, 360}, {720, 360}, {-360, 0}, {90, 90}};
        for (const auto& c : cases) {
            label.setEscapement(c.set);
            QCOMPARE(label.Escapement(), c.got);
        }
        QCOMPARE(EffectLabel::rotatedOffset(90, 100, 20), QPoint(0, 100));
        QCOMPARE(EffectLabel::rotatedSize(90, 100, 20), QSize(20, 100));
        QCOMPARE(EffectLabel::rotatedOffset(180, 100, 20), QPoint(100, 20));
        QCOMPARE(EffectLabel::rotatedOffset(270, 100, 20), QPoint(20, 0));
    }

    void labelEffectOffsets() {
        struct Case {
            EffectLabel::TextEffect style;
            int shift;
            QPoint offset;
        } cases[] = {{EffectLabel::TextEffect::tsShadow, 3, {3, 3}},
                     {EffectLabel::TextEffect::tsRaised, 3, {1, 1}}};
        for (const auto& c : cases) {
            EffectLabel label(QStringLiteral("TOLVEN"));
            paintable(label);
            label.setTextStyle(c.style);
            label.setShift(c.shift);
            QImage image = label.grab().toImage();
            QRect red = bounds(image, Qt::red), blue = bounds(image, Qt::blue);
            QVERIFY(!red.isEmpty());
            QCOMPARE(blue.bottomRight() - red.bottomRight(), c.offset);
        }
        // A disabled label draws its text grey but keeps the shadow.
        EffectLabel disabled(QStringLiteral("TOLVEN"));
        paintable(disabled);
        disabled.setEnabled(false);
        QImage image = disabled.grab().toImage();
        QVERIFY(bounds(image, Qt::red).isEmpty());
        QVERIFY(!bounds(image, Qt::blue).isEmpty());
    }

  private:
    // Red text, blue effects, on white, without antialiasing, so that the
    // pixels of each copy can be told apart.
    static void paintable(EffectLabel& label) {
        QFont font(QStringLiteral("IPAGothic"));
        font.setPixelSize(20);
        font.setStyleStrategy(QFont::NoAntialias);
        label.setFont(font);
        label.setColor(Qt::white);
        label.setFontColor(Qt::red);
        QPalette p = label.palette();
        p.setColor(QPalette::Dark, Qt::blue);
        label.setPalette(p);
        label.resize(160, 40);
    }

    static QRect bounds(const QImage& image, QColor colour) {
        QRect r;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (QColor(image.pixel(x, y)) == colour) r |= QRect(x, y, 1, 1);
            }
        }
        return r;
    }
};

static tolven::testing::RegisterUiTest<WidgetsTest> registered;

#include "widgets_test.moc"
