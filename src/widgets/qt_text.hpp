#pragma once

#include <QString>

#include <string>
#include <string_view>

#include "store/cp932.hpp"

// The one edge where the windows meet the core's CP932 texts.
namespace tolven {

inline QString qs(std::string_view cp932_text) {
    return QString::fromStdString(cp932::to_utf8(cp932_text));
}

inline std::string cp(const QString& text) {
    return cp932::from_utf8(text.toStdString());
}

}  // namespace tolven
