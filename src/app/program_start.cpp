#include "app/program_start.hpp"

#include <QApplication>
#include <QFileDialog>
#include <QString>
#include <QThread>

#include <array>
#include <cstdio>
#include <string_view>

#include "jvlink/bridge_jvlink.hpp"
#include "jvlink/com_jvlink.hpp"
#include "jvlink/feed_link.hpp"
#include "jvlink/result_text.hpp"
#include "mainwindow/MainWindow.hpp"
#include "platform/utf8_path.hpp"
#include "store/base_folder.hpp"
#include "store/cp932.hpp"
#include "store/data_store.hpp"
#include "store/settings_keys.hpp"
#include "store/store_reader.hpp"
#include "store/version.hpp"
#include "widgets/IniSettings.hpp"
#include "widgets/MessageDialog.hpp"
#include "widgets/error_boundary.hpp"
#include "widgets/qt_text.hpp"

namespace fs = std::filesystem;

namespace tolven {
namespace {

// Qt's own command-line options, which QApplication takes out of the
// arguments itself (with one dash or two).
constexpr std::array<std::string_view, 15> kQtOptionsWithValue = {
    "platform",    "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
    "qwindowicon", "qwindowtitle",       "session",       "style",  "stylesheet",
    "display",     "geometry",           "title",         "name",   "visual"};
constexpr std::array<std::string_view, 6> kQtFlags = {"reverse", "widgetcount", "nograb",
                                                      "dograb",  "sync",        "qmljsdebugger"};

template <std::size_t N>
bool listed(const std::array<std::string_view, N>& names, std::string_view name) {
    for (std::string_view n : names) {
        if (n == name) return true;
    }
    return false;
}

}  // namespace

std::string program_usage() {
    return "usage: tolven [--base DIR] [--feed DIR] [--jvlink feed|bridge|com]\n"
           "  --base DIR   the folder of the race-day store and the settings file\n"
           "               (default: $TOLVEN_HOME, else the program's folder when it is\n"
           "               writable, else ~/.local/share/tolven)\n"
           "  --feed DIR   the feed folder the data import reads (default: the folder\n"
           "               chosen with JVLink設定, else <base>/feed)\n"
           "  --jvlink feed|bridge|com\n"
           "               where JV-Data comes from: the feed folder, the JV-Link\n"
           "               component through tolven-jvbridge.exe, or the component\n"
           "               loaded into this program (Windows, same architecture)\n"
           "               (default: the [JVLink] Source setting, else feed)\n"
           "  --help       print this text and exit\n"
           "  --version    print the version and exit\n"
           "Qt's own options (-platform NAME, -style NAME, ...) are passed on to Qt.\n";
}

std::string program_version() {
    return kProgramVersion;
}

ProgramOptions parse_program_options(const std::vector<std::string>& args) {
    ProgramOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            continue;
        }
        if (arg == "--version") {
            options.version = true;
            continue;
        }
        // --base DIR or --base=DIR; a following option is not a value.
        auto folder = [&](const std::string& name) -> std::optional<fs::path> {
            std::string value;
            if (arg == name) {
                if (i + 1 >= args.size() || args[i + 1].empty() || args[i + 1][0] == '-')
                    throw ProgramUsageError(name + " needs a folder");
                value = args[++i];
            } else if (arg.rfind(name + "=", 0) == 0) {
                value = arg.substr(name.size() + 1);
                if (value.empty()) throw ProgramUsageError(name + " needs a folder");
            } else {
                return std::nullopt;
            }
            return utf8_path(value);
        };
        if (auto base = folder("--base")) {
            options.base = *base;
            continue;
        }
        if (auto feed = folder("--feed")) {
            options.feed = *feed;
            continue;
        }
        if (arg == "--jvlink" || arg.rfind("--jvlink=", 0) == 0) {
            std::string value;
            if (arg == "--jvlink") {
                if (i + 1 < args.size()) value = args[++i];
            } else {
                value = arg.substr(9);
            }
            options.jvlink = parse_link_source(value);
            if (!options.jvlink) throw ProgramUsageError("--jvlink needs feed, bridge or com");
            continue;
        }
        if (arg.size() > 1 && arg[0] == '-') {
            std::string_view name(arg);
            name.remove_prefix(name.rfind("--", 0) == 0 ? 2 : 1);
            std::string_view bare = name.substr(0, name.find('='));
            if (listed(kQtFlags, bare)) continue;
            if (listed(kQtOptionsWithValue, bare)) {
                if (bare.size() == name.size()) {
                    if (i + 1 >= args.size()) throw ProgramUsageError(arg + " needs a value");
                    ++i;
                }
                continue;
            }
            throw ProgramUsageError("unknown option \"" + arg + "\"");
        }
        throw ProgramUsageError("unexpected argument \"" + arg + "\"");
    }
    return options;
}

