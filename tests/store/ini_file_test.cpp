#include "store/ini_file.hpp"

#include <gtest/gtest.h>

#include "store/cp932.hpp"
#include "support/temp_dir.hpp"

namespace tolven {
namespace {

using namespace tolven::testing;

TEST(IniFile, MissingFileGivesDefaultsAndFirstWriteCreatesIt) {
    TempDir dir;
    IniFile ini(dir.path() / "tolven.ini");
    EXPECT_EQ(ini.read_int("MainForm", "Left", 40), 40);
    EXPECT_EQ(ini.read_text("JvDataGet", "LastTime", "x"), "x");
    ini.write_text("JvDataGet", "LastTime", "2026/12/04 18:30:00");
    ini.write_int("MainForm", "Left", -12);
    ini.write_int("MainForm", "Top", 7);
    ini.write_int("MainForm", "Left", 30);
    EXPECT_EQ(
        read_bytes(dir.path() / "tolven.ini"),
        "[JvDataGet]\r\nLastTime=2026/12/04 18:30:00\r\n\r\n[MainForm]\r\nLeft=30\r\nTop=7\r\n");
    EXPECT_EQ(ini.read_int("mainform", "LEFT", 0), 30);
    EXPECT_EQ(ini.read_text("JvDataGet", "LastTime", ""), "2026/12/04 18:30:00");
}

TEST(IniFile, ReadsOddFilesLeniently) {
    TempDir dir;
    write_bytes(dir.path() / "odd.ini", "; comment\n[A]\nquoted=\"  two blanks  \"\ncorner=" +
                                            sj("｢ x ｣") + "\nemptyq=\"\"\nemptyc=" + sj("｢｣") +
                                            "\nnumber= 12 \nbad=12x\n"
                                            "plain=  text  \n[B]\nquoted=other\n");
    IniFile ini(dir.path() / "odd.ini");
    EXPECT_EQ(ini.read_text("A", "quoted", "d"), "  two blanks  ");
    EXPECT_EQ(ini.read_text("A", "corner", "d"), " x ");
    EXPECT_EQ(ini.read_text("A", "emptyq", "d"), "");
    EXPECT_EQ(ini.read_text("A", "emptyc", "d"), "");
    EXPECT_EQ(ini.read_text("A", "plain", "d"), "text");
    EXPECT_EQ(ini.read_text("A", "missing", " keep "), " keep ");
    EXPECT_EQ(ini.read_int("A", "number", 0), 12);
    EXPECT_EQ(ini.read_int("A", "bad", 5), 5);
    EXPECT_EQ(ini.read_text("B", "quoted", "d"), "other");
    // Writing into the first section keeps the rest of the file.
    ini.write_text("A", "new", "v\r\nInjected=1");
    EXPECT_EQ(ini.read_text("A", "new", ""), "v");
    EXPECT_EQ(ini.read_text("A", "Injected", "none"), "none");
    EXPECT_EQ(ini.read_text("B", "quoted", "d"), "other");
}

}  // namespace
}  // namespace tolven
