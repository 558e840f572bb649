#include "layouts/page_canvas.hpp"

#include <cstdio>

#include "store/cp932.hpp"

namespace tolven {
namespace {

std::string coords(int x, int y) {
    return std::to_string(x) + "," + std::to_string(y);
}

const char* brush_name(BrushStyle s) {
    switch (s) {
        case BrushStyle::Solid:
            return "solid";
        case BrushStyle::Clear:
            return "clear";
        case BrushStyle::DiagCross:
            return "diagcross";
        case BrushStyle::BDiagonal:
            return "bdiagonal";
        case BrushStyle::Cross:
            return "cross";
    }
    return "?";
}

std::string hex(unsigned rgb) {
    char text[16];
    std::snprintf(text, sizeof text, "%06X", rgb);
    return text;
}

}  // namespace

void RecordingCanvas::set_font(std::string_view name, int size, bool bold, bool underline) {
    calls.push_back("font " + std::string(name) + " " + std::to_string(size) +
                    (bold ? " bold" : "") + (underline ? " underline" : ""));
}
void RecordingCanvas::set_font_colour(unsigned rgb) {
    calls.push_back("fontcolour " + hex(rgb));
}
void RecordingCanvas::set_pen(int width, PenStyle style) {
    calls.push_back("pen " + std::to_string(width) + (style == PenStyle::Dot ? " dot" : " solid"));
}
void RecordingCanvas::set_brush(BrushStyle style, unsigned rgb) {
    calls.push_back(std::string("brush ") + brush_name(style) + " " + hex(rgb));
}
void RecordingCanvas::text_out(int x, int y, std::string_view text) {
    calls.push_back("text " + coords(x, y) + " " + cp932::to_utf8(text));
}
void RecordingCanvas::move_to(int x, int y) {
    calls.push_back("move " + coords(x, y));
}
void RecordingCanvas::line_to(int x, int y) {
    calls.push_back("line " + coords(x, y));
}
void RecordingCanvas::rectangle(int x1, int y1, int x2, int y2) {
    calls.push_back("rect " + coords(x1, y1) + " " + coords(x2, y2));
}

std::string RecordingCanvas::matching(std::string_view prefix) const {
    std::string out;
    for (const auto& c : calls) {
        if (c.compare(0, prefix.size(), prefix) == 0) out += c + "\n";
    }
    return out;
}

}  // namespace tolven
