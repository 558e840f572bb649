#pragma once

#include <QString>

#include <string>
#include <string_view>

#include "store/cp932.hpp"

// The one edge where the windows meet the core's CP932 texts.
namespace tolven {

inline QString qs(std::string_view cp932_text) {
    // Most texts a grid shows are digits and blanks: CP932 keeps ASCII as it
    // is, so those need no conversion.
    bool ascii = true;
    for (char c : cp932_text) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii)
        return QString::fromLatin1(cp932_text.data(), static_cast<qsizetype>(cp932_text.size()));
    return QString::fromStdString(cp932::to_utf8(cp932_text));
}

inline std::string cp(const QString& text) {
    return cp932::from_utf8(text.toStdString());
}

}  // namespace tolven
