#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <unistd.h>

#include "store/date_time.hpp"
#include "store/store_lock.hpp"
#include "support/store_check.hpp"
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
            EXPECT_TRUE(first.count(stem + ".jvHR") || name.find(today.substr(0, 4)) == 5) << stem;
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

// Exit status and standard error of a command of tolven-cli.
struct Outcome {
    int status = -1;
    std::string errors;
};
Outcome run_with_errors(const std::string& prefix, const std::string& arguments,
                        const fs::path& errors) {
    std::string command =
        prefix + std::string(TOLVEN_CLI) + " " + arguments + " >/dev/null 2>" + errors.string();
    int status = std::system(("sh -c '" + command + "'").c_str());
    return Outcome{WEXITSTATUS(status), read_bytes(errors)};
}

TEST(CliImport, OneImportAtATimePerBaseFolder) {
    TempDir dir, single;
    std::string feed = (dir.path() / "feed").string();
    ASSERT_EQ(run("make-sample-feed " + feed + " --weeks 1 --seed 3 --today 20261207"), 0);
    std::string import = " import --quiet --from 20000101000000 --feed " + feed;
    ASSERT_EQ(run("--base " + single.path().string() + import), 0);
    StoreFiles expected = read_store(single.path());

    // While another writer holds the base folder, an import is refused.
    std::string base = "--base " + dir.path().string();
    {
        StoreLock held(dir.path());
        Outcome refused = run_with_errors("", base + import, dir.path() / "errors.txt");
        EXPECT_EQ(refused.status, 1);
        // The message names the folder and the holder, so that nobody takes
        // the lock for a stale one.
        for (std::string part :
             {"別のデータ取込みか成績更新が実行中です（フォルダ: " + dir.path().string(),
              "プロセスID: " + std::to_string(getpid()),
              std::string("プログラム: cli_import_tests")}) {
            EXPECT_NE(refused.errors.find(part), std::string::npos) << refused.errors;
        }
        EXPECT_TRUE(read_store(dir.path()).empty());
    }
    // Two at once: each finishes or is refused, and the store is what one
    // import makes.
    std::string both = "(" + std::string(TOLVEN_CLI) + " " + base + import + " >/dev/null 2>" +
                       (dir.path() / "e1").string() + "; echo $? >" + (dir.path() / "s1").string() +
                       ") & (" + std::string(TOLVEN_CLI) + " " + base + import + " >/dev/null 2>" +
                       (dir.path() / "e2").string() + "; echo $? >" + (dir.path() / "s2").string() +
                       ") & wait";
    ASSERT_EQ(std::system(("sh -c '" + both + "'").c_str()), 0);
    int finished = 0;
    for (const char* n : {"1", "2"}) {
        std::string status = read_bytes(dir.path() / (std::string("s") + n));
        std::string errors = read_bytes(dir.path() / (std::string("e") + n));
        if (status == "0\n") {
            ++finished;
        } else {
            EXPECT_EQ(status, "1\n");
            EXPECT_NE(errors.find("別のデータ取込みか成績更新が実行中です"), std::string::npos)
                << errors;
        }
    }
    EXPECT_GE(finished, 1);
    EXPECT_EQ(read_store(dir.path()), expected);
}

TEST(CliImport, ACancelledImportExitsNonZeroAndSaysWhatWasKept) {
    TempDir dir;
    std::string feed = (dir.path() / "feed").string();
    ASSERT_EQ(run("make-sample-feed " + feed + " --weeks 8 --seed 3 --today 20261207"), 0);
    fs::path out = dir.path() / "out.txt", errors = dir.path() / "errors.txt",
             status = dir.path() / "status.txt";
    // Ctrl-C once the first feed files are done.
    std::string script = std::string(TOLVEN_CLI) + " --base " + (dir.path() / "base").string() +
                         " import --from 20000101000000 --feed " + feed + " >" + out.string() +
                         " 2>" + errors.string() + " & pid=$!; for i in $(seq 3000); do " +
                         "grep -q 作成済み " + out.string() + " && break; sleep 0.01; done; " +
                         "kill -INT $pid; wait $pid; echo $? >" + status.string();
    ASSERT_EQ(std::system(("sh -c '" + script + "'").c_str()), 0);
    EXPECT_EQ(read_bytes(status), "1\n") << read_bytes(errors);
    std::string said = read_bytes(errors);
    EXPECT_NE(said.find("import cancelled: "), std::string::npos) << said;
    EXPECT_NE(said.find(" built-data lines kept, "), std::string::npos) << said;
    EXPECT_EQ(said.find("import cancelled: 0 built-data lines"), std::string::npos) << said;
}

