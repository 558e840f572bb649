#include "jvlink/result_text.hpp"

#include <gtest/gtest.h>

#include "store/cp932.hpp"

namespace tolven {
namespace {

TEST(JvResultText, EveryTableExactToTheByte) {
    struct Case {
        const char* operation;
        int code;
        const char* text;
    } cases[] = {
        {"JVInit", 0, "正常に実行されました。(0)"},
        {"JVInit", -103, "sid が不正（sid の１桁目がスペース）です。(-103)"},
        {"JVInit", -102, "sid が64byte 以上あります。(-102)"},
        {"JVInit", -101, "sid が設定されていません。(-101)"},
        {"JVInit", -1, "(-1)"},
        {"JVSetUIProperties", 0, "正常に実行されました。(0)"},
        {"JVSetUIProperties", -101, "すでにサービスキーが登録されています。(-101)"},
        {"JVSetServiceKey", -100,
         "パラメータが不正あるいはレジストリへの保存に失敗しました。(-100)"},
        {"JVSetUIProperties", -1, "(-1)"},
        {"JVOpen", 0, "正常に実行されました。(0)"},
        {"JVOpen", -1, " 取得済みデータより最新のデータがありません。(-1)"},
        {"JVOpen", -2, "セットアップダイアログでキャンセルが押されました。(-2)"},
        {"JVOpen", -111, "dataspec パラメータが不正です。(-111)"},
        {"JVOpen", -112, "fromdate パラメータが不正です。(-112)"},
        {"JVOpen", -114, "key パラメータが不正です。(-114)"},
        {"JVOpen", -115, "option パラメータが不正です。(-115)"},
        {"JVOpen", -116, "dataspec とoption の組み合わせが不正です。(-116)"},
        {"JVOpen", -201, "JVInit が行なわれていません。(-201)"},
        {"JVOpen", -202,
         "前回のJVOpen/JVRTOpen/JVMVOpen に対してJVClose が呼ばれていません。（オープン中）(-202)"},
        {"JVOpen", -211, "レジストリ内容が不正（レジストリ内容が不正に変更された）です。(-211)"},
        {"JVOpen", -301, "認証エラーが発生しました。(-301)"},
        {"JVOpen", -302, "サービスキーの有効期限切れです。(-302)"},
        {"JVOpen", -303, "サービスキーが設定されていません。（サービスキーが空値）(-303)"},
        {"JVOpen", -305, "JV-Link 利用規約への同意が必要です。(-305)"},
        {"JVOpen", -401, "JV-Link 内部エラーが発生しました。(-401)"},
        {"JVOpen", -411, "サーバーエラー（HTTP ステータス404 NotFount ）が発生しました。(-411)"},
        {"JVOpen", -412, "サーバーエラー（HTTP ステータス403 Forbidden ）が発生しました。(-412)"},
        {"JVOpen", -413, "サーバーエラー（HTTP ステータス200,403,404 以外）が発生しました。(-413)"},
        {"JVOpen", -421, "サーバーエラー（サーバーの応答が不正）が発生しました。(-421)"},
        {"JVOpen", -431,
         "サーバーエラー（サーバーアプリケーション内部エラー）が発生しました。(-431)"},
        {"JVOpen", -501, "セットアップ処理においてＣＤ －ＲＯＭ が無効です。(-501)"},
        {"JVOpen", -504, "サーバーがメンテナンス中です。(-504)"},
        {"JVOpen", -999, "(-999)"},
        {"JVRTOpen", -504, "サーバーがメンテナンス中です。(-504)"},
        {"JVRTOpen", 0, "正常に実行されました。(0)"},
        {"JVStatus", 0, "正常に実行されました。(0)"},
        {"JVStatus", 5, "ダウンロード済みファイル数5(5)"},
        {"JVStatus", -502, "ダウンロードに失敗しました。（通信エラーやディスクエラーなど）(-502)"},
        {"JVStatus", -203, "JVOpenが行なわれていません。(-203)"},
        {"JVStatus", -201, "JVInitが行なわれていません。(-201)"},
        {"JVStatus", -1, "(-1)"},
        {"JVRead", 555, "バッファにセットしたデータのサイズ555(555)"},
        {"JVGets", 1272, "バッファにセットしたデータのサイズ1272(1272)"},
        {"JVRead", 0, "全ファイルの読み込みが終了しました。（ＥＯＦ ）(0)"},
        {"JVRead", -1, "ファイルが切り替わりました。(-1)"},
        {"JVRead", -2, "(-2)"},
        {"JVRead", -3, "ファイルダウンロード中(-3)"},
        {"JVRead", -201, "JVInitが行なわれていません。(-201)"},
        {"JVRead", -202,
         "前回のJVOpen/JVRTOpen/JVMVOpen に対してJVClose が呼ばれていません。（オープン中）(-202)"},
        {"JVRead", -203, "JVOpenが行なわれていません。(-203)"},
        {"JVRead", -402, "ダウンロードしたファイルサイズが異常です。(-402)"},
        {"JVRead", -403, "ダウンロードしたファイル内容が異常です。(-403)"},
        {"JVRead", -502, "ダウンロードに失敗しました。(通信エラーやディスクエラー)(-502)"},
        {"JVRead", -503, "ファイルが見つかりません。(-503)"},
        {"JVClose", 0, "正常に実行されました。(0)"},
        {"JVClose", -201, "(-201)"},
        {"JVSkip", 0, "(0)"},
        {"jvopen", -504, "(-504)"},
        {"JVSe", 0, "(0)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(cp932::to_utf8(jv_result_text(c.operation, c.code)), c.text)
            << c.operation << " " << c.code;
    }
}

TEST(JvResultText, StartUpMessages) {
    EXPECT_EQ(cp932::to_utf8(jvlink_not_installed_message()),
              "JRA-VANのホームページより【JV-Link】を入手し、インストールしてください。");
    EXPECT_EQ(cp932::to_utf8(jvlink_version_message("0480")),
              "ご利用中のJV-Linkのバージョンは[4.8.0]です。\r\n"
              "本ソフトのご利用にはバージョン[4.9.0]以上が必要です。\r\n"
              "JRA-VANのホームページより最新のJV-Linkを入手し、インストールしてください。");
    EXPECT_TRUE(jvlink_version_too_old("0480"));
    EXPECT_TRUE(jvlink_version_too_old("048"));
    EXPECT_FALSE(jvlink_version_too_old("0490"));
    EXPECT_FALSE(jvlink_version_too_old("0500"));
    std::string sid = jvlink_sid();
    EXPECT_LT(sid.size(), 64u);
    EXPECT_EQ(sid.substr(sid.size() - 9), "/Ver.1.30");
}

}  // namespace
}  // namespace tolven
