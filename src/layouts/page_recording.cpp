#include "layouts/page_recording.hpp"

namespace tolven {
namespace {

// numerator / denominator rounded to the nearest integer, ties to even.
long long divide_to_even(long long numerator, long long denominator) {
    if (denominator < 0) {
        numerator = -numerator;
        denominator = -denominator;
    }
    long long q = numerator / denominator;
    long long r = numerator % denominator;
    if (r < 0) {
        r += denominator;
        q -= 1;
    }
    if (2 * r > denominator || (2 * r == denominator && (q % 2 != 0))) ++q;
    return q;
}

}  // namespace

int units_to_dots(int units, int margin, int dpi, bool tenths_of_mm) {
    // 1 inch = 254 tenths of a millimetre = 25.4 mm (254 / 10).
    long long numerator = static_cast<long long>(units + margin) * dpi * (tenths_of_mm ? 1 : 10);
    return static_cast<int>(divide_to_even(numerator, 254));
}

int pen_width_dots(int width, int dpi, int screen_ppi) {
    long long dots = divide_to_even(static_cast<long long>(width) * dpi,
                                    static_cast<long long>(screen_ppi) * 10);
    return static_cast<int>(dots < 1 ? 1 : dots);
}

void PageRecording::set_font(std::string_view name, int size, bool bold, bool underline) {
    ops_.push_back({Kind::Font, size, 0, 0, 0, std::string(name), bold, underline});
}
void PageRecording::set_font_colour(unsigned rgb) {
    ops_.push_back({Kind::FontColour, static_cast<int>(rgb), 0, 0, 0, {}, false, false});
}
void PageRecording::set_pen(int width, PenStyle style) {
    ops_.push_back({Kind::Pen, width, static_cast<int>(style), 0, 0, {}, false, false});
}
void PageRecording::set_brush(BrushStyle style, unsigned rgb) {
    ops_.push_back(
        {Kind::Brush, static_cast<int>(style), static_cast<int>(rgb), 0, 0, {}, false, false});
}
std::vector<std::string> PageRecording::texts() const {
    std::vector<std::string> out;
    for (const Op& op : ops_) {
        if (op.kind == Kind::Text) out.push_back(op.text);
    }
    return out;
}

void PageRecording::text_out(int x, int y, std::string_view text) {
    ops_.push_back({Kind::Text, x, y, 0, 0, std::string(text), false, false});
}
void PageRecording::move_to(int x, int y) {
    ops_.push_back({Kind::Move, x, y, 0, 0, {}, false, false});
}
void PageRecording::line_to(int x, int y) {
    ops_.push_back({Kind::Line, x, y, 0, 0, {}, false, false});
}
void PageRecording::rectangle(int x1, int y1, int x2, int y2) {
    ops_.push_back({Kind::Rectangle, x1, y1, x2, y2, {}, false, false});
}

void PageRecording::replay(PageCanvas& t) const {
    for (const Op& op : ops_) {
        switch (op.kind) {
            case Kind::Font:
                t.set_font(op.text, op.a, op.flag1, op.flag2);
                break;
            case Kind::FontColour:
                t.set_font_colour(static_cast<unsigned>(op.a));
                break;
            case Kind::Pen:
                t.set_pen(op.a, static_cast<PenStyle>(op.b));
                break;
            case Kind::Brush:
                t.set_brush(static_cast<BrushStyle>(op.a), static_cast<unsigned>(op.b));
                break;
            case Kind::Text:
                t.text_out(op.a, op.b, op.text);
                break;
            case Kind::Move:
                t.move_to(op.a, op.b);
                break;
            case Kind::Line:
                t.line_to(op.a, op.b);
                break;
            case Kind::Rectangle:
                t.rectangle(op.a, op.b, op.c, op.d);
                break;
        }
    }
}

}  // namespace tolven
