#include "support/sample_store.hpp"

#include <stdexcept>

#include "jvlink/feed_link.hpp"
#include "jvlink/import.hpp"
#include "jvlink/result_text.hpp"
#include "support/link_import.hpp"

namespace tolven::testing {

int import_feed(const std::filesystem::path& base, const DateTime& now) {
    FeedLink link(base / "feed", base / "JVCache");
    if (link.JVInit(jvlink_sid()) != 0) throw std::runtime_error("the feed link did not start");
    SilentImportHost host;
    if (!import_through(link, base, now, host)) {
        throw std::runtime_error("the feed in " + (base / "feed").string() + " did not import");
    }
    return host.built_lines;
}

int import_sample_feed(const std::filesystem::path& base, const SampleFeedOptions& options,
                       const DateTime& now) {
    make_sample_feed(base / "feed", options);
    return import_feed(base, now);
}

}  // namespace tolven::testing
