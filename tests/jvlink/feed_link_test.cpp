#include "jvlink/feed_link.hpp"

#include <gtest/gtest.h>

#include "support/records.hpp"
#include "support/temp_dir.hpp"

namespace fs = std::filesystem;

namespace tolven {
namespace {

using namespace tolven::testing;

class FeedLinkTest : public ::testing::Test {
  protected:
    TempDir dir;
    fs::path feed = dir.path() / "feed";
    FeedLink link{feed, dir.path() / "JVCache"};
    int read_count = -9, download_count = -9;
    std::string last;

    void SetUp() override {
        // Records stored with a bare LF and an empty line are served with CR LF.
        std::string a1 = race_record(20261128, "05", 1);
        std::string a2 = runner_record(20261128, "05", 1, 1);
        write_bytes(feed / "20261201100000_a.txt",
                    a1 + std::string(without_line_break(a2)) + "\n\n");
        write_bytes(feed / "20261203100000_b.txt", race_record(20261205, "06", 1));
        write_bytes(feed / "20261202100000_c.txt", "");
        write_bytes(feed / "20261203100000_a.txt", payout_record(20261205, "06", 1));
        write_bytes(feed / "notes.txt", "not a feed file");
        write_bytes(feed / "0B12" / "20261205_results.txt", payout_record(20261205, "06", 2));
        write_bytes(feed / "0B12" / "20261206_results.txt", payout_record(20261206, "06", 2));
        ASSERT_EQ(link.JVInit("TL000130/TL000130/TOLVEN/Ver.1.30"), 0);
    }

