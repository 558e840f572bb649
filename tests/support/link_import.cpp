#include "support/link_import.hpp"

#include "platform/utf8_path.hpp"
#include "store/cp932.hpp"
#include "store/data_store.hpp"
#include "support/temp_dir.hpp"

namespace fs = std::filesystem;

namespace tolven::testing {

std::map<std::string, std::string> store_snapshot(const fs::path& base) {
    std::map<std::string, std::string> files;
    for (const char* area : {"Data", "SEI", "SEIR"}) {
        if (!fs::exists(base / area)) continue;
        for (const auto& e : fs::recursive_directory_iterator(base / area)) {
            if (e.is_regular_file())
                files[generic_path_utf8(fs::relative(e.path(), base))] = read_bytes(e.path());
        }
    }
    return files;
}

std::string import_start_notice() {
    return sj(
        "データ取込を開始します。データ作成が終了するまで本ソフトを操作したり他のアプリケーションを"
        "操作することは極力避けてください。");
}

bool import_through(JvLink& link, const fs::path& base, const DateTime& now, ImportHost& host) {
    DataStore store(base);
    store.create_folders();
    CancelFlag cancel;
    ImportController import(link, store, cancel, host, [now] { return now; });
    import.open();
    import.start();
    while (import.downloading()) import.status_tick();
    return !import.failed();
}

}  // namespace tolven::testing
