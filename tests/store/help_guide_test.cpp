#include "store/help_guide.hpp"

#include <gtest/gtest.h>

#include "support/temp_dir.hpp"

namespace fs = std::filesystem;

namespace tolven {
namespace {

using testing::TempDir;
using testing::write_bytes;

TEST(HelpGuide, PlacesInTheOrderTheyAreLookedAt) {
    auto places = help_guide_places("/data/base", "/opt/tolven/bin");
    ASSERT_EQ(places.size(), 4u);
    EXPECT_EQ(places[0], fs::path("/data/base/help/index.html"));
    EXPECT_EQ(places[1], fs::path("/opt/tolven/bin/help/index.html"));
    EXPECT_EQ(places[2], fs::path("/opt/tolven/share/tolven/help/index.html"));
    // The source tree the program was built from, where the guide is kept.
    EXPECT_TRUE(fs::is_regular_file(places[3])) << places[3];
}

TEST(HelpGuide, ABaseBesideTheProgramIsLookedAtOnce) {
    auto places = help_guide_places("/opt/tolven/bin/", "/opt/tolven/bin");
    EXPECT_EQ(places.size(), 3u);
}

TEST(HelpGuide, TheFirstPlaceHoldingTheGuideWins) {
    TempDir dir;
    std::vector<fs::path> places{dir.path() / "a" / "index.html", dir.path() / "b" / "index.html",
                                 dir.path() / "c" / "index.html"};
    EXPECT_EQ(find_help_guide(places), std::nullopt);
    write_bytes(places[2], "<html></html>");
    EXPECT_EQ(find_help_guide(places), places[2]);
    write_bytes(places[1], "<html></html>");
    EXPECT_EQ(find_help_guide(places), places[1]);
    // A folder of that name is not the guide.
    fs::create_directories(places[0]);
    EXPECT_EQ(find_help_guide(places), places[1]);
}

}  // namespace
}  // namespace tolven
