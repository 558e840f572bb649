// tolven: the desktop program.
#include <QApplication>
#include <QFileDialog>
#include <QFont>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QSplashScreen>

#include <optional>

#include "jvlink/bridge_jvlink.hpp"
#include "jvlink/feed_link.hpp"
#include "jvlink/link_source.hpp"
#include "jvlink/result_text.hpp"
#include "raceday/TMainForm.hpp"
#include "store/base_folder.hpp"
#include "store/cp932.hpp"
#include "widgets/TIniGT.hpp"
#include "widgets/TMsgDlg.hpp"
#include "widgets/application_setup.hpp"
#include "widgets/qt_text.hpp"

namespace {

QPixmap splash_picture() {
    QPixmap picture(234, 159);
    picture.fill(Qt::black);
    QPainter p(&picture);
    p.setPen(QColor(0, 255, 0));
    QFont title(QStringLiteral("ＭＳ Ｐゴシック"), 28, QFont::Bold);
    p.setFont(title);
    p.drawText(picture.rect().adjusted(0, 0, 0, -40), Qt::AlignCenter, QStringLiteral("TOLVEN"));
    p.setPen(Qt::white);
    p.setFont(QFont(QStringLiteral("ＭＳ Ｐゴシック"), 9));
    p.drawText(picture.rect().adjusted(0, 70, 0, 0), Qt::AlignCenter,
               QStringLiteral("for JRA-VAN Data Lab.\nVer.1.30"));
    return picture;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    tolven::setup_application(app);
    QApplication::setApplicationName(QStringLiteral("TOLVEN"));

    std::optional<std::filesystem::path> base_option;
    std::optional<std::filesystem::path> feed_option;
    std::optional<std::string> jvlink_option;
    QStringList args = QApplication::arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--base")) base_option = args[i + 1].toStdString();
        if (args[i] == QLatin1String("--feed")) feed_option = args[i + 1].toStdString();
        if (args[i] == QLatin1String("--jvlink")) jvlink_option = args[i + 1].toStdString();
    }
    std::filesystem::path base =
        tolven::resolve_base_folder(base_option, tolven::executable_path(argv[0]));
    std::filesystem::create_directories(base);

    QSplashScreen splash(splash_picture());
    splash.show();
    QApplication::processEvents();

    // The JV-Link: the feed folder (FeedLink), or the real component through
    // the bridge when the settings or --jvlink choose it.
    TIniGT::setApplicationDir(base);
    TIniGT ini;
    tolven::IniFile settings(ini.path());
    tolven::LinkSettings source = tolven::read_link_settings(
        [&settings](std::string_view key) { return settings.read_text("JVLink", key, ""); });
    if (jvlink_option) {
        if (auto chosen = tolven::parse_link_source(*jvlink_option)) {
            source.source = *chosen;
            source.problem.clear();
        }
    }
    if (!source.problem.empty()) TMsgDlg::warning(nullptr, tolven::qs(source.problem));
    std::unique_ptr<tolven::JvLink> link;
    tolven::FeedLink* feed_link = nullptr;
    if (source.source == tolven::LinkSource::Bridge) {
        auto bridge = std::make_unique<tolven::BridgeJvLink>(
            tolven::bridge_options(source, tolven::executable_path(argv[0]).parent_path()));
        // The start-up check: without the component the program cannot work.
        tolven::BridgePresence presence = bridge->check_presence();
        if (presence.state != tolven::BridgePresence::State::Installed) {
            TMsgDlg::information(nullptr, tolven::qs(presence.message));
            return 1;
        }
        bridge->set_failure_reporter([](const std::string& text) {
            TMsgDlg::warning(QApplication::activeWindow(), tolven::qs(text));
        });
        link = std::move(bridge);
    } else {
        std::filesystem::path feed = base / "feed";
        QString folder =
            ini.ReadString(QStringLiteral("FeedLink"), QStringLiteral("Folder"), QString());
        if (!folder.isEmpty()) feed = folder.toStdString();
        if (feed_option) feed = *feed_option;
        auto feed_owner = std::make_unique<tolven::FeedLink>(feed, base / "JVCache");
        feed_link = feed_owner.get();
        link = std::move(feed_owner);
    }
    QApplication::setApplicationDisplayName(QStringLiteral("TOLVEN"));

    TMainForm form(base, std::move(link));
    if (feed_link != nullptr) feed_link->set_folder_chooser(
        [&form](const std::filesystem::path& current) -> std::optional<std::filesystem::path> {
            QString chosen =
                QFileDialog::getExistingDirectory(&form, QStringLiteral("データフォルダの選択"),
                                                  QString::fromStdString(current.string()));
            if (chosen.isEmpty()) return std::nullopt;
            form.ini().WriteString(QStringLiteral("FeedLink"), QStringLiteral("Folder"), chosen);
            return std::filesystem::path(chosen.toStdString());
        });
    form.show();
    splash.finish(&form);
    return QApplication::exec();
}
