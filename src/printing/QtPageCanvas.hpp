#pragma once

#include <QFont>
#include <QPainter>
#include <QPoint>

#include "layouts/page_canvas.hpp"

// Draws a page canvas onto a QPainter whose coordinates are device dots:
// units of 0.1 mm become dots at the device's resolution, pen widths count
// tenths of a screen pixel, font sizes are points at the device's vertical
// resolution.
class QtPageCanvas : public tolven::PageCanvas {
  public:
    QtPageCanvas(QPainter& painter, int dpi_x, int dpi_y, int screen_ppi = 96, int margin_left = 0,
                 int margin_top = 0);

    void set_font(std::string_view name, int size, bool bold, bool underline) override;
    void set_font_colour(unsigned rgb) override;
    void set_pen(int width, tolven::PenStyle style) override;
    void set_brush(tolven::BrushStyle style, unsigned rgb) override;
    void text_out(int x, int y, std::string_view text) override;
    void move_to(int x, int y) override;
    void line_to(int x, int y) override;
    void rectangle(int x1, int y1, int x2, int y2) override;

  private:
    QPoint dots(int x, int y) const;

    QPainter& painter_;
    int dpiX_, dpiY_, screenPpi_, marginLeft_, marginTop_;
    QFont font_;
    QColor fontColour_ = Qt::black;
    QPen pen_;
    QBrush brush_;
    QPoint position_;
};

// Renders recorded pages into a PDF file (A4, 600 dpi, 4 mm printable
// margin); false when the file cannot be written, with the file and the
// reason in `error` when given.
namespace tolven {
class PageRecording;
}
bool write_pdf(const QString& file, const QString& title,
               const std::vector<tolven::PageRecording>& pages, QString* error = nullptr);

// The Windows fonts the screens and printouts were designed with, mapped to
// the IPA fonts of this platform, which keep their metrics.
void map_designed_fonts();
