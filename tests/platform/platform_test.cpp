// The operating system's calls behave the same on POSIX and on Windows:
// open flags, replacing a file a reader holds, the lock, no-follow opens,
// Japanese file names.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "platform/files.hpp"
#include "platform/utf8_path.hpp"
#include "support/temp_dir.hpp"

namespace fs = std::filesystem;

namespace tolven::platform {
namespace {

using tolven::testing::read_bytes;
using tolven::testing::TempDir;
using tolven::testing::write_bytes;

std::string read_all(int fd) {
    std::string out;
    char buffer[256];
    for (ssize_t n; (n = read_file(fd, buffer, sizeof buffer)) > 0;) {
        out.append(buffer, static_cast<std::size_t>(n));
    }
    return out;
}

TEST(PlatformFiles, OpenFlagsAsPosixDefinesThem) {
    struct Case {
        const char* what;
        bool exists;
        int flags;
        int error;             // 0: opens
        const char* after;     // the file's content after writing "new" (nullptr: not written)
    };
    const Case cases[] = {
        {"read a missing file", false, open_read, ENOENT, nullptr},
        {"create a missing file", false, open_write | open_create, 0, "new"},
        {"create exclusive over an existing one", true, open_write | open_create | open_exclusive,
         EEXIST, nullptr},
        {"write over the start", true, open_write, 0, "new file"},
        {"truncate", true, open_write | open_truncate, 0, "new"},
        {"append", true, open_write | open_append, 0, "old filenew"},
        {"no-follow on a plain file", true, open_write | open_no_follow | open_truncate, 0, "new"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        fs::path file = dir.path() / "f";
        if (c.exists) write_bytes(file, "old file");
        errno = 0;
        int fd = open_file(file.c_str(), c.flags, 0644);
        if (c.error != 0) {
            EXPECT_LT(fd, 0) << c.what;
            EXPECT_EQ(errno, c.error) << c.what;
            if (fd >= 0) close_file(fd);
            continue;
        }
        ASSERT_GE(fd, 0) << c.what << ": " << error_text(errno);
        EXPECT_EQ(write_file(fd, "new", 3), 3) << c.what;
        EXPECT_EQ(close_file(fd), 0) << c.what;
        EXPECT_EQ(read_bytes(file), c.after) << c.what;
    }
}

TEST(PlatformFiles, ReplacesAFileThatAReaderHoldsOpen) {
    TempDir dir;
    fs::path target = dir.path() / "target", staged = dir.path() / "staged";
    write_bytes(target, "old");
    write_bytes(staged, "new");
    int reader = open_file(target.c_str(), open_read, 0);
    ASSERT_GE(reader, 0);
    ASSERT_EQ(replace_file(staged.c_str(), target.c_str()), 0) << error_text(errno);
    // The reader goes on reading what it opened; the name has the new file.
    EXPECT_EQ(read_bytes(target), "new");
    EXPECT_EQ(read_all(reader), "old");
    EXPECT_EQ(close_file(reader), 0);
    // Twice, the second time with no reader; nothing is left beside it.
    write_bytes(staged, "newer");
    ASSERT_EQ(replace_file(staged.c_str(), target.c_str()), 0) << error_text(errno);
    EXPECT_EQ(read_bytes(target), "newer");
    EXPECT_EQ(tolven::testing::folder_entries(dir.path()), std::set<std::string>{"target"});
    EXPECT_EQ(file_kind(staged.c_str()), FileKind::missing);
    EXPECT_EQ(file_kind(target.c_str()), FileKind::regular);
    EXPECT_EQ(file_kind(dir.path().c_str()), FileKind::folder);
    EXPECT_EQ(sync_folder(dir.path().c_str()), 0);
}

TEST(PlatformFiles, TheLockExcludesEveryOtherHolderButNotReaders) {
    TempDir dir;
    fs::path file = dir.path() / "tolven.lock";
    const int rw = open_read | open_write | open_create;
    int first = open_file(file.c_str(), rw, 0644);
    int second = open_file(file.c_str(), rw, 0644);
    ASSERT_GE(first, 0);
    ASSERT_GE(second, 0);
    ASSERT_EQ(try_lock_exclusive(first), 0);
    ASSERT_EQ(write_at(first, "1", 1, 0), 1);
    EXPECT_EQ(sync_file(first), 0);
    EXPECT_EQ(try_lock_exclusive(second), 1);
    // The content stays readable by anyone while the lock is held.
    EXPECT_EQ(read_bytes(file), "1");
    char state = 0;
    EXPECT_EQ(read_at(second, &state, 1, 0), 1);
    EXPECT_EQ(state, '1');
    EXPECT_EQ(file_size(second), 1);
    close_file(first);
    EXPECT_EQ(try_lock_exclusive(second), 0);
    close_file(second);
}

TEST(PlatformFiles, NoFollowRefusesALinkAndLeavesItsTargetAlone) {
    TempDir dir;
    fs::path target = dir.path() / "elsewhere", link = dir.path() / "link";
    write_bytes(target, "keep");
    std::error_code error;
    fs::create_symlink(target, link, error);
    if (error) GTEST_SKIP() << "this system makes no symbolic link here: " << error.message();
    EXPECT_EQ(file_kind(link.c_str()), FileKind::link);
    int fd = open_file(link.c_str(), open_write | open_create | open_truncate | open_no_follow,
                       0644);
    EXPECT_LT(fd, 0);
    EXPECT_EQ(errno, ELOOP);
    if (fd >= 0) close_file(fd);
    EXPECT_EQ(read_bytes(target), "keep");
}

TEST(PlatformFiles, TemporaryFilesAndJapaneseNames) {
    TempDir dir;
    const std::string name = "2026年12月05日中山.jvRA";
    fs::path file = dir.path() / utf8_path(name);
    auto pattern = (dir.path() / utf8_path("." + name + ".XXXXXX")).native();
    auto second = pattern;
    int fd = make_temporary(pattern.data());
    int fd2 = make_temporary(second.data());
    ASSERT_GE(fd, 0);
    ASSERT_GE(fd2, 0);
    EXPECT_NE(pattern, second);
    EXPECT_EQ(fs::path(pattern).filename().native().size(), utf8_path(name).native().size() + 8);
    EXPECT_EQ(write_file(fd, "x", 1), 1);
    close_file(fd);
    close_file(fd2);
    ASSERT_EQ(replace_file(pattern.c_str(), file.c_str()), 0);
    EXPECT_EQ(remove_file(second.c_str()), 0);
    // Listed back, the name is the same UTF-8 text.
    EXPECT_EQ(tolven::testing::folder_entries(dir.path()), std::set<std::string>{name});
    EXPECT_EQ(path_utf8(file.filename()), name);
    EXPECT_EQ(make_folder((dir.path() / "sub").c_str(), 0755), 0);
    EXPECT_EQ(make_folder((dir.path() / "sub").c_str(), 0755), -1);
    EXPECT_EQ(errno, EEXIST);
}

}  // namespace
}  // namespace tolven::platform
