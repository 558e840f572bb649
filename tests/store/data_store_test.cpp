#include "store/data_store.hpp"

#include <gtest/gtest.h>

#include "store/atomic_file.hpp"
#include "store/code_tables.hpp"
#include "store/file_layer.hpp"
#include "store/cp932.hpp"
#include "store/record_builder.hpp"
#include "store/store_reader.hpp"
#include "support/temp_dir.hpp"

namespace fs = std::filesystem;

namespace tolven {
namespace {

using testing::read_bytes;
using testing::TempDir;
using testing::write_bytes;

std::string race(int date, const char* course, int race_number, const char* category = "7",
                 const char* name = "") {
    return RecordBuilder(RecordKind::Race)
        .text(header::category, category)
        .text(header::created, "20261201")
        .race(date, course, 5, 3, race_number)
        .text(ra::race_name, sj(name))
        .str();
}

std::string runner(int date, int race_number, int horse, const char* pedigree = "2022100001",
                   const char* course = "06") {
    return RecordBuilder(RecordKind::Runner)
        .text(header::category, "7")
        .text(header::created, "20261201")
        .race(date, course, 5, 3, race_number)
        .number(se::bracket, 1)
        .number(se::horse_number, horse)
        .text(se::pedigree, pedigree)
        .str();
}

std::string line_of(const std::string& record) {
    return std::string(without_line_break(record));
}
std::string stored_line(const std::string& record) {
    return overwrite(without_line_break(record), "000000000", 3);
}

class DataStoreTest : public ::testing::Test {
  protected:
    TempDir dir;
    DataStore store{dir.path()};
    void SetUp() override { store.create_folders(); }
    std::vector<std::string> lines(const fs::path& file) { return split_lines(read_bytes(file)); }
};

TEST_F(DataStoreTest, CreatesExactlyNamedFolders) {
    for (const char* name : {"Data", "SEI", "SEIR"})
        EXPECT_TRUE(fs::is_directory(dir.path() / name));
}

TEST_F(DataStoreTest, DayKeyAndPaths) {
    std::string r = race(20030412, "06", 1);
    EXPECT_EQ(day_key(r), sj("2003年04月12日中山"));
    EXPECT_EQ(store.day_file(day_key(r), ".jvRA"),
              dir.path() / "Data" / u8"2003年04月12日中山.jvRA");
    // A racecourse code whose name is blank gives four spaces before the extension.
    EXPECT_EQ(day_key(race(20030412, "C4", 1)), sj("2003年04月12日    "));
    EXPECT_EQ(store.day_file(day_key(race(20030412, "ZZ", 1)), ".jvRA").filename(),
              u8"2003年04月12日    .jvRA");
    EXPECT_EQ(store.horse_file("2022100001"), dir.path() / "SEI" / "2022" / "2022100001.jvSEI");
    EXPECT_EQ(store.meeting_file("2026", "1205", "06"),
              dir.path() / "SEIR" / "2026" / "2026120506.jvSERA");
}

// Each kind of record goes to its file; the import's writer asks the same.
TEST_F(DataStoreTest, TheFileOfEachKind) {
    const fs::path base = dir.path();
    std::string payout = RecordBuilder(RecordKind::Payout).race(20261205, "06", 5, 3, 11).str();
    struct Case {
        StoreFile where;
        std::string record;
        fs::path file;
    } cases[] = {
        {StoreFile::DayRaces, race(20261205, "06", 1),
         base / "Data" / u8"2026年12月05日中山.jvRA"},
        {StoreFile::DayRunners, runner(20261205, 12, 18),
         base / "Data" / u8"2026年12月05日中山.jvSEr"},
        {StoreFile::DayPayouts, payout, base / "Data" / u8"2026年12月05日中山.jvHR"},
        {StoreFile::HorseRuns, runner(20261205, 1, 1, "2019104321"),
         base / "SEI" / "2019" / "2019104321.jvSEI"},
        {StoreFile::MeetingRaces, race(20261205, "05", 12),
         base / "SEIR" / "2026" / "2026120505.jvSERA"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.string());
        EXPECT_EQ(store.file_for(c.where, without_line_break(c.record)), c.file);
        ASSERT_TRUE(store.store(c.where, c.record).stored());
        EXPECT_TRUE(fs::exists(c.file));
    }
}

// The stamp (data category and creation date, bytes 3..11) is zeroed; every
// other byte stays.
TEST(DataStoreStamp, ZeroedStamp) {
    std::string r = line_of(race(20261205, "06", 1));
    ASSERT_EQ(r.substr(2, 9), "720261201");
    std::string zeroed = with_zeroed_stamp(r);
    EXPECT_EQ(zeroed, r.substr(0, 2) + "000000000" + r.substr(11));
    EXPECT_EQ(zeroed, stored_line(r));
}

TEST_F(DataStoreTest, KeyedMergeReplacesAppendsAndSorts) {
    std::string r3 = race(20261205, "06", 3, "1", "旧");
    std::string r1 = race(20261205, "06", 1);
    std::string r3b = race(20261205, "06", 3, "2", "新");
    for (const auto& r : {r3, r1, r3b}) ASSERT_TRUE(store.store(StoreFile::DayRaces, r).stored());

    fs::path file = store.day_file(day_key(r1), ".jvRA");
    // One line per race, in race order, the later version of race 3 kept, and
    // offsets 2..10 zeroed.
    EXPECT_EQ(lines(file), (std::vector<std::string>{stored_line(r1), stored_line(r3b)}));
    std::string content = read_bytes(file);
    EXPECT_EQ(content.size(), 2 * kRaceRecordSize);
    EXPECT_EQ(content.substr(0, 11), "RA000000000");
    EXPECT_EQ(content.substr(content.size() - 2), "\r\n");
}

TEST_F(DataStoreTest, MergeLineDropsBlankFirstLineOnlyWhenAsked) {
    std::string blank(1270, ' ');
    std::vector<std::string> with_blank{blank, "RA000000000" + std::string(1259, 'x')};
    std::vector<std::string> kept = with_blank;
    std::string r = stored_line(race(20261205, "06", 2));
    merge_line(with_blank, r, true);
    merge_line(kept, r, false);
    EXPECT_EQ(with_blank.size(), 2u);
    EXPECT_EQ(with_blank.front(), r);
    EXPECT_EQ(kept.size(), 3u);
    EXPECT_EQ(kept.front(), blank);

    // An empty line left in a .jvRA file goes on the next write.
    std::string r1 = race(20261205, "06", 1);
    fs::path file = store.day_file(day_key(r1), ".jvRA");
    write_bytes(file, "\r\n" + stored_line(race(20261205, "06", 5)) + "\r\n");
    ASSERT_TRUE(store.store(StoreFile::DayRaces, r1).stored());
    EXPECT_EQ(lines(file).size(), 2u);
}

TEST_F(DataStoreTest, PayoutBeforeItsRaceIsStoredAnyway) {
    std::string hr = RecordBuilder(RecordKind::Payout)
                         .text(header::category, "2")
                         .race(20261205, "06", 5, 3, 4)
                         .str();
    StoreOutcome outcome = store.store(StoreFile::DayPayouts, hr);
    ASSERT_TRUE(outcome.stored());
    EXPECT_EQ(outcome.file.filename(), u8"2026年12月05日中山.jvHR");
    EXPECT_EQ(lines(outcome.file), std::vector<std::string>{stored_line(hr)});
}

TEST_F(DataStoreTest, SlotStoreCreatesTheFullRunnerFile) {
    std::string se = runner(20261205, 2, 5);
    StoreOutcome outcome = store.store(StoreFile::DayRunners, se);
    ASSERT_TRUE(outcome.stored());
    auto records = DataStore::read_records(outcome.file, RecordKind::Runner);
    ASSERT_TRUE(records.has_value());
    ASSERT_EQ(records->size(), 216u);
    for (std::size_t i = 0; i < records->size(); ++i) {
        if (i == 1 * 18 + 4) {
            EXPECT_EQ((*records)[i], se);  // stored as delivered, category and date kept
        } else {
            EXPECT_TRUE(is_absent((*records)[i])) << i;
        }
    }
    EXPECT_EQ(read_bytes(outcome.file).size(), 216 * kRunnerRecordSize);
}

TEST_F(DataStoreTest, SlotStoreSkipsNumbersWithoutASlot) {
    struct Case {
        int race;
        const char* horse;
    } cases[] = {{1, "00"}, {1, "  "}, {1, "19"}, {13, "01"}, {0, "01"}};
    for (const auto& c : cases) {
        std::string se = RecordBuilder(RecordKind::Runner)
                             .race(20261205, "06", 5, 3, c.race)
                             .text(se::horse_number, c.horse)
                             .text(se::pedigree, "2022100001")
                             .str();
        StoreOutcome outcome = store.store(StoreFile::DayRunners, se);
        EXPECT_EQ(outcome.status, StoreOutcome::Status::Skipped) << c.race << "/" << c.horse;
    }
    EXPECT_TRUE(fs::is_empty(dir.path() / "Data"));
}

TEST_F(DataStoreTest, HorseRunsEndUpInDateOrder) {
    std::string later = runner(20261205, 11, 3);
    std::string earlier = runner(20261017, 9, 7);
    std::string middle = runner(20261101, 10, 1);
    for (const auto& r : {later, earlier, middle}) {
        ASSERT_TRUE(store.store(StoreFile::HorseRuns, r).stored());
    }
    fs::path file = store.horse_file("2022100001");
    EXPECT_EQ(lines(file), (std::vector<std::string>{stored_line(earlier), stored_line(middle),
                                                     stored_line(later)}));
}

TEST_F(DataStoreTest, MeetingRacesGoToTheYearFolder) {
    std::string r = race(20251228, "09", 12);
    StoreOutcome outcome = store.store(StoreFile::MeetingRaces, r);
    ASSERT_TRUE(outcome.stored());
    EXPECT_EQ(outcome.file, dir.path() / "SEIR" / "2025" / "2025122809.jvSERA");
    EXPECT_EQ(lines(outcome.file), std::vector<std::string>{stored_line(r)});
}

TEST_F(DataStoreTest, RejectsRecordsThatWouldEscapeTheStore) {
    struct Case {
        const char* what;
        StoreFile where;
        std::string record;
    } cases[] = {
        {"pedigree ../", StoreFile::HorseRuns, runner(20261205, 1, 1, "../../../x")},
        {"pedigree blank", StoreFile::HorseRuns, runner(20261205, 1, 1, "          ")},
        {"course ..", StoreFile::MeetingRaces, race(20261205, "..", 1)},
        {"course lower", StoreFile::DayRaces, race(20261205, "a0", 1)},
        {"year", StoreFile::DayRaces,
         RecordBuilder(RecordKind::Race)
             .text(header::year, "20/6")
             .text(header::month_day, "1205")
             .text(header::course, "06")
             .text(header::kai, "05")
             .text(header::nichi, "03")
             .text(header::race_number, "01")
             .str()},
        {"race number blank", StoreFile::DayPayouts,
         RecordBuilder(RecordKind::Payout)
             .race(20261205, "06", 5, 3, 1)
             .text(header::race_number, "  ")
             .str()},
        {"wrong kind", StoreFile::DayRaces, runner(20261205, 1, 1)},
        {"truncated", StoreFile::DayRaces, race(20261205, "06", 1).substr(0, 900)},
    };
    for (const auto& c : cases) {
        StoreOutcome outcome = store.store(c.where, c.record);
        EXPECT_EQ(outcome.status, StoreOutcome::Status::Rejected) << c.what;
        EXPECT_FALSE(outcome.reason.empty()) << c.what;
    }
    // Nothing was written anywhere, inside the base folder or beside it.
    for (const char* name : {"Data", "SEI", "SEIR"}) {
        EXPECT_TRUE(fs::is_empty(dir.path() / name)) << name;
    }
    EXPECT_FALSE(fs::exists(dir.path().parent_path() / "x.jvSEI"));
}

TEST_F(DataStoreTest, ShortLineIsReportedNotReadAsAbsent) {
    std::string r1 = race(20261205, "06", 1);
    std::string r3 = race(20261205, "06", 3);
    fs::path file = store.day_file(day_key(r1), ".jvRA");
    write_bytes(file, line_of(r1) + "\r\n" + line_of(r3) + "\r\n");
    auto records = DataStore::read_records(file, RecordKind::Race);
    ASSERT_TRUE(records.has_value());
    EXPECT_EQ(*records, (std::vector<std::string>{r1, r3}));
    write_bytes(file, line_of(r1) + "\r\n" + "RA000000000 cut short\r\n" + line_of(r3) + "\r\n");
    EXPECT_THROW(DataStore::read_records(file, RecordKind::Race), DamagedStoreFile);
    EXPECT_FALSE(DataStore::read_records(dir.path() / "Data" / "none.jvHR", RecordKind::Payout));
}

TEST_F(DataStoreTest, RunnerFileCutShortIsFilledUp) {
    std::string se = runner(20261205, 12, 18);
    fs::path file = store.day_file(day_key(se), ".jvSEr");
    write_bytes(file, std::string(553, ' ') + "\r\n");
    ASSERT_TRUE(store.store(StoreFile::DayRunners, se).stored());
    auto records = DataStore::read_records(file, RecordKind::Runner);
    ASSERT_EQ(records->size(), 216u);
    EXPECT_EQ(records->back(), se);
}

TEST(AtomicFile, InterruptedWriteLeavesTheOldFileIntact) {
    TempDir dir;
    fs::path file = dir.path() / "x.jvRA";
    write_bytes(file, "old content\r\n");
    {
        AtomicFile replacement(file);
        replacement.write("new content that never gets renamed\r\n");
        // Destroyed before commit(): a failure between the write and the rename.
    }
    EXPECT_EQ(read_bytes(file), "old content\r\n");
    // No temporary file is left behind.
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path())) ++entries;
    EXPECT_EQ(entries, 1);

