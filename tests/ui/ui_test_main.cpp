// The main of every window test: the offscreen platform at a fixed 96 dpi,
// the fonts the screens were designed with mapped to the IPA fonts, and every
// test class registered in ui_tests.hpp run in turn.
#include <QApplication>
#include <QFont>
#include <QTest>

#include "ui_tests.hpp"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_FONT_DPI", "96");
    QApplication app(argc, argv);
    QFont::insertSubstitution(QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic"));
    QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"));
    QApplication::setFont(QFont(QStringLiteral("ＭＳ Ｐゴシック"), 9));
    int failures = 0;
    for (auto& make : tolven::testing::ui_test_registry()) {
        std::unique_ptr<QObject> test = make();
        failures += QTest::qExec(test.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
