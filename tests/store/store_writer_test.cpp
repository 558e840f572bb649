#include "store/store_writer.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "store/code_tables.hpp"
#include "store/cp932.hpp"
#include "store/record_builder.hpp"
#include "support/faulty_file_layer.hpp"
#include "support/store_check.hpp"
#include "support/temp_dir.hpp"

namespace fs = std::filesystem;

namespace tolven {
namespace {

using namespace tolven::testing;

std::string race(int date, int number, const char* category, const char* created,
                 const char* name = "") {
    return RecordBuilder(RecordKind::Race)
        .text(header::category, category)
        .text(header::created, created)
        .race(date, "06", 5, 3, number)
        .text(ra::race_name, sj(name))
        .str();
}

std::string runner(int date, int number, int horse, const char* category, const char* created,
                   const char* pedigree = "2022100001", int finish = 0) {
    return RecordBuilder(RecordKind::Runner)
        .text(header::category, category)
        .text(header::created, created)
        .race(date, "06", 5, 3, number)
        .number(se::bracket, (horse + 1) / 2)
        .number(se::horse_number, horse)
        .text(se::pedigree, pedigree)
        .number(se::finish, finish)
        .str();
}

std::string payout(int date, int number, const char* created) {
    return RecordBuilder(RecordKind::Payout)
        .text(header::category, "2")
        .text(header::created, created)
        .race(date, "06", 5, 3, number)
        .str();
}

struct Op {
    StoreFile where;
    std::string record;
};

// A stream like an import's: race cards, then results over them, horses'
// runs out of date order, payouts, and meeting files.
std::vector<Op> import_stream() {
    std::vector<Op> ops;
    for (int r = 1; r <= 3; ++r) {
        ops.push_back({StoreFile::DayRaces, race(20261205, r, "2", "20261204", "カード")});
        for (int h = 1; h <= 4; ++h) {
            ops.push_back({StoreFile::DayRunners, runner(20261205, r, h, "2", "20261204")});
        }
    }
    for (int r = 1; r <= 3; ++r) {
        std::string result = race(20261205, r, "7", "20261206", "結果");
        ops.push_back({StoreFile::DayRaces, result});
        ops.push_back({StoreFile::MeetingRaces, result});
        ops.push_back({StoreFile::DayPayouts, payout(20261205, r, "20261206")});
        for (int h = 1; h <= 4; ++h) {
            std::string pedigree = "202210000" + std::to_string(h);
            std::string se = runner(20261205, r, h, "7", "20261206", pedigree.c_str(), h);
            ops.push_back({StoreFile::DayRunners, se});
            ops.push_back({StoreFile::HorseRuns, se});
        }
    }
    // An earlier run of a horse arrives last.
    ops.push_back({StoreFile::HorseRuns, runner(20261010, 5, 3, "7", "20261011", "2022100001", 2)});
    return ops;
}

// A store as a complete earlier import leaves it, plus odd files an older
// program or a hand may leave: a blank first line in a race file, an
// unsorted payout file, a runner file cut short with LF line ends.
StoreFiles starting_store(const fs::path& base) {
    TempDir dir;
    DataStore store(dir.path());
    store.create_folders();
    for (const Op& op : import_stream()) store.store(op.where, op.record);
    StoreFiles files = read_store(dir.path());
    std::string day = "Data/" + cp932::to_utf8(day_key(race(20261205, 1, "7", "20261206")));
    std::string blank(kRaceRecordSize - 2, ' ');
    files[day + ".jvRA"] = blank + "\r\n" + files[day + ".jvRA"];
    auto hr = split_lines(files[day + ".jvHR"]);
    std::reverse(hr.begin(), hr.end());
    files[day + ".jvHR"] = join_lines(hr);
    std::string other = "Data/" + cp932::to_utf8(day_key(race(20261206, 1, "7", "20261206")));
    files[other + ".jvSEr"] =
        std::string(without_line_break(runner(20261206, 1, 1, "2", "20261205"))) + "\n";
    (void)base;
    return files;
}

// The stream of a re-import with news: the same cards and results again,
// with new days and new runs of new horses among them, a corrected result of
// race 2, and the day whose runner file was cut short.
std::vector<Op> reimport_stream() {
    std::vector<Op> ops;
    ops.push_back({StoreFile::DayRaces, race(20261212, 1, "1", "20261210", "新しい日")});
    ops.push_back({StoreFile::DayRunners, runner(20261212, 1, 2, "1", "20261210", "2022100009")});
    int n = 0;
    for (const Op& op : import_stream()) {
        ops.push_back(op);
        if (++n % 6 == 0) {
            std::string pedigree = "20231000" + std::to_string(10 + n);
            ops.push_back({StoreFile::HorseRuns,
                           runner(20261128, 1, n % 18 + 1, "7", "20261129", pedigree.c_str(), 1)});
        }
    }
    ops.push_back({StoreFile::DayRaces, race(20261205, 2, "7", "20261207", "訂正")});
    ops.push_back({StoreFile::DayRunners, runner(20261206, 1, 3, "2", "20261205")});
    ops.push_back({StoreFile::HorseRuns, runner(20261212, 1, 2, "7", "20261213", "2022100002", 1)});
    return ops;
}

StoreFiles record_by_record(const StoreFiles& start, const std::vector<Op>& ops) {
    TempDir dir;
    write_store(dir.path(), start);
    DataStore store(dir.path());
    for (const Op& op : ops) store.store(op.where, op.record);
    return read_store(dir.path());
}

class StoreWriterTest : public ::testing::Test {
  protected:
    TempDir dir;
    DataStore store{dir.path()};
    StoreFiles start;
    void SetUp() override {
        store.create_folders();
        start = starting_store(dir.path());
        write_store(dir.path(), start);
    }
    void file_all(StoreWriter& writer, const std::vector<Op>& ops) {
        for (const Op& op : ops) ASSERT_TRUE(writer.store(op.where, op.record).stored());
    }
};

TEST_F(StoreWriterTest, WritesTheBytesOfTheRecordByRecordFiling) {
    for (std::size_t limit : {std::size_t{256} << 20, std::size_t{1}, std::size_t{40000}}) {
        write_store(dir.path(), start);
        StoreFiles expected = record_by_record(start, reimport_stream());
        {
            StoreWriter writer(store, StoreWriterOptions{limit, std::size_t{512} << 20});
            file_all(writer, reimport_stream());
            writer.commit();
            if (limit == 1) {
                EXPECT_GT(writer.stats().memory_flushes, 0);
                EXPECT_GT(writer.stats().files_spilled, 0);
            }
        }
        EXPECT_EQ(read_store(dir.path()), expected) << "memory limit " << limit;
        EXPECT_FALSE(fs::exists(dir.path() / "tolven.redo"));
        EXPECT_FALSE(fs::exists(dir.path() / "tolven.journal"));
    }
}

TEST_F(StoreWriterTest, RacecoursesWithoutANameShareTheirDayFiles) {
    // Codes without a name give the same day key, so the same files.
    std::vector<Op> ops;
    for (const char* course : {"C4", "ZZ", "C4"}) {
        int number = course[0] == 'Z' ? 2 : 1;
        ops.push_back({StoreFile::DayRaces, RecordBuilder(RecordKind::Race)
                                                .text(header::category, "1")
                                                .race(20261226, course, 1, 1, number)
                                                .text(ra::race_name, course)
                                                .str()});
        ops.push_back({StoreFile::DayRunners, RecordBuilder(RecordKind::Runner)
                                                  .text(header::category, "1")
                                                  .race(20261226, course, 1, 1, number)
                                                  .number(se::horse_number, number)
                                                  .text(se::pedigree, "2022100001")
                                                  .str()});
    }
    write_store(dir.path(), {});
    {
        StoreWriter writer(store);
        file_all(writer, ops);
        writer.commit();
    }
    StoreFiles written = read_store(dir.path());
    EXPECT_EQ(written, record_by_record({}, ops));
    EXPECT_EQ(written.size(), 2u);
}

TEST_F(StoreWriterTest, AnUnchangedStoreIsNotRewritten) {
    write_store(dir.path(), record_by_record({}, import_stream()));
    StoreWriter writer(store);
    file_all(writer, import_stream());
    writer.commit();
    EXPECT_EQ(writer.stats().files_written, 0);
}

TEST_F(StoreWriterTest, ARunnerSlotKeepsTheNewerRecord) {
    struct Case {
        const char* stored;
        const char* incoming;
        bool replaced;
    } cases[] = {
        {"20261206", "20261204", false},  // a race card over the result
        {"20261206", "20261206", true},   // same day: the later delivery wins
        {"20261204", "20261206", true},  {"        ", "20261204", true},  // no date to compare
        {"20261206", "2026120X", true},  {nullptr, "20261204", true},     // an empty slot
    };
    for (const auto& c : cases) {
        write_store(dir.path(), {});
        if (c.stored) store.store(StoreFile::DayRunners, runner(20261205, 1, 1, "7", c.stored));
        std::string incoming = runner(20261205, 1, 1, "2", c.incoming);
        {
            StoreWriter writer(store);
            writer.store(StoreFile::DayRunners, incoming);
            writer.commit();
        }
        auto records = DataStore::read_records(store.day_file(day_key(incoming), ".jvSEr"),
                                               RecordKind::Runner);
        ASSERT_TRUE(records.has_value());
        EXPECT_EQ((*records)[0] == incoming, c.replaced) << (c.stored ? c.stored : "empty");
    }
}

TEST_F(StoreWriterTest, ASafeCommitKeepsReplacedLinesAsTheyWere) {
    StoreFiles before = read_store(dir.path());
    std::string day = "Data/" + cp932::to_utf8(day_key(race(20261205, 1, "7", "20261206")));
    {
        StoreWriter writer(store);
        file_all(writer, reimport_stream());
        writer.commit_safe();
    }
    StoreFiles after = read_store(dir.path());
    StoreFiles complete = record_by_record(start, reimport_stream());
    EXPECT_EQ(interrupted_store_problems(before, after, complete), std::vector<std::string>{});
    // The race cards replayed over the results were not kept, nor the
    // correction of a stored race: both replace lines the file had.
    EXPECT_EQ(after[day + ".jvRA"], before[day + ".jvRA"]);
    // New days, new runs and newer runner records were.
    std::string new_day = "Data/" + cp932::to_utf8(day_key(race(20261212, 1, "1", "20261210")));
    EXPECT_EQ(after[new_day + ".jvRA"], complete[new_day + ".jvRA"]);
    EXPECT_EQ(after[new_day + ".jvSEr"], complete[new_day + ".jvSEr"]);
    EXPECT_EQ(after["SEI/2022/2022100002.jvSEI"], complete["SEI/2022/2022100002.jvSEI"]);
    EXPECT_EQ(temporaries(after), std::vector<std::string>{});
    // A complete run afterwards gives the complete store.
    {
        StoreWriter writer(store);
        file_all(writer, reimport_stream());
        writer.commit();
    }
    EXPECT_EQ(read_store(dir.path()), complete);
}

TEST_F(StoreWriterTest, CheckpointedChangesSurviveAWriterThatNeverEnded) {
    start = record_by_record({}, import_stream());
    write_store(dir.path(), start);
    StoreFiles before = read_store(dir.path());
    std::vector<Op> first = reimport_stream();
    std::vector<Op> second = {
        {StoreFile::DayRaces, race(20261219, 1, "1", "20261217", "後")},
        {StoreFile::DayRunners, runner(20261212, 1, 2, "1", "20261211", "2022100009")}};
    {
        StoreWriter writer(store);
        file_all(writer, first);
        writer.checkpoint();
        file_all(writer, second);
        // Gone without a commit, as a killed process is; nothing is written.
    }
    EXPECT_EQ(read_store(dir.path()), before);
    EXPECT_TRUE(fs::exists(dir.path() / "tolven.redo"));
    {
        StoreWriter next(store);
        EXPECT_TRUE(next.stats().recovered);
        next.commit();
    }
    EXPECT_FALSE(fs::exists(dir.path() / "tolven.redo"));
    // Recovered: the safe changes up to the checkpoint, as a safe commit then
    // would have written them; nothing filed after it.
    TempDir safe;
    DataStore safe_store(safe.path());
    write_store(safe.path(), start);
    {
        StoreWriter writer(safe_store);
        file_all(writer, first);
        writer.commit_safe();
    }
    EXPECT_EQ(read_store(dir.path()), read_store(safe.path()));
}

TEST_F(StoreWriterTest, ACommitCutShortIsFinishedByTheNextWriter) {
    StoreFiles complete = record_by_record(start, reimport_stream());
    FaultyFileLayer layer;
    // Rename 1 puts the journal in place; 2 and 3 replace the first files.
    layer.fail(FaultyFileLayer::Rename, 3, EIO);
    {
        ScopedFileLayer scoped(layer);
        StoreWriter writer(store);
        file_all(writer, reimport_stream());
        try {
            writer.commit();
            ADD_FAILURE() << "the commit did not fail";
        } catch (const FileError& e) {
            EXPECT_NE(std::string(e.what()).find("置き換えられません：" + dir.path().string()),
                      std::string::npos)
                << e.what();
        }
        // Nothing more is written over the journal.
        writer.commit_safe();
    }
    ASSERT_TRUE(fs::exists(dir.path() / "tolven.journal"));
    { StoreWriter next(store); }
    EXPECT_FALSE(fs::exists(dir.path() / "tolven.journal"));
    EXPECT_EQ(read_store(dir.path()), complete);
}

TEST_F(StoreWriterTest, StaleTemporariesGoWhenTheLastWriterDidNotFinish) {
    StoreFiles ours = {{"Data/.2026年12月05日中山.jvRA.Ab12Cd", "x"},
                       {"SEI/2022/.2022100001.jvSEI.zz99ZZ", "x"},
                       {"SEIR/2026/.2026120506.jvSERA.q1w2e3", "x"}};
    StoreFiles others = {{"Data/.2026年12月05日中山.User.Ab12Cd", "x"},
                         {"Data/notes.txt", "x"},
                         {"SEI/2022/.hidden", "x"}};
    auto place = [&](const StoreFiles& files) {
        for (const auto& [path, bytes] : files) write_bytes(dir.path() / path, bytes);
    };
    place(ours);
    place(others);
    { StoreWriter writer(store); }  // a lock file that says nothing: look
    StoreFiles after = read_store(dir.path());
    for (const auto& [path, bytes] : ours) EXPECT_FALSE(after.count(path)) << path;
    for (const auto& [path, bytes] : others) EXPECT_TRUE(after.count(path)) << path;
    // After a writer that finished cleanly nobody looks.
    {
        StoreWriter writer(store);
        writer.commit();
    }
    place(ours);
    { StoreWriter writer(store); }
    after = read_store(dir.path());
    for (const auto& [path, bytes] : ours) EXPECT_TRUE(after.count(path)) << path;
}

TEST_F(StoreWriterTest, AJournalCannotRenameAnythingOutsideTheStore) {
    write_bytes(dir.path() / "outside.jvRA", "old");
    write_bytes(dir.path() / ".outside.jvRA.abcdef", "new");
    write_bytes(dir.path() / "Data" / "x.jvRA", "old");
    write_bytes(dir.path() / "Data" / ".x.jvRA.abcdef", "new");
    write_bytes(dir.path() / "Data" / ".y.jvRA.abcdef", "new");
    write_bytes(dir.path() / "tolven.journal",
                "tolven journal 1\n4\n"
                "outside.jvRA\t.outside.jvRA.abcdef\n"
                "Data/../outside.jvRA\t.outside.jvRA.abcdef\n"
                "Data/y.jvRA\t../.y.jvRA.abcdef\n"
                "Data/x.jvRA\t.x.jvRA.abcdef\n"
                "end\n");
    { StoreWriter writer(store); }
    EXPECT_EQ(read_bytes(dir.path() / "outside.jvRA"), "old");
    EXPECT_EQ(read_bytes(dir.path() / "Data" / "x.jvRA"), "new");
    EXPECT_FALSE(fs::exists(dir.path() / "Data" / "y.jvRA"));
    EXPECT_FALSE(fs::exists(dir.path() / "tolven.journal"));
}

TEST_F(StoreWriterTest, OneWriterPerBaseFolderReadersAreFree) {
    auto writer = std::make_unique<StoreWriter>(store);
    try {
        StoreWriter second(store);
        ADD_FAILURE() << "a second writer was let in";
    } catch (const StoreBusy& e) {
        EXPECT_EQ(std::string(e.what()),
                  "another import or results refresh is running in " + dir.path().string());
    }
    std::string day = cp932::from_utf8("2026年12月05日中山");
    EXPECT_TRUE(DataStore::read_records(store.day_file(day, ".jvRA"), RecordKind::Race));
    writer.reset();
    EXPECT_NO_THROW(StoreWriter again(store));
}

// Runs a re-import the way the import does (checkpoints, a commit, a safe
// commit after an error) with every call of one operation failing in turn,
// and checks after each: an error naming a file of the store, nothing lost or
// older than before, and a complete run afterwards giving the complete store.
TEST_F(StoreWriterTest, EveryFailingCallLeavesAStoreThatARerunCompletes) {
    std::vector<Op> ops = reimport_stream();
    StoreFiles complete = record_by_record(start, ops);
    auto run = [&](FaultyFileLayer& layer) -> std::string {
        ScopedFileLayer scoped(layer);
        StoreWriter writer(store);
        try {
            for (std::size_t i = 0; i < ops.size(); ++i) {
                writer.store(ops[i].where, ops[i].record);
                if (i % 5 == 4) writer.checkpoint();
            }
            writer.commit();
            return "";
        } catch (const FileError& e) {
            try {
                writer.commit_safe();
            } catch (const FileError&) {
                // The disk stays bad; the next writer finishes.
            }
            return e.what();
        }
    };
    FaultyFileLayer counter;
    write_store(dir.path(), start);
    fs::remove(StoreLock::file(dir.path()));
    ASSERT_EQ(run(counter), "");
    ASSERT_EQ(read_store(dir.path()), complete);

    int cases = 0;
    for (auto op : {FaultyFileLayer::MakeTemporary, FaultyFileLayer::Open, FaultyFileLayer::Write,
                    FaultyFileLayer::Close, FaultyFileLayer::Rename, FaultyFileLayer::Unlink,
                    FaultyFileLayer::Mkdir}) {
        for (long n = 1; n <= counter.calls(op); ++n) {
            // A full disk fails every write and every new file from then on.
            bool disk_full = op == FaultyFileLayer::Write || op == FaultyFileLayer::MakeTemporary;
            for (int variant = 0; variant < (disk_full ? 2 : 1); ++variant) {
                bool lasting = variant == 1;
                SCOPED_TRACE(std::string(FaultyFileLayer::kNames[op]) + " #" + std::to_string(n) +
                             (lasting ? " and after" : ""));
                write_store(dir.path(), start);
                fs::remove(StoreLock::file(dir.path()));
                fs::remove(dir.path() / "tolven.redo");
                fs::remove(dir.path() / "tolven.journal");
                FaultyFileLayer layer;
                layer.fail(op, n, lasting ? ENOSPC : EIO, lasting);
                std::string error = run(layer);
                StoreFiles after = read_store(dir.path());
                if (error.empty()) {
                    // A failure that did not matter (closing or removing a
                    // file that goes anyway): the run is complete.
                    EXPECT_EQ(after, complete);
                } else {
                    EXPECT_NE(error.find(dir.path().string()), std::string::npos) << error;
                }
                EXPECT_EQ(interrupted_store_problems(start, after, complete),
                          std::vector<std::string>{});
                {
                    StoreWriter writer(store);
                    for (const Op& o : ops) writer.store(o.where, o.record);
                    writer.commit();
                }
                EXPECT_EQ(read_store(dir.path()), complete);
                ++cases;
            }
        }
    }
    EXPECT_GT(cases, 40);
}

TEST(RedoLog, KeepsLinesExactlyAndStopsAtAnEntryCutShort) {
    TempDir dir;
    std::vector<RedoOp> ops = {
        {StoreFile::DayRunners, std::string(553, ' ')},
        {StoreFile::HorseRuns, "SE" + std::string(3, ' ') + "x" + std::string(4, ' ') + "y" +
                                   std::string(255, ' ') + "z" + std::string(256, ' ') + "\xFF" +
                                   std::string(5, ' ') +
                                   "\xFF\xFF  \x01"
                                   "end   "},
        {StoreFile::MeetingRaces, "\xFF"},
        {StoreFile::DayPayouts, ""},
    };
    {
        RedoLog log(dir.path());
        std::string first, second;
        RedoLog::add(first, ops[0].where, ops[0].line);
        RedoLog::add(first, ops[1].where, ops[1].line);
        RedoLog::add(second, ops[2].where, ops[2].line);
        RedoLog::add(second, ops[3].where, ops[3].line);
        log.append(first);
        log.append(second);
        // Packed: the blank runs take a few bytes.
        EXPECT_LT(first.size(), 100u);
    }
    auto same = [](const std::vector<RedoOp>& a, const std::vector<RedoOp>& b) {
        if (a.size() != b.size()) return false;
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (a[i].where != b[i].where || a[i].line != b[i].line) return false;
        }
        return true;
    };
    EXPECT_TRUE(same(RedoLog::read(dir.path()), ops));
    // A kill in the middle of the second entry, or a damaged byte in it:
    // only the first entry counts.
    std::string whole = read_bytes(RedoLog::file(dir.path()));
    std::vector<RedoOp> first_only(ops.begin(), ops.begin() + 2);
    for (std::size_t cut = whole.size() - 1; cut > whole.size() - 12; --cut) {
        write_bytes(RedoLog::file(dir.path()), whole.substr(0, cut));
        EXPECT_TRUE(same(RedoLog::read(dir.path()), first_only)) << cut;
    }
    std::string damaged = whole;
    damaged[damaged.size() - 12] ^= 1;
    write_bytes(RedoLog::file(dir.path()), damaged);
    EXPECT_TRUE(same(RedoLog::read(dir.path()), first_only));
}

TEST_F(StoreWriterTest, AFileSizeLimitIsAWriteErrorNotTheEnd) {
    // In a child process: the limit and the signal are the whole process's.
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        struct rlimit limit {
            4096, 4096
        };
        setrlimit(RLIMIT_FSIZE, &limit);
        std::signal(SIGXFSZ, SIG_DFL);
        try {
            StoreWriter writer(store);
            writer.store(StoreFile::DayRunners, runner(20261226, 1, 1, "1", "20261224"));
            writer.commit();
            _exit(2);  // a 120 KB runner file was written under a 4 KB limit
        } catch (const FileError& e) {
            bool named = std::string(e.what()).find(".jvSEr（ファイルが大きすぎます）") != std::string::npos;
            _exit(named ? 0 : 3);
        }
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(read_store(dir.path()), start);
}

}  // namespace
}  // namespace tolven
