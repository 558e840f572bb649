#include "printing/PrintPreview.hpp"

#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

#include <cmath>
#include <stdexcept>

#include "printing/QtPageCanvas.hpp"
#include "store/atomic_file.hpp"
#include "widgets/qt_text.hpp"

PrintPreview::PrintPreview(QWidget* parent)
    : QWidget(parent), printer_(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
    setObjectName(QStringLiteral("PrintPreview"));
    setAccessibleName(QStringLiteral("印刷プレビュー"));
    takeGeometry();
    describe();
}

PrintPreview::~PrintPreview() = default;

bool PrintPreview::hasPrinter() {
    return !QPrinterInfo::availablePrinters().isEmpty();
}
QString PrintPreview::noPrinterMessage() {
    return QStringLiteral("プリンタが登録されていません");
}

bool PrintPreview::canPrint() const {
    // A printer writing into a file (chosen in the printer set-up) needs no
    // installed printer. (Without printers Qt's printer starts as a PDF
    // writer with no file, which is no printer for the user.)
    if (printer_->outputFormat() == QPrinter::PdfFormat)
        return !printer_->outputFileName().isEmpty();
    return hasPrinter();
}

void PrintPreview::takeGeometry() {
    if (canPrint()) {
        dpiX_ = printer_->logicalDpiX();
        dpiY_ = printer_->logicalDpiY();
        pageDots_ = printer_->paperRect(QPrinter::DevicePixel).toRect().size();
        printableDots_ = printer_->pageRect(QPrinter::DevicePixel).toRect();
        return;
    }
    // An A4 sheet at 600 dpi with a 4 mm unprintable border.
    dpiX_ = dpiY_ = 600;
    pageDots_ = QSize(4961, 7016);
    printableDots_ = QRect(94, 94, 4961 - 2 * 94, 7016 - 2 * 94);
}

void PrintPreview::printerChanged() {
    takeGeometry();
    finishDocument();
}

void PrintPreview::newDocument() {
    takeGeometry();
    current_ = 1;
    FirstPage = 1;
    LastPage = 9999;
    pages_.clear();
    pages_.emplace_back();
}

tolven::PageCanvas& PrintPreview::canvas() {
    if (pages_.empty()) pages_.emplace_back();
    return pages_.back();
}

void PrintPreview::newPage() {
    pages_.emplace_back();
}

void PrintPreview::finishDocument() {
    QSize size = QSize(static_cast<int>(std::lround(screenScale() * pageDots_.width())),
                       static_cast<int>(std::lround(screenScale() * pageDots_.height())));
    setMinimumSize(size + QSize(20, 20));
    resize(size + QSize(20, 20));
    describe();
    update();
}

void PrintPreview::describe() {
    QString text = QStringLiteral("%1　%2ページ中%3ページ目　倍率%4%")
                       .arg(Title.isEmpty() ? QStringLiteral("ページなし") : Title)
                       .arg(PageCount())
                       .arg(PageCount() > 0 ? current_ : 0)
                       .arg(zoom_);
    if (current_ >= 1 && current_ <= PageCount()) {
        for (const std::string& line : pages_[static_cast<std::size_t>(current_ - 1)].texts())
            text += QLatin1Char('\n') + tolven::qs(line);
    }
    setAccessibleDescription(text);
}

void PrintPreview::setZoomScale(int percent) {
    if (percent < 25 || percent > 200 || percent == zoom_) return;
    zoom_ = percent;
    finishDocument();
}

void PrintPreview::setCurrentPage(int page) {
    if (page >= 1 && page <= PageCount()) {
        current_ = page;
        describe();
        update();
    }
}

std::vector<int> PrintPreview::pagesToPrint() const {
    std::vector<int> pages;
    for (int p = std::max(1, FirstPage); p <= std::min(PageCount(), LastPage); ++p)
        pages.push_back(p);
    return pages;
}

double PrintPreview::screenScale() const {
    double screen = logicalDpiY() > 0 ? logicalDpiY() : 96;
    return screen / dpiY_ * zoom_ / 100.0;
}

bool PrintPreview::print() {
    if (!canPrint()) return false;
    QPrinter& printer = *printer_;
    printer.setDocName(Title);
    QPainter painter;
    QString target = printer.outputFormat() == QPrinter::PdfFormat ? printer.outputFileName()
                                                                   : printer.printerName();
    if (!painter.begin(&printer)) {
        throw std::runtime_error("印刷できません：" + target.toStdString());
    }
    bool first = true;
    for (int p : pagesToPrint()) {
        if (!first) printer.newPage();
        first = false;
        int mx = MapMode == Resolution::pmmHi ? MarginLeft : MarginLeft * 10;
        int my = MapMode == Resolution::pmmHi ? MarginTop : MarginTop * 10;
        QtPageCanvas canvas(painter, printer.logicalDpiX(), printer.logicalDpiY(), logicalDpiY(),
                            mx, my);
        pages_[static_cast<std::size_t>(p - 1)].replay(canvas);
    }
    if (!painter.end()) throw std::runtime_error("印刷できません：" + target.toStdString());
    return true;
}

void PrintPreview::savePdf(const QString& file) const {
    QString error;
    if (!write_pdf(file, Title, pages_, &error)) throw tolven::FileError(error.toStdString());
}

void PrintPreview::paintEvent(QPaintEvent*) {
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
    int mx = MapMode == Resolution::pmmHi ? MarginLeft : MarginLeft * 10;
    int my = MapMode == Resolution::pmmHi ? MarginTop : MarginTop * 10;
    QtPageCanvas canvas(painter, dpiX_, dpiY_, 96, mx, my);
    pages_[static_cast<std::size_t>(current_ - 1)].replay(canvas);
    painter.restore();
}
