// Source=com where there is no COM: refused, with the way that works here.
#include "jvlink/com_jvlink.hpp"
#include "store/cp932.hpp"

namespace tolven {

ComLinkOpening open_com_jvlink(int) {
    ComLinkOpening result;
    result.message =
        sj("[JVLink] Source=com（JV-Link を本ソフトに直接読み込む方法）は Windows 版でだけ使え"
           "ます。この環境では設定ファイル tolven.ini の [JVLink] Source=bridge（Wine 上の中継"
           "プログラム tolven-jvbridge.exe）を使ってください。");
    return result;
}

}  // namespace tolven