    // Reads until 0 or an error; returns "name:code" per call, records as "R".
    std::string read_all(int limit = 100) {
        std::string out;
        std::string buffer, name;
        int size = 60000;
        for (int i = 0; i < limit; ++i) {
            int r = link.JVRead(buffer, size, name);
            if (r > 0) {
                EXPECT_EQ(buffer.substr(buffer.size() - 2), "\r\n");
                EXPECT_EQ(static_cast<int>(buffer.size()), r);
                out += name + ":" + buffer.substr(0, 2) + " ";
            } else {
                out += std::to_string(r) + " ";
            }
            if (r == 0 || r < -3) break;
        }
        return out;
    }
};

TEST_F(FeedLinkTest, InitChecksTheSid) {
    FeedLink fresh(feed, dir.path() / "JVCache");
    EXPECT_EQ(fresh.JVOpen("RACERCVN", "20261201000000", 2, read_count, download_count, last),
              -201);
    EXPECT_EQ(fresh.JVClose(), -201);
    EXPECT_EQ(fresh.JVInit(""), -101);
    EXPECT_EQ(fresh.JVInit(std::string(64, 'x')), -102);
    EXPECT_EQ(fresh.JVInit(" x"), -103);
    EXPECT_EQ(fresh.JVInit(std::string(63, 'x')), 0);
    EXPECT_EQ(fresh.version(), "0490");
}

TEST_F(FeedLinkTest, OpenChecksItsParameters) {
    EXPECT_EQ(link.JVOpen("", "20261201000000", 2, read_count, download_count, last), -111);
    EXPECT_EQ(link.JVOpen("RACERCVN", "2026120100000", 2, read_count, download_count, last), -112);
    EXPECT_EQ(link.JVOpen("RACERCVN", "2026120100000x", 2, read_count, download_count, last), -112);
    EXPECT_EQ(link.JVOpen("RACERCVN", "20261201000000", 0, read_count, download_count, last), -115);
    EXPECT_EQ(link.JVOpen("RACERCVN", "20261201000000", 5, read_count, download_count, last), -115);
    EXPECT_EQ(link.JVOpen("RACERCVN", "20261231000000", 2, read_count, download_count, last), -1);
    EXPECT_EQ(read_count, 0);
    EXPECT_EQ(link.JVStatus(), -203);
    std::string buffer, name;
    int size = 60000;
    EXPECT_EQ(link.JVRead(buffer, size, name), -203);
}

TEST_F(FeedLinkTest, SelectsNewerFilesDownloadsThenReads) {
    ASSERT_EQ(link.JVOpen("RACERCVN", "20261201100000", 2, read_count, download_count, last), 0);
    // The file stamped exactly at the from-time is not newer.
    EXPECT_EQ(read_count, 3);
    EXPECT_EQ(download_count, 3);
    EXPECT_EQ(last, "20261203100000");
    EXPECT_EQ(link.JVOpen("RACERCVN", "20261201100000", 2, read_count, download_count, last), -202);
    // Nothing is cached yet: the first read waits for the download.
    std::string buffer, name;
    int size = 60000;
    EXPECT_EQ(link.JVRead(buffer, size, name), -3);
    EXPECT_EQ(link.JVStatus(), 1);
    EXPECT_EQ(link.JVStatus(), 2);
    EXPECT_EQ(link.JVStatus(), 3);
    EXPECT_EQ(link.JVStatus(), 3);
    // Timestamp order, then name order; -1 after each file, also an empty one.
    EXPECT_EQ(read_all(), "-1 20261203100000_a.txt:HR -1 20261203100000_b.txt:RA -1 0 ");
    EXPECT_EQ(link.JVClose(), 0);

    // A second open finds everything cached: nothing to download.
    ASSERT_EQ(link.JVOpen("RACERCVN", "20261130000000", 2, read_count, download_count, last), 0);
    EXPECT_EQ(read_count, 4);
    EXPECT_EQ(download_count, 1);  // only the oldest file is new to the cache
    EXPECT_EQ(link.JVStatus(), 1);
    EXPECT_EQ(read_all(),
              "20261201100000_a.txt:RA 20261201100000_a.txt:SE -1 -1 "
              "20261203100000_a.txt:HR -1 20261203100000_b.txt:RA -1 0 ");
    link.JVClose();
}

TEST_F(FeedLinkTest, ReadingOverlapsTheDownload) {
    ASSERT_EQ(link.JVOpen("RACERCVN", "20261130000000", 2, read_count, download_count, last), 0);
    EXPECT_EQ(link.JVStatus(), 1);
    std::string buffer, name;
    int size = 60000;
    EXPECT_GT(link.JVRead(buffer, size, name), 0);
    EXPECT_GT(link.JVRead(buffer, size, name), 0);
    EXPECT_EQ(link.JVRead(buffer, size, name), -1);
    EXPECT_EQ(link.JVRead(buffer, size, name), -3);
}

TEST_F(FeedLinkTest, ChangedFeedFileIsDownloadedAgain) {
    ASSERT_EQ(link.JVOpen("RACERCVN", "20261203000000", 2, read_count, download_count, last), 0);
    while (link.JVStatus() < download_count) {
    }
    link.JVClose();
    write_bytes(feed / "20261203100000_b.txt",
                race_record(20261205, "06", 1) + race_record(20261205, "06", 2));
    ASSERT_EQ(link.JVOpen("RACERCVN", "20261203000000", 2, read_count, download_count, last), 0);
    EXPECT_EQ(download_count, 1);
}

TEST_F(FeedLinkTest, CancelStopsPendingCopies) {
    ASSERT_EQ(link.JVOpen("RACERCVN", "20261130000000", 2, read_count, download_count, last), 0);
    EXPECT_EQ(link.JVStatus(), 1);
    EXPECT_EQ(link.JVCancel(), 0);
    EXPECT_EQ(link.JVStatus(), 1);
    EXPECT_EQ(link.JVClose(), 0);
    EXPECT_EQ(link.JVOpen("RACERCVN", "20261130000000", 2, read_count, download_count, last), 0);
    EXPECT_EQ(download_count, 3);
}

TEST_F(FeedLinkTest, RealtimeFilesOfOneDay) {
    EXPECT_EQ(link.JVRTOpen("0B12", "2026120"), -114);
    EXPECT_EQ(link.JVRTOpen("0B12", "2026120x"), -114);
    EXPECT_EQ(link.JVRTOpen("0B12", "20261207"), -1);
    ASSERT_EQ(link.JVRTOpen("0B12", "20261205"), 0);
    EXPECT_EQ(link.JVRTOpen("0B12", "20261205"), -202);
    EXPECT_EQ(read_all(), "20261205_results.txt:HR -1 0 ");
    EXPECT_EQ(link.JVClose(), 0);
}

TEST_F(FeedLinkTest, AByteOrderMarkBeforeTheFirstRecordIsNoPartOfIt) {
    std::string payout = payout_record(20261207, "06", 2);
    write_bytes(feed / "0B12" / "20261207_bom.txt", "\xEF\xBB\xBF" + payout);
    ASSERT_EQ(link.JVRTOpen("0B12", "20261207"), 0);
    std::string buffer, name;
    int size = 60000;
    EXPECT_EQ(link.JVRead(buffer, size, name), static_cast<int>(payout.size()));
    EXPECT_EQ(buffer, payout);
}

TEST_F(FeedLinkTest, SettingsChooseTheFeedFolder) {
    EXPECT_EQ(link.JVSetUIProperties(), 0);  // no chooser: unchanged
    link.set_folder_chooser([&](const fs::path& current) {
        EXPECT_EQ(current, feed);
        return std::optional<fs::path>(dir.path() / "other");
    });
    EXPECT_EQ(link.JVSetUIProperties(), 0);
    EXPECT_EQ(link.feed_folder(), dir.path() / "other");
    // The chosen folder does not exist (yet): an error, not "nothing newer".
    EXPECT_EQ(link.JVOpen("RACERCVN", "20261130000000", 2, read_count, download_count, last), -401);
    fs::create_directories(dir.path() / "other");
    EXPECT_EQ(link.JVOpen("RACERCVN", "20261130000000", 2, read_count, download_count, last), -1);
}

}  // namespace
}  // namespace tolven
