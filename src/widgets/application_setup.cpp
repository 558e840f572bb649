#include "widgets/application_setup.hpp"

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QStyle>
#include <QTranslator>
#include <QWidget>

#include <algorithm>

namespace tolven {

void setup_application(QApplication& app) {
    QFont::insertSubstitution(QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic"));
    QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"));
    QFont::insertSubstitution(QStringLiteral("ＭＳ 明朝"), QStringLiteral("IPAMincho"));
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
    QApplication::setFont(QFont(QStringLiteral("ＭＳ Ｐゴシック"), 9));

    // The program speaks Japanese whatever the desktop's locale: its own texts
    // are Japanese, and so must be the buttons of Qt's standard dialogs.
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const char* name : {"qtbase_ja", "qt_ja"}) {
        auto* translator = new QTranslator(&app);
        if (translator->load(QString::fromLatin1(name), folder)) {
            QApplication::installTranslator(translator);
        } else {
            delete translator;
        }
    }
    QApplication::setWindowIcon(program_icon());
}

QIcon program_icon() {
    QIcon icon;
    for (int side : {16, 32, 64}) {
        QPixmap picture(side, side);
        picture.fill(Qt::black);
        QPainter p(&picture);
        p.setPen(QColor(0, 255, 0));
        QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
        font.setBold(true);
        font.setPixelSize(side * 3 / 4);
        p.setFont(font);
        p.drawText(picture.rect(), Qt::AlignCenter, QStringLiteral("T"));
        p.end();
        icon.addPixmap(picture);
    }
    return icon;
}

void fit_on_screen(QWidget& window) {
    QScreen* screen = window.screen();
    if (screen == nullptr) return;
    QRect room = screen->availableGeometry();
    // The frame around the window: known once the window system has framed
    // it, else what a title bar and borders usually take.
    QRect inner = window.geometry();
    QRect outer = window.frameGeometry();
    QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(),
                   outer.right() - inner.right(), outer.bottom() - inner.bottom());
    if (!window.isVisible() || frame.isNull()) {
        QStyle* style = window.style();
        int border = style->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, &window);
        frame = QMargins(border, style->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &window) + border,
                         border, border);
    }
    QSize most(room.width() - frame.left() - frame.right(),
               room.height() - frame.top() - frame.bottom());
    QSize size = window.size().boundedTo(most).expandedTo(window.minimumSizeHint().boundedTo(most));
    if (size != window.size()) window.resize(size);
    QRect framed(window.pos(), QSize(size.width() + frame.left() + frame.right(),
                                     size.height() + frame.top() + frame.bottom()));
    QPoint at = framed.topLeft();
    at.setX(std::clamp(at.x(), room.left(), std::max(room.left(), room.right() + 1 - framed.width())));
    at.setY(std::clamp(at.y(), room.top(), std::max(room.top(), room.bottom() + 1 - framed.height())));
    if (at != window.pos()) window.move(at);
}

}  // namespace tolven
