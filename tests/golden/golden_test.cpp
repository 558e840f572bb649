// The whole calculation end to end: two seeded sample feeds, written by
// tolven-cli and imported at a fixed time, and every output of the command
// line over the resulting store, each compared whole with its golden file
// under tests/data/golden/<feed>/.
//
// When a change of output is meant, `make golden` (or TOLVEN_UPDATE_GOLDEN=1
// with this test) rewrites the golden files; review them with git diff.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <sys/wait.h>

#include "store/code_tables.hpp"
#include "store/cp932.hpp"
#include "support/sample_store.hpp"
#include "support/temp_dir.hpp"
#include "test_config.hpp"

namespace fs = std::filesystem;

namespace tolven {
namespace {

using namespace tolven::testing;

struct GoldenFeed {
    const char* name;  // its folder under tests/data/golden/
    int seed;
    int weeks;
    int today;              // the feed's today, YYYYMMDD
    DateTime import_time;   // the import files by the date five days before
};

const GoldenFeed kFeeds[] = {
    // Imported on the morning of the feed's today: the final results of the
    // earlier weekends reach the meeting and horse files but not the day
    // files, which keep their race cards.
    {"seed3-20261206", 3, 1, 20261206, DateTime{2026, 12, 6, 10, 0, 0}},
    // Imported on the Thursday after: yesterday's results are dated exactly
    // five days before the import.
    {"seed11-20260614", 11, 1, 20260614, DateTime{2026, 6, 18, 9, 0, 0}},
};

void PrintTo(const GoldenFeed& feed, std::ostream* out) {
    *out << feed.name;
}

bool updating() {
    const char* flag = std::getenv("TOLVEN_UPDATE_GOLDEN");
    return flag != nullptr && *flag != '\0' && std::string(flag) != "0";
}

std::string quoted(const std::string& text) {
    std::string q = "'";
    for (char c : text) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs a shell command line; its standard error goes to err_file.
CliRun run_shell(const std::string& command, const fs::path& err_file) {
    CliRun run;
    std::string line = command + " 2>" + quoted(err_file.string());
    FILE* pipe = popen(line.c_str(), "r");
    if (pipe == nullptr) return run;
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
    int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = read_bytes(err_file);
    return run;
}

// The day's file-name key: "2026年11月28日東京" -> "20261128-05".
std::string day_key(const std::string& entry_utf8) {
    std::string entry = sj(entry_utf8);
    if (entry.size() != 18) return "";
    std::string course;
    for (int code = 1; code <= 99 && course.empty(); ++code) {
        char digits[16];
        std::snprintf(digits, sizeof digits, "%02d", code);
        if (racecourse_name(digits) == entry.substr(14)) course = digits;
    }
    return entry.substr(0, 4) + entry.substr(6, 2) + entry.substr(10, 2) + "-" + course;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// A file the hit export wrote (CP932, CR LF) as UTF-8 with LF; "" and a
// failure when a line break is not CR LF.
std::string hit_file_text(const fs::path& file) {
    std::string bytes = read_bytes(file);
    std::string lf;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
        if (bytes[i] == '\r' || (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r'))) {
            ADD_FAILURE() << file << " has a line break that is not CR LF at byte " << i;
            return "";
        }
        lf += bytes[i];
    }
    return cp932::to_utf8(lf);
}

// Every output of the command line over the store of base, by golden-file
// name.
class Outputs {
  public:
    Outputs(fs::path base, fs::path scratch) : base_(std::move(base)), scratch_(std::move(scratch)) {}

    std::map<std::string, std::string> files;

    // The standard output of tolven-cli with arguments; the run must succeed
    // and say nothing on standard error.
    std::string cli(const std::string& arguments) {
        CliRun run = run_shell(std::string(quoted(TOLVEN_CLI)) + " --base " +
                                   quoted(base_.string()) + " " + arguments,
                               scratch_ / "stderr");
        EXPECT_EQ(run.status, 0) << arguments << "\n" << run.err;
        EXPECT_EQ(run.err, "") << arguments;
        return run.out;
    }

    void add(const std::string& name, std::string text) {
        EXPECT_EQ(files.count(name), 0u) << name << " twice";
        files[name] = std::move(text);
    }

    // The figures, the results record and its hits of every day; the hit
    // export of every date, oldest first so that the cumulative list grows
    // as it does in use; the balance over the whole store.
    void collect(int today) {
        std::string days = cli("days --date all --today " + std::to_string(today));
        add("days.txt", days);
        std::set<std::string> dates;
        for (const std::string& day : lines_of(days)) {
            std::string key = day_key(day);
            ASSERT_EQ(key.size(), 11u) << day;
            dates.insert(key.substr(0, 8));
            add(key + "-show.json", cli("show " + quoted(day) + " --json"));
            add(key + "-results.txt", cli("results " + quoted(day)));
            add(key + "-results-hits-only.txt", cli("results " + quoted(day) + " --hits-only"));
        }
        for (const std::string& date : dates) {
            std::string said = cli("hits " + date);
            std::vector<std::string> lines = lines_of(said);
            std::string shown;
            for (const std::string& line : lines) {
                std::string l = line;
                if (l.rfind(base_.string(), 0) == 0) l = "<base>" + l.substr(base_.string().size());
                shown += l + "\n";
            }
            add(date + "-hits.txt", shown);
            if (lines.size() == 3) {
                add(date + "-hits-TK.txt", hit_file_text(lines[1]));
                add(date + "-hits-Vevezaza.txt", hit_file_text(lines[2]));
            } else {
                EXPECT_EQ(lines.size(), 1u) << said;
            }
        }
        add("balance.json", cli("balance 20000101 20991231 --json --quiet"));
        add("balance-wide.json", cli("balance 20000101 20991231 --wide --json --quiet"));
    }

  private:
    fs::path base_;
    fs::path scratch_;
};

// JSON with a line break after every comma and opening bracket outside
// strings, so that a difference shows as lines.
std::string broken_into_lines(const std::string& json) {
    std::string out;
    bool in_string = false, escaped = false, line_start = false;
    for (char c : json) {
        if (line_start && c == ' ') continue;
        line_start = false;
        out += c;
        if (in_string) {
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                in_string = false;
            }
        } else if (c == '"') {
            in_string = true;
        } else if (c == ',' || c == '{' || c == '[') {
            out += '\n';
            line_start = true;
        }
    }
    return out;
}

// The unified difference between golden and actual, at most 80 lines; a
// hunk of JSON names the race it is in.
std::string difference(const std::string& name, const std::string& golden,
                       const std::string& actual, const fs::path& scratch) {
    bool json = name.size() > 5 && name.compare(name.size() - 5, 5, ".json") == 0;
    write_bytes(scratch / "golden", json ? broken_into_lines(golden) : golden);
    write_bytes(scratch / "actual", json ? broken_into_lines(actual) : actual);
    CliRun run = run_shell(std::string("diff -u ") + (json ? "-F '\"race\": ' " : "") +
                               "--label golden/" + quoted(name) + " --label actual/" +
                               quoted(name) + " " + quoted((scratch / "golden").string()) + " " +
                               quoted((scratch / "actual").string()),
                           scratch / "diff.err");
    std::vector<std::string> lines = lines_of(run.out);
    std::string shown;
    for (std::size_t i = 0; i < lines.size() && i < 80; ++i) shown += lines[i] + "\n";
    if (lines.size() > 80) shown += "... " + std::to_string(lines.size() - 80) + " more lines\n";
    return shown;
}

class Golden : public ::testing::TestWithParam<GoldenFeed> {};

TEST_P(Golden, EveryOutputMatchesItsGoldenFile) {
    const GoldenFeed& feed = GetParam();
    TempDir dir;
    const fs::path base = dir.path() / "store";
    const fs::path scratch = dir.path() / "scratch";
    fs::create_directories(scratch);

    Outputs outputs(base, scratch);
    std::string made = outputs.cli("make-sample-feed " + quoted((base / "feed").string()) +
                                   " --seed " + std::to_string(feed.seed) + " --weeks " +
                                   std::to_string(feed.weeks) + " --today " +
                                   std::to_string(feed.today));
    outputs.add("feed.txt", made);
    int built = import_feed(base, feed.import_time);
    outputs.add("import.txt", std::to_string(built) + " lines of built data\n");
    outputs.collect(feed.today);
    if (HasFailure()) return;

    const fs::path folder = fs::path(TOLVEN_TEST_DATA_DIR) / "golden" / feed.name;
    if (updating()) {
        fs::remove_all(folder);
        for (const auto& [name, text] : outputs.files) write_bytes(folder / name, text);
        std::printf("[ GOLDEN   ] wrote %zu files into %s\n", outputs.files.size(),
                    folder.string().c_str());
        return;
    }

    std::set<std::string> golden_names = folder_entries(folder);
    for (const auto& [name, text] : outputs.files) {
        if (golden_names.erase(name) == 0) {
            ADD_FAILURE() << "no golden file " << feed.name << "/" << name;
            continue;
        }
        std::string golden = read_bytes(folder / name);
        if (golden != text) {
            ADD_FAILURE() << feed.name << "/" << name << " differs from its golden file:\n"
                          << difference(name, golden, text, scratch);
        }
    }
    for (const std::string& name : golden_names) {
        ADD_FAILURE() << "golden file " << feed.name << "/" << name << " has no output";
    }
    if (HasFailure()) {
        fs::path kept = fs::path(GOLDEN_ACTUAL_DIR) / feed.name;
        fs::remove_all(kept);
        for (const auto& [name, text] : outputs.files) write_bytes(kept / name, text);
        ADD_FAILURE() << "the outputs of this run are in " << kept.string()
                      << "; if the change is meant, run `make golden`";
    }
}

INSTANTIATE_TEST_SUITE_P(SampleFeeds, Golden, ::testing::ValuesIn(kFeeds),
                         [](const ::testing::TestParamInfo<GoldenFeed>& feed) {
                             std::string name = feed.param.name;
                             for (char& c : name) {
                                 if (c == '-') c = '_';
                             }
                             return name;
                         });

}  // namespace
}  // namespace tolven
