// The Japanese reasons of system errors and the texts of file errors.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>

#include "store/atomic_file.hpp"
#include "store/error_text.hpp"
#include "support/temp_dir.hpp"

namespace fs = std::filesystem;

namespace tolven {
namespace {

TEST(ErrorText, EveryCommonFileErrorHasAJapaneseReason) {
    const struct {
        int error;
        const char* reason;
    } cases[] = {
        {EACCES, "アクセスが許可されていません"},
        {EROFS, "読み取り専用の場所です"},
        {ENOSPC, "ディスクの空き容量が足りません"},
        {ENOENT, "ファイルまたはフォルダがありません"},
        {ENOTDIR, "パスの途中にフォルダでないものがあります"},
        {EISDIR, "ファイルではなくフォルダです"},
        {EEXIST, "同じ名前のものが既にあります"},
        {EFBIG, "ファイルが大きすぎます"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        EXPECT_EQ(error_reason(c.error), c.reason);
        EXPECT_EQ(error_reason(std::error_code(c.error, std::generic_category())), c.reason);
        EXPECT_EQ(error_reason(std::error_code(c.error, std::system_category())), c.reason);
    }
    // One the table does not know keeps its number and the system's words.
    EXPECT_EQ(error_reason(EDOM).rfind("システムエラー " + std::to_string(EDOM) + "（", 0), 0u);
}

TEST(ErrorText, FileErrorsNameWhatFailedTheFileAndTheReason) {
    testing::TempDir dir;
    const struct {
        const char* name;
        std::function<void(const fs::path&)> act;
        std::string expected;
    } cases[] = {
        {"a missing file", [](const fs::path& d) { read_file(d / "none.User"); },
         "開けません：" + (dir.path() / "none.User").string() + "（ファイルまたはフォルダがありません）"},
        {"a folder read as a file",
         [](const fs::path& d) {
             fs::create_directory(d / "x.User");
             read_file(d / "x.User");
         },
#ifdef _WIN32
         // Windows refuses to open a folder as a file; POSIX opens it and
         // refuses to read it.
         "開けません：" + (dir.path() / "x.User").string() + "（ファイルではなくフォルダです）"},
#else
         "読み込めません：" + (dir.path() / "x.User").string() + "（ファイルではなくフォルダです）"},
#endif
        {"a folder under a file",
         [](const fs::path& d) {
             replace_file(d / "plain", "x");
             replace_file(d / "plain" / "y.User", "x");
         },
         "一時ファイルを作成できません：" + (dir.path() / "plain" / "y.User").string() +
             "（パスの途中にフォルダでないものがあります）"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            c.act(dir.path());
            ADD_FAILURE() << "no error";
        } catch (const FileError& e) {
            EXPECT_EQ(error_message(e), c.expected);
        }
    }
}

TEST(ErrorText, FilesystemErrorsAreWordedLikeFileErrors) {
    testing::TempDir dir;
    replace_file(dir.path() / "plain", "x");
    try {
        fs::create_directories(dir.path() / "plain" / "sub");
        ADD_FAILURE() << "no error";
    } catch (const std::exception& e) {
        std::string text = error_message(e);
        EXPECT_EQ(text.rfind("フォルダを作成できません：", 0), 0u) << text;
        EXPECT_NE(text.find((dir.path() / "plain" / "sub").string()), std::string::npos) << text;
        EXPECT_NE(text.find("（パスの途中にフォルダでないものがあります）"), std::string::npos) << text;
        EXPECT_EQ(text.find("filesystem error"), std::string::npos) << text;
    }
    EXPECT_EQ(error_message(std::runtime_error("as it is")), "as it is");
}

}  // namespace
}  // namespace tolven
