#include "printing/QtPageCanvas.hpp"

#include <QFile>
#include <QFontMetrics>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>

#include <cmath>

#include "layouts/page_recording.hpp"
#include "store/cp932.hpp"

QtPageCanvas::QtPageCanvas(QPainter& painter, int dpi_x, int dpi_y, int screen_ppi, int margin_left,
                           int margin_top)
    : painter_(painter),
      dpiX_(dpi_x),
      dpiY_(dpi_y),
      screenPpi_(screen_ppi),
      marginLeft_(margin_left),
      marginTop_(margin_top) {
    pen_ = QPen(Qt::black, tolven::pen_width_dots(1, dpiY_, screenPpi_));
    brush_ = QBrush(Qt::white, Qt::SolidPattern);
    font_ = QFont(QStringLiteral("ＭＳ ゴシック"));
}

QPoint QtPageCanvas::dots(int x, int y) const {
    return {tolven::units_to_dots(x, marginLeft_, dpiX_),
            tolven::units_to_dots(y, marginTop_, dpiY_)};
}

void QtPageCanvas::set_font(std::string_view name, int size, bool bold, bool underline) {
    font_ = QFont(QString::fromUtf8(name.data(), static_cast<int>(name.size())));
    font_.setPixelSize(std::max(1, static_cast<int>(std::lround(size * dpiY_ / 72.0))));
    font_.setBold(bold);
    font_.setUnderline(underline);
}

void QtPageCanvas::set_font_colour(unsigned rgb) {
    fontColour_ = QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

void QtPageCanvas::set_pen(int width, tolven::PenStyle style) {
    pen_ = QPen(Qt::black, tolven::pen_width_dots(width, dpiY_, screenPpi_),
                style == tolven::PenStyle::Dot ? Qt::DotLine : Qt::SolidLine);
    pen_.setCapStyle(Qt::FlatCap);
}

void QtPageCanvas::set_brush(tolven::BrushStyle style, unsigned rgb) {
    QColor colour((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
    Qt::BrushStyle qt = Qt::SolidPattern;
    switch (style) {
        case tolven::BrushStyle::Solid:
            qt = Qt::SolidPattern;
            break;
        case tolven::BrushStyle::Clear:
            qt = Qt::NoBrush;
            break;
        case tolven::BrushStyle::DiagCross:
            qt = Qt::DiagCrossPattern;
            break;
        case tolven::BrushStyle::BDiagonal:
            qt = Qt::BDiagPattern;
            break;
        case tolven::BrushStyle::Cross:
            qt = Qt::CrossPattern;
            break;
    }
    brush_ = QBrush(colour, qt);
    // Hatches are drawn at the spacing they have on screen, not at the
    // printer's dot size where they would turn into a grey tone.
    double scale = dpiY_ / static_cast<double>(screenPpi_);
    brush_.setTransform(QTransform::fromScale(scale, scale));
}

void QtPageCanvas::text_out(int x, int y, std::string_view text) {
    painter_.setFont(font_);
    painter_.setPen(fontColour_);
    QFontMetrics metrics(font_, painter_.device());
    QPoint at = dots(x, y);
    painter_.drawText(QPoint(at.x(), at.y() + metrics.ascent()),
                      QString::fromStdString(tolven::cp932::to_utf8(text)));
}

void QtPageCanvas::move_to(int x, int y) {
    position_ = dots(x, y);
}

void QtPageCanvas::line_to(int x, int y) {
    QPoint to = dots(x, y);
    painter_.setPen(pen_);
    painter_.drawLine(position_, to);
    position_ = to;
}

void QtPageCanvas::rectangle(int x1, int y1, int x2, int y2) {
    painter_.setPen(pen_);
    painter_.setBrush(brush_);
    painter_.drawRect(QRect(dots(x1, y1), dots(x2, y2) - QPoint(1, 1)));
}

bool write_pdf(const QString& file, const QString& title,
               const std::vector<tolven::PageRecording>& pages, QString* error) {
    // The file is opened here so that a failure has its reason.
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly)) {
        if (error != nullptr) *error = file + QStringLiteral(": ") + out.errorString();
        return false;
    }
    QPdfWriter writer(&out);
    writer.setTitle(title);
    writer.setCreator(QStringLiteral("TOLVEN Ver.1.30"));
    writer.setResolution(600);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(4, 4, 4, 4), QPageLayout::Millimeter));
    QPainter painter;
    if (!painter.begin(&writer)) return false;
    for (std::size_t p = 0; p < pages.size(); ++p) {
        if (p > 0) writer.newPage();
        QtPageCanvas canvas(painter, 600, 600);
        pages[p].replay(canvas);
    }
    bool drawn = painter.end();
    out.close();
    if (!drawn || out.error() != QFileDevice::NoError) {
        if (error != nullptr) *error = file + QStringLiteral(": ") + out.errorString();
        return false;
    }
    return true;
}

void map_designed_fonts() {
    QFont::insertSubstitution(QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic"));
    QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"));
    QFont::insertSubstitution(QStringLiteral("ＭＳ 明朝"), QStringLiteral("IPAMincho"));
}
