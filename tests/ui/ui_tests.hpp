#pragma once

#include <QObject>

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

}  // namespace tolven::testing
