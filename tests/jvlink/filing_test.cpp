#include "jvlink/filing.hpp"

#include <gtest/gtest.h>

#include <set>

#include "platform/utf8_path.hpp"
#include "store/cp932.hpp"
#include "store/lenient.hpp"
#include "support/records.hpp"
#include "support/temp_dir.hpp"

namespace fs = std::filesystem;

namespace tolven {
namespace {

using namespace tolven::testing;

constexpr int kThreshold = 20261201;

// Every file of the store as "relative path: first 11 bytes of each line".
std::string store_listing(const fs::path& base) {
    std::set<std::string> entries;
    for (const auto& e : fs::recursive_directory_iterator(base)) {
        if (!e.is_regular_file()) continue;
        std::string entry = generic_path_utf8(fs::relative(e.path(), base)) + ":";
        for (const auto& line : split_lines(read_bytes(e.path()))) {
            if (!trim(line).empty()) entry += " " + line.substr(0, 11);
        }
        entries.insert(entry);
    }
    std::string listing;
    for (const auto& e : entries) listing += e + "\n";
    return listing;
}

std::string utf8_lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& l : lines) text += cp932::to_utf8(l) + "\n";
    return text;
}

std::string with_pedigree(std::string record, const char* pedigree) {
    record.replace(30, 10, pedigree);
    return record;
}

TEST(RecordFiler, ImportFilingTable) {
    struct Case {
        const char* what;
        std::string record;
        const char* lines;
        const char* files;
    } cases[] = {
        {"provisional race weeks ahead", race_record(20261220, "06", 1, "1"),
         "作成済み:01R/2026年12月20日中山.jvRA\n", "Data/2026年12月20日中山.jvRA: RA000000000\n"},
        {"final race held before T: meeting file only", race_record(20261110, "06", 1, "7"),
         "作成済み:01R/2026111006.jvSERA\n", "SEIR/2026/2026111006.jvSERA: RA000000000\n"},
        {"final race after T: day and meeting file", race_record(20261205, "06", 11, "7"),
         "作成済み:11R/2026年12月05日中山.jvRA\n作成済み:11R/2026120506.jvSERA\n",
         "Data/2026年12月05日中山.jvRA: RA000000000\nSEIR/2026/2026120506.jvSERA: RA000000000\n"},
        {"final race dated exactly T: meeting file only", race_record(kThreshold, "06", 4, "7"),
         "作成済み:04R/2026120106.jvSERA\n", "SEIR/2026/2026120106.jvSERA: RA000000000\n"},
        {"final race dated the day after T: day and meeting file",
         race_record(kThreshold + 1, "06", 4, "7"),
         "作成済み:04R/2026年12月02日中山.jvRA\n作成済み:04R/2026120206.jvSERA\n",
         "Data/2026年12月02日中山.jvRA: RA000000000\nSEIR/2026/2026120206.jvSERA: RA000000000\n"},
        {"race with category 0 after T", race_record(20261205, "06", 1, "0"), "", ""},
        {"race with category A after T", race_record(20261205, "05", 1, "A"),
         "作成済み:01R/2026120505.jvSERA\n", "SEIR/2026/2026120505.jvSERA: RA000000000\n"},
        {"provisional race without race number", race_record(20261220, "06", 0, "1"), "", ""},
        {"runner with category 0 after T", runner_record(20261205, "06", 1, 5, "0"),
         "作成済み:01R/05番/2026年12月05日中山.jvSEr\n",
         "Data/2026年12月05日中山.jvSEr: SE020261201\n"},
        {"final runner after T: runner file as delivered and horse file rewritten",
         runner_record(20261205, "06", 2, 5, "7"),
         "作成済み:02R/05番/2026年12月05日中山.jvSEr\n"
         "作成済み:2026年12月05日中山02R/2022100001.jvSEI\n",
         "Data/2026年12月05日中山.jvSEr: SE720261201\nSEI/2022/2022100001.jvSEI: SE000000000\n"},
        {"final runner dated exactly T: horse file only", runner_record(kThreshold, "06", 4, 2, "7"),
         "作成済み:2026年12月01日中山04R/2022100001.jvSEI\n",
         "SEI/2022/2022100001.jvSEI: SE000000000\n"},
        {"final runner dated the day after T: runner and horse file",
         runner_record(kThreshold + 1, "06", 4, 2, "7"),
         "作成済み:04R/02番/2026年12月02日中山.jvSEr\n"
         "作成済み:2026年12月02日中山04R/2022100001.jvSEI\n",
         "Data/2026年12月02日中山.jvSEr: SE720261201\nSEI/2022/2022100001.jvSEI: SE000000000\n"},
        {"runner with category 0 dated exactly T", runner_record(kThreshold, "06", 4, 2, "0"), "",
         ""},
        {"final runner before T", runner_record(20261110, "09", 12, 3, "B"),
         "作成済み:2026年11月10日阪神12R/2022100001.jvSEI\n",
         "SEI/2022/2022100001.jvSEI: SE000000000\n"},
        {"provisional runner with horse number 19", runner_record(20261220, "06", 1, 19, "1"), "",
         ""},
        {"provisional runner of race 13", runner_record(20261220, "06", 13, 1, "1"), "", ""},
        {"payout", payout_record(20261205, "06", 3, "2"), "作成済み:03R/2026年12月05日中山.jvHR\n",
         "Data/2026年12月05日中山.jvHR: HR000000000\n"},
        {"payout without race number", payout_record(20261205, "06", 0), "", ""},
        {"kind not kept", "O1" + race_record(20261205, "06", 1).substr(2), "", ""},
        {"truncated race", race_record(20261205, "06", 1, "1").substr(0, 600),
         "取込み不可:レコード長が不正です(600/1272バイト)/feed.txt\n", ""},
        {"race without CR LF", race_record(20261205, "06", 1, "1").substr(0, 1270) + "  ",
         "取込み不可:レコードが改行(CR LF)で終わっていません/feed.txt\n", ""},
        {"runner with a path in its pedigree number",
         with_pedigree(runner_record(20261205, "06", 1, 1, "7"), "../../../x"),
         "取込み不可:血統登録番号が数字ではありません:\"../../../x\"/feed.txt\n", ""},
        {"race card runner with a path in its pedigree number",
         with_pedigree(runner_record(20261220, "06", 1, 1, "1"), "../../etc/"),
         "取込み不可:血統登録番号が数字ではありません:\"../../etc/\"/feed.txt\n", ""},
        {"race behind a byte order mark", "\xEF\xBB\xBF" + race_record(20261220, "06", 1, "1"),
         "取込み不可:レコードの先頭にBOM(EF BB BF)があります/feed.txt\n", ""},
        {"NUL bytes in a key field",
         race_record(20261220, "06", 1, "1").replace(11, 4, std::string("2\0\0" "6", 4)),
         "取込み不可:開催年が数字ではありません:\"2??6\"/feed.txt\n", ""},
    };
    for (const auto& c : cases) {
        TempDir dir;
        DataStore store(dir.path());
        store.create_folders();
        RecordFiler filer(store);
        std::vector<std::string> lines = filer.file_import(c.record, kThreshold, "feed.txt");
        EXPECT_EQ(utf8_lines(lines), c.lines) << c.what;
        EXPECT_EQ(store_listing(dir.path()), c.files) << c.what;
    }
}

