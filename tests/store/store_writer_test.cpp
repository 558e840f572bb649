#include "store/store_writer.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <functional>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "platform/utf8_path.hpp"
#include "store/code_tables.hpp"
#include "store/cp932.hpp"
#include "store/record_builder.hpp"
#include "store/store_reader.hpp"
#include "support/faulty_file_layer.hpp"
#include "support/platform_skips.hpp"
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
    // With a memory limit of one byte every file is spilled before the
    // commit: the spills the journal names must outlive the failed writer.
    for (std::size_t limit : {std::size_t{256} << 20, std::size_t{1}}) {
        write_store(dir.path(), start);
        FaultyFileLayer layer;
        {
            ScopedFileLayer scoped(layer);
            StoreWriter writer(store, StoreWriterOptions{limit, std::size_t{512} << 20});
            file_all(writer, reimport_stream());
            // The commit's first rename puts the journal in place; the
            // second, which replaces the first file, fails.
            layer.fail(FaultyFileLayer::Rename, layer.calls(FaultyFileLayer::Rename) + 2, EIO);
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
        ASSERT_TRUE(fs::exists(dir.path() / "tolven.journal")) << "memory limit " << limit;
        { StoreWriter next(store); }
        EXPECT_FALSE(fs::exists(dir.path() / "tolven.journal")) << "memory limit " << limit;
        EXPECT_EQ(read_store(dir.path()), complete) << "memory limit " << limit;
    }
}

TEST_F(StoreWriterTest, StaleTemporariesGoWhenTheLastWriterDidNotFinish) {
    StoreFiles ours = {{"Data/.2026年12月05日中山.jvRA.Ab12Cd", "x"},
                       {"SEI/2022/.2022100001.jvSEI.zz99ZZ", "x"},
                       {"SEIR/2026/.2026120506.jvSERA.q1w2e3", "x"}};
    StoreFiles others = {{"Data/.2026年12月05日中山.User.Ab12Cd", "x"},
                         {"Data/notes.txt", "x"},
                         {"SEI/2022/.hidden", "x"}};
    auto place = [&](const StoreFiles& files) {
        for (const auto& [path, bytes] : files) write_bytes(dir.path() / utf8_path(path), bytes);
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

std::string hex16(std::uint64_t n) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(n));
    return text;
}

// A journal as the writer writes it, for staged files of the given content.
struct JournalLine {
    std::string target, staged, content;
};
std::string journal_of(const std::vector<JournalLine>& lines) {
    std::string text = "tolven journal 2\n" + std::to_string(lines.size()) + "\n";
    for (const auto& l : lines) {
        text += l.target + "\t" + l.staged + "\t" + std::to_string(l.content.size()) + "\t" +
                hex16(content_hash(l.content)) + "\n";
    }
    return text + "end\t" + hex16(content_hash(text)) + "\n";
}

TEST_F(StoreWriterTest, AJournalCannotRenameAnythingOutsideTheStore) {
    write_bytes(dir.path() / "outside.jvRA", "old");
    write_bytes(dir.path() / ".outside.jvRA.abcdef", "new");
    write_bytes(dir.path() / "Data" / "x.jvRA", "old");
    write_bytes(dir.path() / "Data" / ".x.jvRA.abcdef", "new");
    write_bytes(dir.path() / "Data" / ".y.jvRA.abcdef", "new");
    std::string journal = journal_of({{"outside.jvRA", ".outside.jvRA.abcdef", "new"},
                                      {"Data/../outside.jvRA", ".outside.jvRA.abcdef", "new"},
                                      {"Data/y.jvRA", "../.y.jvRA.abcdef", "new"},
                                      {"Data/x.jvRA", ".x.jvRA.abcdef", "new"}});
    write_bytes(dir.path() / "tolven.journal", journal);
    // What names a store file is finished; the rest is reported, not obeyed.
    EXPECT_THROW({ StoreWriter writer(store); }, StoreDamaged);
    EXPECT_EQ(read_bytes(dir.path() / "outside.jvRA"), "old");
    EXPECT_EQ(read_bytes(dir.path() / "Data" / "x.jvRA"), "new");
    EXPECT_FALSE(fs::exists(dir.path() / "Data" / "y.jvRA"));
    EXPECT_FALSE(fs::exists(dir.path() / "tolven.journal"));
    EXPECT_EQ(read_bytes(dir.path() / "tolven.journal.damaged"), journal);
}

