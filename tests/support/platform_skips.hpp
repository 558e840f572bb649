#pragma once

// Tests that need a facility one system does not have skip there, saying why.
#include <gtest/gtest.h>

#ifdef _WIN32
#define SKIP_WITHOUT_FORK()                                                                   \
    GTEST_SKIP() << "Windows has no fork(): the test kills a copy of this process in the " \
                    "middle of its writes"
#else
#define SKIP_WITHOUT_FORK() static_cast<void>(0)
#endif