TEST(RecordFiler, RefreshFilingTable) {
    struct Case {
        const char* what;
        std::string record;
        const char* files;
        int rejected;
    } cases[] = {
        {"payout", payout_record(20261205, "06", 3, "2"),
         "Data/2026年12月05日中山.jvHR: HR000000000\n", 0},
        {"race with category 0 is stored", race_record(20261205, "06", 1, "0"),
         "Data/2026年12月05日中山.jvRA: RA000000000\n", 0},
        {"final race: no meeting file", race_record(20261110, "06", 1, "7"),
         "Data/2026年11月10日中山.jvRA: RA000000000\n", 0},
        {"final runner: no horse file", runner_record(20261110, "06", 1, 4, "7"),
         "Data/2026年11月10日中山.jvSEr: SE720261201\n", 0},
        {"runner horse 0", runner_record(20261205, "06", 1, 0, "7"), "", 0},
        {"race number 0", race_record(20261205, "06", 0, "7"), "", 0},
        {"broken record", payout_record(20261205, "06", 3).substr(0, 100), "", 1},
    };
    for (const auto& c : cases) {
        TempDir dir;
        DataStore store(dir.path());
        store.create_folders();
        RecordFiler filer(store);
        filer.file_refresh(c.record, "0B12.txt");
        EXPECT_EQ(store_listing(dir.path()), c.files) << c.what;
        EXPECT_EQ(filer.rejected_count(), c.rejected) << c.what;
    }
}

TEST(RecordFiler, LineBreaksInsideARecordAreRefused) {
    auto with_byte = [](std::string record, std::size_t at, char c) {
        record[at] = c;
        return record;
    };
    struct Case {
        std::string record;
        const char* line;
    } cases[] = {
        {with_byte(race_record(20261220, "06", 1, "1"), 100, '\r'),
         "取込み不可:レコードの途中に改行文字(CR)があります(オフセット100)/feed.txt\n"},
        {with_byte(runner_record(20261205, "06", 1, 5, "7"), 40, '\n'),
         "取込み不可:レコードの途中に改行文字(LF)があります(オフセット40)/feed.txt\n"},
        {with_byte(payout_record(20261205, "06", 3), 716, '\r'),
         "取込み不可:レコードの途中に改行文字(CR)があります(オフセット716)/feed.txt\n"},
        {with_byte(payout_record(20261205, "06", 3), 0 + 2, '\n'),
         "取込み不可:レコードの途中に改行文字(LF)があります(オフセット2)/feed.txt\n"},
    };
    for (const auto& c : cases) {
        for (bool refresh : {false, true}) {
            SCOPED_TRACE(std::string(c.line) + (refresh ? " refresh" : " import"));
            TempDir dir;
            DataStore store(dir.path());
            store.create_folders();
            RecordFiler filer(store);
            std::vector<std::string> lines =
                refresh ? filer.file_refresh(c.record, "feed.txt")
                        : filer.file_import(c.record, kThreshold, "feed.txt");
            EXPECT_EQ(utf8_lines(lines), c.line);
            EXPECT_EQ(filer.rejected_count(), 1);
            EXPECT_EQ(store_listing(dir.path()), "");
        }
    }
}

}  // namespace
}  // namespace tolven
