#pragma once

#include <string>
#include <vector>

#include "layouts/page_canvas.hpp"

namespace tolven {

// One printed page kept as the list of its drawing calls, so that it can be
// replayed onto any device: the preview at any zoom, a printer, a PDF.
class PageRecording : public PageCanvas {
  public:
    void set_font(std::string_view name, int size, bool bold, bool underline) override;
    void set_font_colour(unsigned rgb) override;
    void set_pen(int width, PenStyle style) override;
    void set_brush(BrushStyle style, unsigned rgb) override;
    void text_out(int x, int y, std::string_view text) override;
    void move_to(int x, int y) override;
    void line_to(int x, int y) override;
    void rectangle(int x1, int y1, int x2, int y2) override;

    void replay(PageCanvas& target) const;
    bool empty() const { return ops_.empty(); }
    // The texts of the page in drawing order (CP932).
    std::vector<std::string> texts() const;

  private:
    enum class Kind { Font, FontColour, Pen, Brush, Text, Move, Line, Rectangle };
    struct Op {
        Kind kind;
        int a = 0, b = 0, c = 0, d = 0;
        std::string text;
        bool flag1 = false, flag2 = false;
    };
    std::vector<Op> ops_;
};

// Conversions of the preview between drawing units and device dots, rounded
// to the nearest dot with ties to even.
// A coordinate in tenths (hi) or whole millimetres (lo), plus the margin.
int units_to_dots(int units, int margin, int dpi, bool tenths_of_mm = true);
// A pen width counts tenths of a screen pixel; never thinner than one dot.
int pen_width_dots(int width, int dpi, int screen_ppi);

}  // namespace tolven
