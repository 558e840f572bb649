#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tolven {

enum class PenStyle { Solid, Dot };
enum class BrushStyle { Solid, Clear, DiagCross, BDiagonal, Cross };

// The page the print layouts draw on, in tenths of a millimetre from the
// top-left corner of the printable area. The preview implements it over a
// picture of the printer's page; tests record what is drawn.
class PageCanvas {
  public:
    virtual ~PageCanvas() = default;
    // name is UTF-8; size in points.
    virtual void set_font(std::string_view name, int size, bool bold, bool underline) = 0;
    virtual void set_font_colour(unsigned rgb) = 0;
    // width in tenths of a screen pixel.
    virtual void set_pen(int width, PenStyle style) = 0;
    virtual void set_brush(BrushStyle style, unsigned rgb) = 0;
    // Text (CP932) with its top-left corner at (x, y).
    virtual void text_out(int x, int y, std::string_view text) = 0;
    virtual void move_to(int x, int y) = 0;
    virtual void line_to(int x, int y) = 0;
    // Outline with the pen, inside filled with the brush.
    virtual void rectangle(int x1, int y1, int x2, int y2) = 0;

    void line(int x1, int y1, int x2, int y2) {
        move_to(x1, y1);
        line_to(x2, y2);
    }
};

// Records every call as one line of text, for tests.
class RecordingCanvas : public PageCanvas {
  public:
    std::vector<std::string> calls;

    void set_font(std::string_view name, int size, bool bold, bool underline) override;
    void set_font_colour(unsigned rgb) override;
    void set_pen(int width, PenStyle style) override;
    void set_brush(BrushStyle style, unsigned rgb) override;
    void text_out(int x, int y, std::string_view text) override;
    void move_to(int x, int y) override;
    void line_to(int x, int y) override;
    void rectangle(int x1, int y1, int x2, int y2) override;

    // The recorded calls that start with prefix, joined by newlines (text
    // converted to UTF-8).
    std::string matching(std::string_view prefix) const;
};

}  // namespace tolven
