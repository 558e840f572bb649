#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <sstream>

#include "support/sample_store.hpp"
#include "support/temp_dir.hpp"

namespace tolven {
namespace {

using namespace tolven::testing;

std::string output_of(const std::string& arguments, int& status) {
    std::string command = std::string(TOLVEN_CLI) + " " + arguments + " 2>/dev/null";
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    status = WEXITSTATUS(pclose(pipe));
    return out;
}

long long json_number(const std::string& json, const std::string& object, const std::string& key) {
    std::smatch m;
    std::regex pattern("\"" + object + "\": \\{[^}]*\"" + key + "\": (-?[0-9]+)");
    if (!std::regex_search(json, m, pattern)) return -1;
    return std::stoll(m[1].str());
}

TEST(BalanceCli, JsonAndCsvAgree) {
    TempDir dir;
    import_sample_feed(dir.path(), SampleFeedOptions{29, 2, 20261206},
                       DateTime{2026, 12, 6, 10, 0, 0});
    std::string base = "--base " + dir.path().string() + " balance 20000101 20261231 --wide ";
    int status = 0;
    std::string json = output_of(base + "--json", status);
    ASSERT_EQ(status, 0);
    std::string csv = output_of(base + "--csv --quiet", status);
    ASSERT_EQ(status, 0);
    std::string table = output_of(base + "--quiet", status);
    ASSERT_EQ(status, 0);
    EXPECT_NE(table.find("合計"), std::string::npos);

    std::istringstream lines(csv);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "day,race,kind,bet,stake,return");
    long long tickets = 0, stake = 0, returned = 0, wide = 0;
    std::regex row("^[^,]+,[0-9]+,(quinella|bracket|wide),\" ?[0-9]+- ?[0-9]+\",([0-9]+),([0-9]+)$");
    while (std::getline(lines, line)) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, row)) << line;
        ++tickets;
        stake += std::stoll(m[2].str());
        returned += std::stoll(m[3].str());
        if (m[1].str() == "wide") ++wide;
    }
    EXPECT_GT(tickets, 0);
    EXPECT_EQ(json_number(json, "total", "tickets"), tickets);
    EXPECT_EQ(json_number(json, "total", "stake"), stake);
    EXPECT_EQ(json_number(json, "total", "return"), returned);
    EXPECT_EQ(json_number(json, "wide", "tickets"), wide);
    EXPECT_EQ(json_number(json, "total", "stake"), 100 * tickets);

    // Usage errors exit 2.
    output_of("--base " + dir.path().string() + " balance 20261301 20261231", status);
    EXPECT_EQ(status, 2);
    output_of("--base " + dir.path().string() + " balance 20261231 20260101", status);
    EXPECT_EQ(status, 2);
    output_of("--base " + dir.path().string() + " balance 20260101 20261231 --bets nobody", status);
    EXPECT_EQ(status, 2);
}

}  // namespace
}  // namespace tolven
