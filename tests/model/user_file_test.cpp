#include "model/user_file.hpp"

#include <gtest/gtest.h>

#include "model/race_day.hpp"
#include "store/data_store.hpp"
#include "support/temp_dir.hpp"

namespace fs = std::filesystem;

namespace tolven {
namespace {

using namespace tolven::testing;

// A file edited by hand may end its lines in any way; every line break ends
// a line, and the file is written back with CR LF only (a fuzzing finding:
// a lone CR was kept inside a line and written back as a bare CR).
TEST(UserFile, EveryLineBreakEndsALineAndIsWrittenBackAsCrLf) {
    struct Case {
        const char* content;
        std::vector<std::string> lines;  // the first lines read
    } cases[] = {
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb", {"a", "b"}},
        {"a\rb\r\nc", {"a", "b", "c"}},
        {" 0\r\r0 |17|\n\r\n", {" 0", "", "0 |17|", ""}},
        {"\r", {""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content);
        TempDir dir;
        fs::path file = dir.path() / "x.User";
        write_bytes(file, c.content);
        std::vector<std::string> lines = read_user_file(file);
        ASSERT_EQ(lines.size(), static_cast<std::size_t>(kUserFileLines));
        std::vector<std::string> skeleton = user_file_skeleton();
        for (std::size_t i = 0; i < lines.size(); ++i) {
            EXPECT_EQ(lines[i], i < c.lines.size() ? c.lines[i] : skeleton[i]) << i;
        }
        write_user_file(file, lines);
        std::string saved = read_bytes(file);
        EXPECT_EQ(saved, join_lines(lines));
        EXPECT_EQ(read_user_file(file), lines);
    }
}

}  // namespace
}  // namespace tolven
