#include "printing/TPrevX.hpp"

#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

#include <cmath>

#include "printing/QtPageCanvas.hpp"

TPrevX::TPrevX(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("PrevX"));
    takeGeometry();
}

bool TPrevX::hasPrinter() {
    return !QPrinterInfo::availablePrinters().isEmpty();
}
QString TPrevX::noPrinterMessage() {
    return QStringLiteral("プリンタが登録されていません");
}

void TPrevX::takeGeometry() {
    if (hasPrinter()) {
        QPrinter printer(QPrinter::HighResolution);
        dpiX_ = printer.logicalDpiX();
        dpiY_ = printer.logicalDpiY();
        QRect paper = printer.paperRect(QPrinter::DevicePixel).toRect();
        QRect printable = printer.pageRect(QPrinter::DevicePixel).toRect();
        pageDots_ = paper.size();
        printableDots_ = printable;
        return;
    }
    // An A4 sheet at 600 dpi with a 4 mm unprintable border.
    dpiX_ = dpiY_ = 600;
    pageDots_ = QSize(4961, 7016);
    printableDots_ = QRect(94, 94, 4961 - 2 * 94, 7016 - 2 * 94);
}

void TPrevX::newDocument() {
    takeGeometry();
    current_ = 1;
    FirstPage = 1;
    LastPage = 9999;
    pages_.clear();
    pages_.emplace_back();
}

tolven::PageCanvas& TPrevX::canvas() {
    if (pages_.empty()) pages_.emplace_back();
    return pages_.back();
}

void TPrevX::newPage() {
    pages_.emplace_back();
}

void TPrevX::finishDocument() {
    QSize size = QSize(static_cast<int>(std::lround(screenScale() * pageDots_.width())),
                       static_cast<int>(std::lround(screenScale() * pageDots_.height())));
    setMinimumSize(size + QSize(20, 20));
    resize(size + QSize(20, 20));
    update();
}

void TPrevX::setZoomScale(int percent) {
    if (percent < 25 || percent > 200 || percent == zoom_) return;
    zoom_ = percent;
    finishDocument();
}

void TPrevX::setCurrentPage(int page) {
    if (page >= 1 && page <= PageCount()) {
        current_ = page;
        update();
    }
}

std::vector<int> TPrevX::pagesToPrint() const {
    std::vector<int> pages;
    for (int p = std::max(1, FirstPage); p <= std::min(PageCount(), LastPage); ++p)
        pages.push_back(p);
    return pages;
}

double TPrevX::screenScale() const {
    double screen = logicalDpiY() > 0 ? logicalDpiY() : 96;
    return screen / dpiY_ * zoom_ / 100.0;
}

bool TPrevX::print() {
    if (!hasPrinter()) return false;
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(Title);
    QPainter painter;
    if (!painter.begin(&printer)) return false;
    bool first = true;
    for (int p : pagesToPrint()) {
        if (!first) printer.newPage();
        first = false;
        int mx = MapMode == TPrevMapModes::pmmHi ? MarginLeft : MarginLeft * 10;
        int my = MapMode == TPrevMapModes::pmmHi ? MarginTop : MarginTop * 10;
        QtPageCanvas canvas(painter, printer.logicalDpiX(), printer.logicalDpiY(), logicalDpiY(),
                            mx, my);
        pages_[static_cast<std::size_t>(p - 1)].replay(canvas);
    }
    return painter.end();
}

bool TPrevX::savePdf(const QString& file) const {
    return write_pdf(file, Title, pages_);
}

void TPrevX::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    double s = screenScale();
    QRect page(10, 10, static_cast<int>(std::lround(s * pageDots_.width())),
               static_cast<int>(std::lround(s * pageDots_.height())));
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::white);
    painter.drawRect(page);
    QRect printable(10 + static_cast<int>(std::lround(s * printableDots_.x())),
                    10 + static_cast<int>(std::lround(s * printableDots_.y())),
                    static_cast<int>(std::lround(s * printableDots_.width())),
                    static_cast<int>(std::lround(s * printableDots_.height())));
    painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
    painter.drawRect(printable);
    if (pages_.empty()) return;
    // The page is drawn in printer dots and scaled into the printable area.
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.translate(printable.topLeft());
    painter.scale(s, s);
    painter.setClipRect(QRect(QPoint(0, 0), printableDots_.size()));
    int mx = MapMode == TPrevMapModes::pmmHi ? MarginLeft : MarginLeft * 10;
    int my = MapMode == TPrevMapModes::pmmHi ? MarginTop : MarginTop * 10;
    QtPageCanvas canvas(painter, dpiX_, dpiY_, 96, mx, my);
    pages_[static_cast<std::size_t>(current_ - 1)].replay(canvas);
    painter.restore();
}
