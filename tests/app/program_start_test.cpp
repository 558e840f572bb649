#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <ostream>
#include <string>

#include "support/temp_dir.hpp"

namespace {

using tolven::testing::read_bytes;
using tolven::testing::TempDir;

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

// Runs the program with no display at all: every answer here must come before
// the program needs one (with a display missing, Qt would abort it).
Outcome run(const std::string& arguments) {
    TempDir dir;
    std::string out = (dir.path() / "out").string();
    std::string err = (dir.path() / "err").string();
    std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " +
                          std::string(TOLVEN_PROGRAM) + " " + arguments + " >" + out + " 2>" + err +
                          " </dev/null";
    int status = std::system(command.c_str());
    return Outcome{WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
                   read_bytes(out), read_bytes(err)};
}

struct Case {
    const char* arguments;
    int status;
    const char* out;  // the beginning of stdout
    const char* err;  // a part of stderr
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << "tolven " << c.arguments;
}

class ProgramCommandLine : public ::testing::TestWithParam<Case> {};

TEST_P(ProgramCommandLine, AnswersWithoutADisplay) {
    const Case& c = GetParam();
    Outcome r = run(c.arguments);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_EQ(r.out.rfind(c.out, 0), 0u) << r.out;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    // A mistake is followed by the usage, on stderr only.
    if (c.status == 2) {
        EXPECT_NE(r.err.find("usage: tolven [--base DIR] [--feed DIR] [--jvlink feed|bridge|com]"),
                  std::string::npos);
        EXPECT_TRUE(r.out.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProgramCommandLine,
    ::testing::Values(
        Case{"--help", 0, "usage: tolven [--base DIR] [--feed DIR] [--jvlink feed|bridge|com]\n", ""},
        Case{"-h", 0, "usage: tolven [--base DIR] [--feed DIR] [--jvlink feed|bridge|com]\n", ""},
        Case{"--version", 0, "TOLVEN Ver.1.30\n", ""},
        Case{"--base", 2, "", "tolven: --base needs a folder\n"},
        Case{"--feed", 2, "", "tolven: --feed needs a folder\n"},
        Case{"--base --feed /tmp", 2, "", "tolven: --base needs a folder\n"},
        Case{"--base=", 2, "", "tolven: --base needs a folder\n"},
        Case{"--jvlink", 2, "", "tolven: --jvlink needs feed, bridge or com\n"},
        Case{"--jvlink pigeon", 2, "", "tolven: --jvlink needs feed, bridge or com\n"},
        Case{"--jvlink bridge --version", 0, "TOLVEN Ver.1.30\n", ""},
        Case{"--bogus", 2, "", "tolven: unknown option \"--bogus\"\n"},
        Case{"-x", 2, "", "tolven: unknown option \"-x\"\n"},
        Case{"somewhere", 2, "", "tolven: unexpected argument \"somewhere\"\n"},
        Case{"--base /tmp --help", 0, "usage: tolven", ""},
        Case{"-style fusion --version", 0, "TOLVEN Ver.1.30\n", ""}),
    [](const ::testing::TestParamInfo<Case>& param) {
        std::string name;
        for (char c : std::string(param.param.arguments)) {
            name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        }
        return std::to_string(param.index) + "_" + name;
    });

}  // namespace
