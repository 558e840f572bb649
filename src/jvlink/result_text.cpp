#include "jvlink/result_text.hpp"

#include <cstdio>
#include <map>

#include "store/cp932.hpp"
#include "store/version.hpp"

namespace tolven {
namespace {

using Table = std::map<int, const char*>;

const char* const kSuccess = "正常に実行されました。";

const Table kInit = {
    {-103, "sid が不正（sid の１桁目がスペース）です。"},
    {-102, "sid が64byte 以上あります。"},
    {-101, "sid が設定されていません。"},
};

const Table kSet = {
    {-101, "すでにサービスキーが登録されています。"},
    {-100, "パラメータが不正あるいはレジストリへの保存に失敗しました。"},
};

const Table kOpen = {
    {0, "正常に実行されました。"},
    {-504, "サーバーがメンテナンス中です。"},
    {-501, "セットアップ処理においてＣＤ －ＲＯＭ が無効です。"},
    {-431, "サーバーエラー（サーバーアプリケーション内部エラー）が発生しました。"},
    {-421, "サーバーエラー（サーバーの応答が不正）が発生しました。"},
    {-413, "サーバーエラー（HTTP ステータス200,403,404 以外）が発生しました。"},
    {-412, "サーバーエラー（HTTP ステータス403 Forbidden ）が発生しました。"},
    {-411, "サーバーエラー（HTTP ステータス404 NotFount ）が発生しました。"},
    {-401, "JV-Link 内部エラーが発生しました。"},
    {-305, "JV-Link 利用規約への同意が必要です。"},
    {-303, "サービスキーが設定されていません。（サービスキーが空値）"},
    {-302, "サービスキーの有効期限切れです。"},
    {-301, "認証エラーが発生しました。"},
    {-211, "レジストリ内容が不正（レジストリ内容が不正に変更された）です。"},
    {-202, "前回のJVOpen/JVRTOpen/JVMVOpen に対してJVClose が呼ばれていません。（オープン中）"},
    {-201, "JVInit が行なわれていません。"},
    {-116, "dataspec とoption の組み合わせが不正です。"},
    {-115, "option パラメータが不正です。"},
    {-114, "key パラメータが不正です。"},
    {-112, "fromdate パラメータが不正です。"},
    {-111, "dataspec パラメータが不正です。"},
    {-2, "セットアップダイアログでキャンセルが押されました。"},
    {-1, " 取得済みデータより最新のデータがありません。"},
};

const Table kStatus = {
    {-502, "ダウンロードに失敗しました。（通信エラーやディスクエラーなど）"},
    {-203, "JVOpenが行なわれていません。"},
    {-201, "JVInitが行なわれていません。"},
};

const Table kRead = {
    {0, "全ファイルの読み込みが終了しました。（ＥＯＦ ）"},
    {-503, "ファイルが見つかりません。"},
    {-502, "ダウンロードに失敗しました。(通信エラーやディスクエラー)"},
    {-403, "ダウンロードしたファイル内容が異常です。"},
    {-402, "ダウンロードしたファイルサイズが異常です。"},
    {-203, "JVOpenが行なわれていません。"},
    {-202, "前回のJVOpen/JVRTOpen/JVMVOpen に対してJVClose が呼ばれていません。（オープン中）"},
    {-201, "JVInitが行なわれていません。"},
    {-3, "ファイルダウンロード中"},
    {-1, "ファイルが切り替わりました。"},
};

const Table kClose = {};

struct Operation {
    const Table* table;
    bool success_for_zero;
};

// Which table an operation name uses; every name starting "JVSet" uses the
// JVSet table.
Operation operation_of(std::string_view name) {
    if (name.substr(0, 5) == "JVSet") return {&kSet, true};
    if (name == "JVInit") return {&kInit, true};
    if (name == "JVOpen" || name == "JVRTOpen") return {&kOpen, false};
    if (name == "JVStatus") return {&kStatus, true};
    if (name == "JVRead" || name == "JVGets") return {&kRead, false};
    if (name == "JVClose") return {&kClose, true};
    return {nullptr, false};
}

std::string base_text(std::string_view name, int code) {
    Operation op = operation_of(name);
    if (op.table == nullptr) return {};
    if (code > 0) {
        if (name == "JVStatus") return "ダウンロード済みファイル数" + std::to_string(code);
        if (name == "JVRead" || name == "JVGets") {
            return "バッファにセットしたデータのサイズ" + std::to_string(code);
        }
    }
    auto it = op.table->find(code);
    if (it != op.table->end()) return it->second;
    if (code == 0 && op.success_for_zero) return kSuccess;
    return {};
}

}  // namespace

std::string jv_result_text(std::string_view operation, int code) {
    return sj(base_text(operation, code) + "(" + std::to_string(code) + ")");
}

std::string jvlink_not_installed_message() {
    return sj("JRA-VANのホームページより【JV-Link】を入手し、インストールしてください。");
}

bool jvlink_version_too_old(std::string_view version) {
    return version < "0490";
}

std::string jvlink_version_message(std::string_view version) {
    std::string d;
    for (std::size_t i = 1; i < 4 && i < version.size(); ++i) {
        if (!d.empty()) d += '.';
        d += version[i];
    }
    return sj("ご利用中のJV-Linkのバージョンは[" + d + "]です。\r\n" +
              "本ソフトのご利用にはバージョン[4.9.0]以上が必要です。\r\n" +
              "JRA-VANのホームページより最新のJV-Linkを入手し、インストールしてください。");
}

std::string jvlink_sid() {
    // "TL000130/TL000130/TOLVEN/Ver.1.30": the software id twice, the name
    // and the version.
    char id[16];
    std::snprintf(id, sizeof id, "TL%06d", kVersionNumber);
    return std::string(id) + "/" + id + "/TOLVEN/" + kVersionLabel;
}

}  // namespace tolven
