// Reading store files as the store writes them, and reading while a writer
// may be at work.
#include "store/store_reader.hpp"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "store/atomic_file.hpp"
#include "store/store_journal.hpp"
#include "store/store_lock.hpp"
#include "support/temp_dir.hpp"

namespace fs = std::filesystem;

namespace tolven {
namespace {

using namespace tolven::testing;

std::string record(char fill) {
    return "HR" + std::string(kPayoutRecordSize - 4, fill) + "\r\n";
}

TEST(StoreReader, OnlyWholeRecordsEndedByCrLfAreRead) {
    const std::string a = record('a'), b = record('b');
    std::string cr_inside = a;
    cr_inside[100] = '\r';
    struct Case {
        const char* what;
        std::string content;
        const char* reason;  // empty: read as two records
    } cases[] = {
        {"two records", a + b, ""},
        {"empty", "", "空のファイルです"},
        {"last line without its line break", a + b.substr(0, 717), "2行目が途中で切れています"},
        {"cut in a record", a + b.substr(0, 300), "2行目が途中で切れています"},
        {"a CR inside a record", cr_inside + b, "1行目のレコードに改行文字が含まれています"},
        {"lines ended by LF", a.substr(0, 717) + "\n" + b.substr(0, 717) + "\n",
         "1行目の改行がCR LFではありません"},
        {"lines ended by CR", a.substr(0, 717) + "\r" + b, "1行目の改行がCR LFではありません"},
        {"a byte too many", a + "x" + b, "2行目のレコード長が不正です（718/717バイト）"},
        {"an empty line", a + "\r\n" + b, "2行目のレコード長が不正です（0/717バイト）"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (std::string(c.reason).empty()) {
            EXPECT_EQ(parse_store_records(c.content, RecordKind::Payout, "x.jvHR"),
                      (std::vector<std::string>{a, b}));
            continue;
        }
        try {
            parse_store_records(c.content, RecordKind::Payout, "x.jvHR");
            ADD_FAILURE() << "read";
        } catch (const DamagedStoreFile& e) {
            EXPECT_EQ(e.reason().rfind(c.reason, 0), 0u) << e.reason();
            EXPECT_EQ(e.file(), fs::path("x.jvHR"));
        }
    }
}

TEST(StoreReader, ReadsAreBoundedAndNeverWait) {
    TempDir dir;
    fs::path file = dir.path() / "x.jvHR";
    EXPECT_FALSE(read_store_bytes(file).has_value());
    write_bytes(file, std::string(1000, 'x'));
    EXPECT_EQ(read_store_bytes(file, 1000)->size(), 1000u);
    EXPECT_THROW(read_store_bytes(file, 999), DamagedStoreFile);
#ifndef _WIN32
    // Windows has neither FIFOs nor /dev/zero.
    fs::remove(file);
    ASSERT_EQ(mkfifo(file.c_str(), 0644), 0);
    EXPECT_THROW(read_store_bytes(file), DamagedStoreFile);  // at once, no writer needed
    // The other files the program reads (settings, the hit export's running
    // totals) are refused the same way, at once.
    EXPECT_THROW(read_file_if_exists(file), FileError);
    EXPECT_THROW(read_own_file_if_exists(file), FileError);
    fs::remove(file);
    fs::create_symlink("/dev/zero", file);
    EXPECT_THROW(read_store_bytes(file), DamagedStoreFile);
    EXPECT_THROW(read_file_if_exists(file), FileError);
#endif
}

TEST(StoreReader, AReadDuringAWriteIsDoneAgainOrRefused) {
    TempDir dir;
    const fs::path& base = dir.path();
    int runs = 0;
    // Nothing written meanwhile: one run.
    read_settled(base, [&] { ++runs; });
    EXPECT_EQ(runs, 1);

    // A writer that starts and ends during the first run: read again.
    {
        StoreLock earlier(base);
        earlier.set_unfinished(false);
    }
    runs = 0;
    read_settled(base, [&] {
        if (++runs == 1) {
            StoreLock writer(base);
            writer.set_unfinished(true);
            writer.set_unfinished(false);
        }
    });
    EXPECT_EQ(runs, 2);

    // A writer still running whose redo log appears during the run: refused.
    runs = 0;
    {
        StoreLock running(base);
        EXPECT_THROW(read_settled(base,
                                  [&] {
                                      ++runs;
                                      write_bytes(RedoLog::file(base), "");
                                  }),
                     UnfinishedImport);
    }
    EXPECT_EQ(runs, 1);
}

}  // namespace
}  // namespace tolven
