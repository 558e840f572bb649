#pragma once

// Tests that need a facility one system does not have skip there, saying why.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "support/temp_dir.hpp"

#ifdef _WIN32
#define SKIP_WITHOUT_FORK()                                                                   \
    GTEST_SKIP() << "Windows has no fork(): the test kills a copy of this process in the " \
                    "middle of its writes"
#else
#define SKIP_WITHOUT_FORK() static_cast<void>(0)
#endif

namespace tolven::testing {

// Why this system makes no symbolic link in the temporary folder; "" when it
// does. Always "" on POSIX, where a failure to make one is the test's failure.
// Wine has no symbolic links; Windows makes them only with a privilege or in
// developer mode.
inline std::string symlinks_missing() {
#ifdef _WIN32
    static const std::string why = [] {
        TempDir dir;
        std::error_code error;
        std::filesystem::create_symlink(dir.path() / "target", dir.path() / "link", error);
        return error ? "this system makes no symbolic links (" + error.message() + ")"
                     : std::string();
    }();
    return why;
#else
    return "";
#endif
}

}  // namespace tolven::testing

#define SKIP_WITHOUT_SYMLINKS()                                                        \
    if (std::string why_no_links = ::tolven::testing::symlinks_missing();           \
        !why_no_links.empty())                                                         \
    GTEST_SKIP() << why_no_links
