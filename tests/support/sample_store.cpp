#include "support/sample_store.hpp"

#include <stdexcept>

#include "jvlink/feed_link.hpp"
#include "jvlink/import.hpp"
#include "jvlink/result_text.hpp"

namespace tolven::testing {

int import_sample_feed(const std::filesystem::path& base, const SampleFeedOptions& options,
                       const DateTime& now) {
    make_sample_feed(base / "feed", options);
    DataStore store(base);
    store.create_folders();
    FeedLink link(base / "feed", base / "JVCache");
    link.JVInit(jvlink_sid());
    CancelFlag cancel;
    SilentImportHost host;
    ImportController import(link, store, cancel, host, [now] { return now; });
    import.open();
    import.start();
    while (import.downloading()) import.status_tick();
    if (import.failed()) throw std::runtime_error("the sample feed did not import");
    return host.built_lines;
}

}  // namespace tolven::testing