TEST(CliImport, AFileSizeLimitIsReportedAndTheRerunCompletes) {
    TempDir dir, single;
    std::string feed = (dir.path() / "feed").string();
    ASSERT_EQ(run("make-sample-feed " + feed + " --weeks 1 --seed 3 --today 20261207"), 0);
    std::string import = " import --quiet --from 20000101000000 --feed " + feed;
    ASSERT_EQ(run("--base " + single.path().string() + import), 0);
    StoreFiles expected = read_store(single.path());
    // The feed in the download cache first: the limit is for the store.
    std::string base = "--base " + dir.path().string();
    ASSERT_EQ(run(base + import), 0);
    write_store(dir.path(), {});

    Outcome limited = run_with_errors("ulimit -f 100; ", base + import, dir.path() / "errors.txt");
    EXPECT_EQ(limited.status, 1);  // not ended by SIGXFSZ
    EXPECT_NE(limited.errors.find("データ作成エラー:書き込めません：" + dir.path().string()),
              std::string::npos)
        << limited.errors;
    EXPECT_NE(limited.errors.find("（ファイルが大きすぎます）"), std::string::npos) << limited.errors;
    EXPECT_EQ(interrupted_store_problems({}, read_store(dir.path()), expected),
              std::vector<std::string>{});

    EXPECT_EQ(run(base + import), 0);
    EXPECT_EQ(read_store(dir.path()), expected);
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

namespace tolven {
namespace {

std::string output_of(const std::string& arguments) {
    std::string command = std::string(TOLVEN_CLI) + " " + arguments + " 2>/dev/null";
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
    return out;
}

TEST(CliShow, JsonHasEveryKeyAndTickSavesUserBets) {
    testing::TempDir dir;
    std::string base = "--base " + dir.path().string();
    ASSERT_EQ(run("make-sample-feed " + (dir.path() / "feed").string() +
                  " --weeks 3 --seed 9 --today 20261206"),
              0);
    ASSERT_EQ(run(base + " import --quiet --from 20000101000000"), 0);
    std::string days = output_of(base + " days --date yesterday --today 20261206");
    ASSERT_FALSE(days.empty());
    std::string day = days.substr(0, days.find('\n'));

    std::string json = output_of(base + " show " + day + " --json");
    for (const char* key : {"\"day\": ",
                            "\"banner\": ",
                            "\"complete\": true",
                            "\"raceCount\": 12",
                            "\"from2005\": true",
                            "\"races\": [",
                            "\"race\": 1",
                            "\"runners\": ",
                            "\"header\": [",
                            "\"headerColor\": \"#",
                            "\"X\": ",
                            "\"R\": ",
                            "\"V\": ",
                            "\"direction\": ",
                            "\"marks\": {\"x\": ",
                            "\"down\": ",
                            "\"chu\": ",
                            "\"tri\": ",
                            "\"ratioNumbers\": [",
                            "\"pattern\": ",
                            "\"axis\": ",
                            "\"horses\": [{\"horse\": 1",
                            "\"bracket\": ",
                            "\"name\": ",
                            "\"pastTime\": [",
                            "\"pastF3\": [",
                            "\"timeAbility\": ",
                            "\"f3Ability\": ",
                            "\"trend\": ",
                            "\"composite\": ",
                            "\"timeRank\": ",
                            "\"f3Rank\": ",
                            "\"trendRank\": ",
                            "\"compositeRank\": ",
                            "\"userScore\": ",
                            "\"userRank\": ",
                            "\"computerBets\": {\"quinella\": [\"",
                            "\"userBets\": {\"quinella\": []",
                            "\"grade\": ",
                            "\"investment\": ",
                            "\"betCount\": ",
                            "\"stakes\": [",
                            "\"raceTotal\": ",
                            "\"totalBets\": ",
                            "\"totalStake\": "}) {
        EXPECT_NE(json.find(key), std::string::npos) << key;
    }

    std::string ticked = output_of(base + " tick " + day + " 3 2 12");
    EXPECT_EQ(ticked.rfind("{\"race\": 3", 0), 0u);
    EXPECT_EQ(ticked.find("\"userBets\": {\"quinella\": []"), std::string::npos);
    std::string after = output_of(base + " show " + day + " --json");
    std::size_t race3 = after.find("{\"race\": 3");
    ASSERT_NE(race3, std::string::npos);
    const std::string saved = "\"userBets\": {\"quinella\": [\"";
    std::size_t user_bets = after.find("\"userBets\": {\"quinella\": [", race3);
    ASSERT_NE(user_bets, std::string::npos);
    EXPECT_EQ(after.substr(user_bets, saved.size()), saved);

    // Investments: a graded race takes the amount; usage errors are reported.
    EXPECT_EQ(run(base + " tick " + day + " 3 2 15"), 2);
    EXPECT_EQ(run(base + " show " + day + " --invest 1=x"), 2);
    EXPECT_EQ(run(base + " show 1999年01月01日中山"), 1);
    std::string record = output_of(base + " results " + day);
    EXPECT_EQ(record.rfind("<< 的中レースリスト >>\n", 0), 0u);

#ifdef TOLVEN_CLI_HAS_PDF
    // Every printout straight to PDF.
    for (const std::string& what :
         {std::string("betlist"), std::string("sheet 11"), std::string("allocation")}) {
        fs::path pdf = dir.path() / "out.pdf";
        fs::remove(pdf);
        ASSERT_EQ(run(base + " print " + what + " " + day + " --pdf " + pdf.string()), 0) << what;
        EXPECT_EQ(testing::read_bytes(pdf).rfind("%PDF", 0), 0u) << what;
    }
    EXPECT_EQ(run(base + " print sheet 13 " + day + " --pdf x.pdf"), 2);
#else
    // A build without windows has no printouts: print is an unknown command.
    EXPECT_EQ(run(base + " print betlist " + day + " --pdf " + (dir.path() / "out.pdf").string()),
              2);
    EXPECT_FALSE(fs::exists(dir.path() / "out.pdf"));
#endif
}

}  // namespace
}  // namespace tolven
