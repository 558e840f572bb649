#pragma once

#include <QObject>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

namespace tolven::testing {

// Window test classes register themselves here so that one main runs them.
inline std::vector<std::function<std::unique_ptr<QObject>()>>& ui_test_registry() {
    static std::vector<std::function<std::unique_ptr<QObject>()>> registry;
    return registry;
}

template <typename T>
struct RegisterUiTest {
    RegisterUiTest() {
        ui_test_registry().push_back([] { return std::unique_ptr<QObject>(new T); });
    }
};

// Saves a picture of a window into $TOLVEN_SCREENSHOT_DIR when it is set.
inline void saveScreenshot(QWidget* window, const QString& name) {
    QByteArray dir = qgetenv("TOLVEN_SCREENSHOT_DIR");
    if (dir.isEmpty()) return;
    window->grab().save(QString::fromUtf8(dir) + QLatin1Char('/') + name);
}

}  // namespace tolven::testing