std::unique_ptr<MainWindow> open_program(const ProgramOptions& options, const fs::path& executable) {
    fs::path base = resolve_base_folder(options.base, executable);
    const QString failed = QStringLiteral("フォルダ「%1」を作成できませんでした。").arg(qpath(base));
    std::unique_ptr<MainWindow> form;
    LinkSettings source;
    auto read_settings = [&] {
        IniSettings::setApplicationDir(base);
        IniSettings ini;
        source = read_link_settings(IniFile(ini.path()));
    };
    auto open_window = [&] {
        // The JV-Link: the feed folder (FeedLink), or the real component
        // through the bridge when the settings or --jvlink choose it.
        if (options.jvlink) {
            source.source = *options.jvlink;
            source.problem.clear();
        }
        if (!source.problem.empty()) MessageDialog::warning(nullptr, qs(source.problem));
        if (!source.open_timeout_problem.empty()) {
            // Said at every start until it is mended; the program runs on
            // with the default, and says so.
            MessageDialog::warning(
                nullptr, qs(source.open_timeout_problem + sj("\r\n今回は既定の ") +
                            std::to_string(settings::open_timeout.default_number) +
                            sj(" 秒で待ちます。")));
        }
        std::unique_ptr<JvLink> link;
        FeedLink* feed_link = nullptr;
        if (source.source == LinkSource::Com) {
            // The component in this process (a program of its architecture,
            // on Windows); otherwise the message says to use the bridge.
            ComLinkOpening opening = open_com_jvlink(source.open_timeout_seconds);
            if (!opening.link) {
                std::string text = opening.message;
                if (!opening.detail.empty()) text += "\r\n(" + opening.detail + ")";
                MessageDialog::information(nullptr, qs(text));
                return;
            }
            link = std::move(opening.link);
        } else if (source.source == LinkSource::Bridge) {
            auto bridge =
                std::make_unique<BridgeJvLink>(bridge_options(source, executable.parent_path()));
            // The start-up check: without the component the program cannot work.
            BridgePresence presence = bridge->check_presence();
            if (presence.state != BridgePresence::State::Installed) {
                MessageDialog::information(nullptr, qs(presence.message));
                return;
            }
            bridge->set_failure_reporter([](const std::string& text) {
                // An open runs on a thread of its own (run_open), and a dialog
                // belongs to the window thread, which keeps its events going
                // while it waits for the open: the report is shown there, and
                // the open goes on once it is closed.
                auto show = [text] {
                    MessageDialog::warning(QApplication::activeWindow(), qs(text));
                };
                if (QThread::currentThread() == qApp->thread()) {
                    show();
                } else {
                    QMetaObject::invokeMethod(qApp, show, Qt::BlockingQueuedConnection);
                }
            });
            link = std::move(bridge);
        } else {
            std::optional<fs::path> given;
            if (options.feed) given = fs::absolute(*options.feed);
            fs::path feed = resolve_feed_folder(base, given);
            auto feed_owner = std::make_unique<FeedLink>(feed, base / "JVCache");
            feed_link = feed_owner.get();
            link = std::move(feed_owner);
        }
        form = std::make_unique<MainWindow>(base, std::move(link));
        MainWindow* window = form.get();
        if (feed_link == nullptr) return;
        feed_link->set_folder_chooser([window](const fs::path& current) -> std::optional<fs::path> {
            QString chosen = QFileDialog::getExistingDirectory(
                window, QStringLiteral("データフォルダの選択"), qpath(current));
            if (chosen.isEmpty()) return std::nullopt;
            // Used for this session even where it cannot be kept.
            guarded(window, QStringLiteral("設定を保存できませんでした。"),
                    [&] { window->ini().writeText(settings::feed_folder, chosen); });
            return fspath(chosen);
        });
    };
    // The main window makes Data, SEI and SEIR too; making them here first
    // reports a base that cannot be made before any window exists.
    bool made = guarded(nullptr, failed, [&] {
        fs::create_directories(base);
        DataStore(base).create_folders();
    });
    if (made) {
        // An import killed in its commit is finished before the first day is
        // shown; when it cannot be (another import runs, a read-only base),
        // the program starts all the same and each day load says why.
        guarded(nullptr, QStringLiteral("前回のデータ取込みを完了できませんでした。"),
                [&] { settle_store(base); });
        // An interrupted import that could not be finished whole is said at
        // every start, until an import runs to its end.
        if (auto notice = damaged_import_notice(base)) {
            MessageDialog::warning(nullptr, QString::fromStdString(*notice));
        }
        const QString unreadable = QStringLiteral("設定ファイル「%1」を読み込めませんでした。")
                                       .arg(qpath(base / "tolven.ini"));
        made = guarded(nullptr, unreadable, read_settings) &&
               guarded(nullptr, QStringLiteral("TOLVENを開始できませんでした。"), open_window);
    }
    if (!made) {
        // Also for a start from a terminal or a script.
        std::fprintf(stderr, "tolven: %s\n", MessageDialog::lastMessage().toUtf8().constData());
        return nullptr;
    }
    if (!form) {
        // The bridge found no component (its message was shown).
        std::fprintf(stderr, "tolven: %s\n", MessageDialog::lastMessage().toUtf8().constData());
    }
    return form;
}

}  // namespace tolven
