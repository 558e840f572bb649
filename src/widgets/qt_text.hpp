#pragma once

#include <QString>

#include <filesystem>
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

// File names between Qt and std::filesystem. On Windows a path's narrow
// string is in the ANSI code page, not UTF-8, so the names cross as wide
// strings there; elsewhere the narrow string is the file system's own bytes.
inline QString qpath(const std::filesystem::path& path) {
#ifdef _WIN32
    return QString::fromStdWString(path.wstring());
#else
    return QString::fromStdString(path.string());
#endif
}

inline std::filesystem::path fspath(const QString& text) {
#ifdef _WIN32
    return std::filesystem::path(text.toStdWString());
#else
    return std::filesystem::path(text.toStdString());
#endif
}

}  // namespace tolven
