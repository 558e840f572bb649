// Feed files through the import's and the results refresh's filing into a
// scratch store: whatever the records hold, the store keeps its shape and
// nothing is written outside the base folder.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.hpp"
#include "jvlink/filing.hpp"
#include "store/data_store.hpp"

using namespace tolven;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fuzz::ScratchBase scratch;
    scratch.reset();
    DataStore store(scratch.base());
    RecordFiler filer(store);
    // The records as the feed serves them: one a line, CR LF restored, empty
    // lines skipped. The first line's first byte picks the filing.
    std::string_view input(reinterpret_cast<const char*>(data), size);
    bool refresh = !input.empty() && (static_cast<unsigned char>(input[0]) & 1) != 0;
    for (auto& line : split_lines(input)) {
        if (line.empty()) continue;
        line += "\r\n";
        if (refresh) {
            filer.file_refresh(line, "feed.txt");
        } else {
            filer.file_import(line, 20261201, "feed.txt");
        }
    }
    fuzz::check_written_files(scratch.base());
    scratch.check_nothing_outside();
    return 0;
}
