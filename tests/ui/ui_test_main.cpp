// The main of every window test: the offscreen platform with one 1280 x 1024
// screen at a fixed 96 dpi, the fonts the screens were designed with mapped to
// the IPA fonts, and every test class registered in ui_tests.hpp run in turn.
#include <QApplication>
#include <QFont>
#include <QTest>

#include "ui_tests.hpp"
#include "widgets/application_setup.hpp"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" TOLVEN_UI_SCREEN_CONFIG);
    qputenv("QT_FONT_DPI", "96");
    QApplication app(argc, argv);
    tolven::setup_application(app);
    int failures = 0;
    for (auto& make : tolven::testing::ui_test_registry()) {
        std::unique_ptr<QObject> test = make();
        failures += QTest::qExec(test.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
