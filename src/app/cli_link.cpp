// tolven-cli: the JV-Link the import and the refresh talk to.
#include <stdexcept>

#include "app/cli_context.hpp"
#include "jvlink/bridge_jvlink.hpp"
#include "jvlink/com_jvlink.hpp"
#include "jvlink/feed_link.hpp"
#include "jvlink/link_source.hpp"
#include "jvlink/result_text.hpp"
#include "store/cp932.hpp"
#include "store/ini_file.hpp"
#include "store/settings_keys.hpp"

namespace tolven::cli {

std::unique_ptr<JvLink> open_jvlink(const Context& context) {
    LinkSettings settings = read_link_settings(IniFile(settings_file(context.base)));
    if (context.jvlink_option) {
        std::optional<LinkSource> chosen = parse_link_source(*context.jvlink_option);
        if (!chosen) throw UsageError("--jvlink needs feed, bridge or com: " + *context.jvlink_option);
        settings.source = *chosen;
        settings.problem.clear();
    }
    if (!settings.problem.empty()) throw std::runtime_error(cp932::to_utf8(settings.problem));
    // A time-out that cannot be honoured is refused, not replaced.
    if (!settings.open_timeout_problem.empty()) {
        throw std::runtime_error(cp932::to_utf8(settings.open_timeout_problem));
    }

    std::unique_ptr<JvLink> link;
    bool bridged = settings.source == LinkSource::Bridge;
    bool component = bridged || settings.source == LinkSource::Com;
    if (settings.source == LinkSource::Com) {
        // The component in this process: a 32-bit tolven-cli on Windows.
        ComLinkOpening opening = open_com_jvlink(settings.open_timeout_seconds);
        if (!opening.link) {
            std::string text = cp932::to_utf8(opening.message);
            if (!opening.detail.empty()) text += "\n(" + cp932::to_utf8(opening.detail) + ")";
            throw std::runtime_error(text);
        }
        link = std::move(opening.link);
    } else if (bridged) {
        auto bridge =
            std::make_unique<BridgeJvLink>(bridge_options(settings, context.program.parent_path()));
        // The start-up check: the component must be there before anything
        // else is done.
        BridgePresence presence = bridge->check_presence();
        if (presence.state != BridgePresence::State::Installed) {
            std::string text = cp932::to_utf8(presence.message);
            if (!presence.detail.empty()) text += "\n(" + cp932::to_utf8(presence.detail) + ")";
            throw std::runtime_error(text);
        }
        bridge->set_failure_reporter([](const std::string& text) { print_line(stderr, text); });
        link = std::move(bridge);
    } else {
        link = std::make_unique<FeedLink>(context.feed_folder(), context.base / "JVCache");
    }
    int r = link->JVInit(jvlink_sid());
    if (r != 0) {
        throw std::runtime_error(
            cp932::to_utf8(sj("JVInitエラー：") + jv_result_text("JVInit", r)));
    }
    if (component) {
        // An old component is worth a warning; the import runs on.
        std::string version = link->version();
        if (jvlink_version_too_old(version)) print_line(stderr, jvlink_version_message(version));
    }
    return link;
}

}  // namespace tolven::cli
