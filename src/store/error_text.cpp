#include "store/error_text.hpp"

#include "platform/utf8_path.hpp"

#include <cerrno>
#include <cstring>

namespace tolven {
namespace {

struct Reason {
    int error;
    const char* text;
};

// The errors a person meets with files and folders; EAGAIN and EWOULDBLOCK
// may be one value, so the first match wins.
const Reason kReasons[] = {
    {EACCES, "アクセスが許可されていません"},
    {EPERM, "操作が許可されていません"},
    {EROFS, "読み取り専用の場所です"},
    {ENOSPC, "ディスクの空き容量が足りません"},
#ifdef EDQUOT
    {EDQUOT, "ディスクの使用量が上限を超えています"},
#endif
    {ENOENT, "ファイルまたはフォルダがありません"},
    {ENOTDIR, "パスの途中にフォルダでないものがあります"},
    {EISDIR, "ファイルではなくフォルダです"},
    {EEXIST, "同じ名前のものが既にあります"},
    {ENOTEMPTY, "フォルダが空ではありません"},
    {EFBIG, "ファイルが大きすぎます"},
    {ENAMETOOLONG, "名前が長すぎます"},
    {EIO, "読み書きの途中でエラーが起きました"},
    {EBUSY, "使用中です"},
    {EMFILE, "開いているファイルが多すぎます"},
    {ENFILE, "開いているファイルが多すぎます"},
    {EXDEV, "別のドライブへは移せません"},
#ifdef ELOOP
    {ELOOP, "シンボリックリンクが多すぎます"},
#endif
    {EINVAL, "正しくない指定です"},
    {EAGAIN, "一時的に使えません"},
    {EWOULDBLOCK, "一時的に使えません"},
    {ENOMEM, "メモリが足りません"},
};

// The Japanese of the operations std::filesystem names in its messages.
struct Operation {
    const char* english;
    const char* text;
};
const Operation kOperations[] = {
    {"create_directories", "フォルダを作成できません"},
    {"create_directory", "フォルダを作成できません"},
    {"cannot create directories", "フォルダを作成できません"},
    {"cannot create directory", "フォルダを作成できません"},
    {"copy_file", "ファイルをコピーできません"},
    {"cannot copy file", "ファイルをコピーできません"},
    {"rename", "名前を変更できません"},
    {"cannot rename", "名前を変更できません"},
    {"remove_all", "削除できません"},
    {"remove", "削除できません"},
    {"cannot remove", "削除できません"},
    {"directory iterator", "フォルダを読めません"},
    {"cannot increment recursive directory iterator", "フォルダを読めません"},
    {"status", "状態を調べられません"},
    {"file_size", "大きさを調べられません"},
    {"permissions", "アクセス権を変更できません"},
    {"resize_file", "大きさを変更できません"},
    {"space", "空き容量を調べられません"},
};

}  // namespace

std::string error_reason(int error) {
    for (const Reason& r : kReasons) {
        if (r.error == error) return r.text;
    }
    return "システムエラー " + std::to_string(error) + "（" + std::strerror(error) + "）";
}

std::string error_reason(const std::error_code& error) {
    if (error.category() == std::generic_category() || error.category() == std::system_category()) {
        return error_reason(error.value());
    }
    return error.message();
}

std::string file_error_text(const std::string& what, const std::filesystem::path& path,
                            int error) {
    return what + "：" + path_utf8(path) + "（" + error_reason(error) + "）";
}

std::string error_message(const std::exception& error) {
    const auto* fs_error = dynamic_cast<const std::filesystem::filesystem_error*>(&error);
    if (fs_error == nullptr) return error.what();
    // libstdc++ words it "filesystem error: <operation>: <reason> [path1] [path2]".
    std::string what = fs_error->what();
    std::string text = "ファイルを操作できません";
    std::size_t best = 0;
    for (const Operation& op : kOperations) {
        std::size_t length = std::strlen(op.english);
        if (length > best && what.find(op.english) != std::string::npos) {
            text = op.text;
            best = length;
        }
    }
    text += "：";
    if (!fs_error->path1().empty()) text += path_utf8(fs_error->path1());
    if (!fs_error->path2().empty()) text += " → " + path_utf8(fs_error->path2());
    return text + "（" + error_reason(fs_error->code()) + "）";
}

}  // namespace tolven