// A commit stopped after its commit point (every rename of a staged file
// fails), then its journal or staged files damaged as a crash, a disk or a
// person can: the next writer finishes what it can check, keeps the rest and
// reports it; nothing staged is thrown away.
TEST_F(StoreWriterTest, ADamagedJournalIsKeptAndReportedNeverDiscarded) {
    std::vector<Op> ops = import_stream();
    const StoreFiles before;  // a fresh store: every file of the run is staged
    StoreFiles complete = record_by_record(before, ops);
    struct Case {
        const char* name;
        std::function<void(const fs::path& journal, const std::vector<fs::path>& staged)> damage;
        bool reported;
    };
    auto edit = [](const fs::path& file, const std::function<void(std::string&)>& change) {
        std::string bytes = read_bytes(file);
        change(bytes);
        write_bytes(file, bytes);
    };
    std::vector<Case> cases = {
        {"intact", [](auto&, auto&) {}, false},
        {"cut by one byte", [&](auto& j, auto&) { edit(j, [](auto& b) { b.pop_back(); }); }, true},
        {"cut in half", [&](auto& j, auto&) { edit(j, [](auto& b) { b.resize(b.size() / 2); }); },
         true},
        {"CR LF line ends",
         [&](auto& j, auto&) {
             edit(j, [](auto& b) {
                 std::string crlf;
                 for (char c : b) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
                 b = crlf;
             });
         },
         true},
        {"a wrong count", [&](auto& j, auto&) { edit(j, [](auto& b) { b[17] += 1; }); }, true},
        {"empty", [&](auto& j, auto&) { write_bytes(j, ""); }, true},
        {"a flipped byte in a size",
         [&](auto& j, auto&) {
             edit(j, [](auto& b) {
                 std::size_t tab = b.find('\t', b.find('\t', 20) + 1);
                 b[tab + 1] ^= 1;
             });
         },
         true},
        {"staged files deleted by hand",
         [](auto&, auto& staged) {
             for (std::size_t i = 0; i < staged.size(); i += 2) fs::remove(staged[i]);
         },
         true},
        {"a staged file changed",
         [&](auto&, auto& staged) { edit(staged.back(), [](auto& b) { b[0] ^= 1; }); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        write_store(dir.path(), before);
        for (const char* leftover : {"tolven.journal", "tolven.journal.damaged"}) {
            fs::remove(dir.path() / leftover);
        }
        {
            FaultyFileLayer layer;
            layer.fail(FaultyFileLayer::Rename, 2, EIO, true);  // all but the journal's
            ScopedFileLayer scoped(layer);
            StoreWriter writer(store);
            for (const Op& o : ops) writer.store(o.where, o.record);
            EXPECT_THROW(writer.commit(), FileError);
        }
        fs::path journal = dir.path() / "tolven.journal";
        ASSERT_TRUE(fs::exists(journal));
        std::vector<fs::path> staged;
        for (const auto& name : temporaries(read_store(dir.path())))
            staged.push_back(dir.path() / name);
        ASSERT_GE(staged.size(), 4u);
        c.damage(journal, staged);
        StoreFiles staged_content;
        for (const auto& f : staged) {
            if (fs::exists(f)) staged_content[f.string()] = read_bytes(f);
        }
        std::string damaged = read_bytes(journal);

        std::string message;
        try {
            StoreWriter next(store);
        } catch (const StoreDamaged& e) {
            message = e.what();
        }
        StoreFiles after = read_store(dir.path());
        EXPECT_EQ(interrupted_store_problems(before, after, complete), std::vector<std::string>{});
        if (!c.reported) {
            EXPECT_EQ(message, "");
            EXPECT_EQ(after, complete);
            continue;
        }
        EXPECT_NE(message.find(journal.string()), std::string::npos) << message;
        EXPECT_NE(message.find("データ取込みをやり直してください"), std::string::npos) << message;
        EXPECT_FALSE(fs::exists(journal));
        EXPECT_EQ(read_bytes(dir.path() / "tolven.journal.damaged"), damaged);
        // Every staged file was either finished (its target holds it) or is
        // still there, and stays there through the next writers.
        { StoreWriter again(store); }
        for (const auto& [path, bytes] : staged_content) {
            fs::path file(path);
            std::string target = file.filename().string().substr(1);
            target.resize(target.size() - 7);
            bool finished = read_bytes(file.parent_path() / target) == bytes;
            EXPECT_TRUE(finished || fs::exists(file)) << path;
        }
        // Every later reader is told, until an import that ran to its end
        // clears the record; the next writer then sweeps its staged files.
        auto notice = damaged_import_notice(dir.path());
        ASSERT_TRUE(notice.has_value());
        EXPECT_NE(notice->find((dir.path() / "tolven.journal.damaged").string()), std::string::npos)
            << *notice;
        {
            StoreWriter reimport(store);
            reimport.commit();
            reimport.clear_damaged_import();
        }
        EXPECT_FALSE(damaged_import_notice(dir.path()).has_value());
        EXPECT_EQ(temporaries(read_store(dir.path())), std::vector<std::string>{});
    }
}

TEST_F(StoreWriterTest, OneWriterPerBaseFolderReadersAreFree) {
    auto writer = std::make_unique<StoreWriter>(store);
    try {
        StoreWriter second(store);
        ADD_FAILURE() << "a second writer was let in";
    } catch (const StoreBusy& e) {
        std::string message = e.what();
        for (std::string part :
             {"別のデータ取込みか成績更新が実行中です（フォルダ: " + dir.path().string(),
              "プロセスID: " + std::to_string(getpid()), std::string("プログラム: store_tests"),
              std::string("開始: 20")}) {
            EXPECT_NE(message.find(part), std::string::npos) << message;
        }
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

// A redo log damaged after it was written: the entries before the damage are
// replayed, the log is kept and reported, and nothing after the damage is
// dropped silently.
TEST_F(StoreWriterTest, ADamagedRedoLogIsReplayedAsFarAsItChecksThenKeptAndReported) {
    auto race_line = [](int number) {
        return std::string(without_line_break(race(20261226, number, "2", "20261224")));
    };
    std::string entries[3];
    for (int i = 0; i < 3; ++i) RedoLog::add(entries[i], StoreFile::DayRaces, race_line(i + 1));
    std::string crafted;
    RedoLog::add(crafted, StoreFile::DayRaces, race_line(3).replace(40, 2, "\r\n"));
    auto log_of = [&](const std::string& third) {
        TempDir scratch;
        {
            RedoLog log(scratch.path());
            log.append(entries[0]);
            log.append(entries[1]);
            log.append(third);
        }
        return read_bytes(RedoLog::file(scratch.path()));
    };
    const std::string whole = log_of(entries[2]);
    const std::size_t third_at = whole.size() - (12 + entries[2].size() + 8);
    struct Case {
        const char* name;
        std::string log;
        std::size_t replayed;  // races in the day file afterwards
    };
    auto changed = [&](std::size_t at, char to) {
        std::string log = whole;
        log[at] = to;
        return log;
    };
    std::vector<Case> cases = {
        {"whole", whole, 3},
        {"cut by one byte", whole.substr(0, whole.size() - 1), 2},
        {"cut inside the second entry", whole.substr(0, third_at - 20), 1},
        {"a flipped byte in the second entry", changed(third_at - 30, whole[third_at - 30] ^ 4), 1},
        {"a bad size", changed(third_at + 4, static_cast<char>(whole[third_at + 4] + 1)), 2},
        {"bytes after the last entry", whole + "TRD1", 3},
        {"a line break inside a line", log_of(crafted), 2},
    };
    std::string day = cp932::from_utf8("2026年12月26日中山");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        write_store(dir.path(), start);
        fs::remove(dir.path() / "tolven.redo.damaged");
        write_bytes(RedoLog::file(dir.path()), c.log);
        std::string message;
        try {
            StoreWriter next(store);
        } catch (const StoreDamaged& e) {
            message = e.what();
        }
        auto races = DataStore::read_records(store.day_file(day, ".jvRA"), RecordKind::Race);
        EXPECT_EQ(races ? races->size() : 0, c.replayed);
        EXPECT_FALSE(fs::exists(RedoLog::file(dir.path())));
        if (c.replayed == 3 && c.log == whole) {
            EXPECT_EQ(message, "");
            continue;
        }
        EXPECT_NE(message.find(RedoLog::file(dir.path()).string()), std::string::npos) << message;
        EXPECT_EQ(read_bytes(dir.path() / "tolven.redo.damaged"), c.log);
    }
}

// A symbolic link where the writer would write (the lock file, a store file,
// the journal, the redo log, a file replaced whole or in place) is refused
// with a message naming it, and the file it points to stays as it was, even
// when it does not exist yet.
TEST_F(StoreWriterTest, NothingIsWrittenOrReadThroughASymbolicLink) {
    SKIP_WITHOUT_SYMLINKS();
    TempDir outside;
    fs::path target = outside.path() / "x";
    std::string day = cp932::from_utf8("2026年12月26日中山");
    struct Case {
        const char* name;
        fs::path link;
        std::function<void()> write;
    };
    std::vector<Case> cases = {
        {"lock file", StoreLock::file(dir.path()), [&] { StoreLock lock(dir.path()); }},
        {"store file", store.day_file(day, ".jvRA"),
         [&] {
             StoreWriter writer(store);
             writer.store(StoreFile::DayRaces, race(20261226, 1, "2", "20261224"));
             writer.commit();
         }},
        {"journal", dir.path() / "tolven.journal", [&] { StoreWriter writer(store); }},
        {"redo log", RedoLog::file(dir.path()),
         [&] {
             RedoLog log(dir.path());
             log.append("x");
         }},
        {"file replaced whole", dir.path() / "Data" / "a.User",
         [&] { replace_file(dir.path() / "Data" / "a.User", "new"); }},
        {"file written in place", dir.path() / "Data" / "b.jvSEr",
         [&] { write_in_place(dir.path() / "Data" / "b.jvSEr", 0, "new"); }},
    };
    for (bool dangling : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (dangling ? ", dangling" : ""));
            fs::remove(target);
            if (!dangling) write_bytes(target, "outside");
            fs::remove(c.link);
            fs::create_symlink(target, c.link);
            try {
                c.write();
                ADD_FAILURE() << "written through " << c.link;
            } catch (const FileError& e) {
                EXPECT_NE(std::string(e.what()).find(c.link.string()), std::string::npos)
                    << e.what();
            }
            EXPECT_EQ(fs::exists(target), !dangling);
            if (!dangling) {
                EXPECT_EQ(read_bytes(target), "outside");
            }
            EXPECT_TRUE(fs::is_symlink(c.link));
            fs::remove(c.link);
        }
    }
}

// The lock file removed or replaced while a writer holds it (by a person who
// took it for a stale one, so that a second writer could start): the holder
// notices before it commits anything and stops with a message.
TEST_F(StoreWriterTest, ALockFileTakenAwayMidRunStopsTheHolderBeforeItCommits) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows refuses a rename over an open file, and a deleted open file keeps "
                    "its name until its last handle closes (under Wine, and on Windows before 10 "
                    "1809): the lock file of a running writer cannot be taken away";
#endif
    std::vector<std::function<void(const fs::path&)>> take_away = {
        [](const fs::path& lock) { fs::remove(lock); },
        [](const fs::path& lock) {
            fs::remove(lock);
            write_bytes(lock, "0\n");
        },
        [](const fs::path& lock) {
            write_bytes(lock.parent_path() / "other", "0\n");
            fs::rename(lock.parent_path() / "other", lock);
        },
    };
    std::vector<Op> ops = import_stream();
    for (std::size_t way = 0; way < take_away.size(); ++way) {
        for (bool at_checkpoint : {true, false}) {
            SCOPED_TRACE("way " + std::to_string(way) + (at_checkpoint ? " at a checkpoint" : ""));
            write_store(dir.path(), start);
            fs::remove(RedoLog::file(dir.path()));
            StoreWriter writer(store);
            for (const Op& o : ops) writer.store(o.where, o.record);
            take_away[way](StoreLock::file(dir.path()));
            try {
                if (at_checkpoint) writer.checkpoint();
                writer.commit();
                ADD_FAILURE() << "committed without the lock";
            } catch (const FileError& e) {
                EXPECT_NE(std::string(e.what()).find("ロックファイル " +
                                                     StoreLock::file(dir.path()).string()),
                          std::string::npos)
                    << e.what();
            }
            EXPECT_THROW(writer.commit_safe(), FileError);
            EXPECT_EQ(read_store(dir.path()), start);
            EXPECT_FALSE(fs::exists(RedoLog::file(dir.path())));
        }
    }
}

TEST_F(StoreWriterTest, AFileSizeLimitIsAWriteErrorNotTheEnd) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no file-size limit (RLIMIT_FSIZE) nor SIGXFSZ";
#else
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
#endif
}

}  // namespace
}  // namespace tolven