    replace_file(file, "new\r\n");
    EXPECT_EQ(read_bytes(file), "new\r\n");
}

TEST(AtomicFile, FailureIsReported) {
    TempDir dir;
    EXPECT_THROW(replace_file(dir.path() / "missing-folder" / "x", "x"), FileError);
    EXPECT_THROW(read_file(dir.path() / "none"), FileError);
}

// Every folder made is followed by a flush of the folder it was made in, so
// that its name survives a power cut before the files in it are reported
// written; a folder that is there already costs nothing.
TEST(AtomicFile, AFolderMadeIsFlushedIntoItsParent) {
    struct Recording : FileLayer {
        std::vector<std::string> calls;
        int mkdir(const PathChar* path, mode_t mode) override {
            int r = FileLayer::mkdir(path, mode);
            if (r == 0) calls.push_back("mkdir " + fs::path(path).filename().string());
            return r;
        }
        int sync_folder(const PathChar* path) override {
            calls.push_back("sync " + fs::path(path).filename().string());
            return FileLayer::sync_folder(path);
        }
    } layer;
    TempDir dir;
    ScopedFileLayer scoped(layer);
    create_folders(dir.path() / "SEI" / "2026");
    const std::string top = dir.path().filename().string();
    EXPECT_EQ(layer.calls, (std::vector<std::string>{"mkdir SEI", "sync " + top, "mkdir 2026", "sync SEI"}));
    layer.calls.clear();
    create_folders(dir.path() / "SEI" / "2026");
    EXPECT_TRUE(layer.calls.empty());
}

}  // namespace
}  // namespace tolven
