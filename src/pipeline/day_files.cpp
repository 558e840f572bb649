#include "pipeline/day_files.hpp"

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "store/data_store.hpp"
#include "store/error_text.hpp"
#include "store/record.hpp"

namespace fs = std::filesystem;

namespace tolven {

std::vector<std::string> day_file_problems(const fs::path& base, const std::string& entry) {
    struct File {
        const char* extension;
        RecordKind kind;
        const char* none;
    };
    const File files[] = {
        {".jvRA", RecordKind::Race, "レースのレコードがありません"},
        {".jvSEr", RecordKind::Runner, "出走馬のレコードがありません"},
    };
    DataStore store(base);
    std::vector<std::string> problems;
    for (const File& f : files) {
        fs::path path = store.day_file(entry, f.extension);
        std::string reason;
        std::error_code error;
        auto size = fs::file_size(path, error);
        if (error) {
            reason = error_reason(error);
        } else if (size == 0) {
            reason = "ファイルが空です";
        } else {
            try {
                auto records = DataStore::read_records(path, f.kind);
                if (!records) {
                    reason = error_reason(ENOENT);
                } else if (std::all_of(records->begin(), records->end(),
                                       [](const std::string& r) { return is_absent(r); })) {
                    reason = f.none;
                }
            } catch (const std::exception& e) {
                problems.push_back(error_message(e));
                continue;
            }
        }
        if (!reason.empty()) problems.push_back(path.string() + "（" + reason + "）");
    }
    return problems;
}

}  // namespace tolven
