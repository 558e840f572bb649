// tolven: the desktop program.
#include <QApplication>
#include <QFont>
#include <QPainter>
#include <QPixmap>
#include <QSplashScreen>

#include <cstdio>
#include <string>
#include <vector>

#include "app/program_start.hpp"
#include "mainwindow/MainWindow.hpp"
#include "platform/files.hpp"
#include "platform/system.hpp"
#include "store/base_folder.hpp"
#include "store/version.hpp"
#include "widgets/application_setup.hpp"

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
               QStringLiteral("for JRA-VAN Data Lab.\n") + QLatin1String(tolven::kVersionLabel));
    return picture;
}

}  // namespace

int main(int argc, char** argv) {
    // The command line is read before anything needs a display, so that
    // --help, --version and mistakes work from any terminal. Its arguments
    // are UTF-8 text on every system, so a base folder with a Japanese name
    // works on Windows too.
    std::vector<std::string> args = tolven::platform::utf8_arguments(argc, argv);
    if (!args.empty()) args.erase(args.begin());
    tolven::ProgramOptions options;
    try {
        options = tolven::parse_program_options(args);
    } catch (const tolven::ProgramUsageError& e) {
        std::fprintf(stderr, "tolven: %s\n%s", e.what(), tolven::program_usage().c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(tolven::program_usage().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::puts(tolven::program_version().c_str());
        return 0;
    }
    // A file-size limit makes a write fail with an error the program reports,
    // instead of ending it.
    tolven::platform::ignore_file_size_signal();

    QApplication app(argc, argv);
    tolven::setup_application(app);
    QApplication::setApplicationName(QStringLiteral("TOLVEN"));
    // No display name: the window system would add it to every title, and
    // the main window's title already is the program's name ("TOLVEN", or
    // "TOLVEN - [予想表]" with a view maximised).

    QSplashScreen splash(splash_picture());
    splash.show();
    QApplication::processEvents();

    std::unique_ptr<MainWindow> form =
        tolven::open_program(options, tolven::executable_path(argv[0]));
    if (!form) return 1;
    form->show();
    splash.finish(form.get());
    return QApplication::exec();
}
