#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "store/date_time.hpp"
#include "support/temp_dir.hpp"

namespace fs = std::filesystem;

namespace tolven {
namespace {

using namespace tolven::testing;

int run(const std::string& arguments) {
    std::string command = std::string(TOLVEN_CLI) + " " + arguments + " >/dev/null 2>&1";
    return WEXITSTATUS(std::system(command.c_str()));
}

std::map<std::string, std::string> store_files(const fs::path& base) {
    std::map<std::string, std::string> files;
    for (const char* area : {"Data", "SEI", "SEIR"}) {
        for (const auto& e : fs::recursive_directory_iterator(base / area)) {
            if (e.is_regular_file()) {
                files[fs::relative(e.path(), base).string()] = read_bytes(e.path());
            }
        }
    }
    return files;
}

TEST(CliImport, SampleFeedImportsIntoEveryStoreAreaAndReimportChangesNothing) {
    TempDir dir;
    std::string today = std::to_string(DateTime::now().date_number());
    std::string base = "--base " + dir.path().string();
    ASSERT_EQ(run("make-sample-feed " + (dir.path() / "feed").string() +
                  " --weeks 2 --seed 5 --today " + today),
              0);
    ASSERT_EQ(run(base + " import --quiet --from 20000101000000"), 0);

    auto first = store_files(dir.path());
    // Every generated race day has its three day files.
    int days = 0;
    for (const auto& [name, content] : first) {
        if (name.size() > 5 && name.substr(name.size() - 5) == ".jvRA") {
            ++days;
            std::string stem = name.substr(0, name.size() - 5);
            EXPECT_TRUE(first.count(stem + ".jvSEr")) << stem;
            EXPECT_TRUE(first.count(stem + ".jvHR") || name.find(today.substr(0, 4)) == 5)
                << stem;
        }
    }
    EXPECT_GE(days, 2 * 2 * 2 + 2);
    EXPECT_TRUE(std::any_of(first.begin(), first.end(),
                            [](const auto& f) { return f.first.rfind("SEI/", 0) == 0; }));
    EXPECT_TRUE(std::any_of(first.begin(), first.end(),
                            [](const auto& f) { return f.first.rfind("SEIR/", 0) == 0; }));
    // A run that had to download does not move the from-time on.
    EXPECT_EQ(read_bytes(dir.path() / "tolven.ini").find("LastTime="), std::string::npos);

    // The same import again finds everything downloaded, files the same records
    // and remembers where it got to.
    ASSERT_EQ(run(base + " import --quiet --from 20000101000000"), 0);
    EXPECT_EQ(store_files(dir.path()), first);
    EXPECT_NE(read_bytes(dir.path() / "tolven.ini").find("LastTime="), std::string::npos);

    // Nothing newer than the remembered time: a message, not a failure.
    EXPECT_EQ(run(base + " import --quiet"), 0);
    // Usage errors.
    EXPECT_EQ(run(base + " import --from 2026"), 2);
    EXPECT_EQ(run(base + " no-such-command"), 2);
}

TEST(CliImport, RefreshFilesTodaysResults) {
    TempDir dir;
    DateTime now = DateTime::now();
    std::string today = std::to_string(now.date_number());
    std::string base = "--base " + dir.path().string();
    ASSERT_EQ(run("make-sample-feed " + (dir.path() / "feed").string() +
                  " --weeks 1 --seed 5 --today " + today),
              0);
    ASSERT_EQ(run(base + " import --quiet --from 20000101000000"), 0);
    std::string day;
    for (const auto& e : fs::directory_iterator(dir.path() / "Data")) {
        std::string name = e.path().filename().string();
        if (name.rfind(today.substr(0, 4), 0) == 0 && e.path().extension() == ".jvRA" &&
            name.find(today.substr(6, 2) + "日") != std::string::npos &&
            name.find(today.substr(4, 2) + "月") != std::string::npos) {
            day = e.path().stem().string();
        }
    }
    ASSERT_FALSE(day.empty());
    fs::path payouts = dir.path() / "Data" / (day + ".jvHR");
    EXPECT_FALSE(fs::exists(payouts));
    EXPECT_EQ(run(base + " refresh " + day), 0);
    EXPECT_TRUE(fs::exists(payouts));
    EXPECT_EQ(run(base + " refresh 1999年01月01日中山"), 1);
}

}  // namespace
}  // namespace tolven
