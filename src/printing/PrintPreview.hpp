#pragma once

#include <QString>
#include <QWidget>

#include <memory>
#include <vector>

#include "layouts/page_recording.hpp"

class QPrinter;

// The page preview: the printout's pages, recorded in tenths of a
// millimetre, shown scaled on the printer's page with its printable area, and
// sent to the printer or to a PDF. The printer is the one the printer set-up
// edits. Without a printer (and no print-to-file chosen there) the preview
// uses an A4 page at 600 dpi and printing reports "プリンタが登録されていません".
class PrintPreview : public QWidget {
    Q_OBJECT

  public:
    enum class Resolution { pmmHi, pmmLo };

    explicit PrintPreview(QWidget* parent = nullptr);
    ~PrintPreview() override;

    // Starts a document: takes the printer's geometry, discards the pages
    // and opens page 1. False (and the message) when printing to paper is
    // asked for and no printer exists.
    void newDocument();
    // The canvas of the page being drawn.
    tolven::PageCanvas& canvas();
    void newPage();
    void finishDocument();

    // Sends pages FirstPage..min(PageCount, LastPage) to the printer; false
    // when there is no printer (the caller shows noPrinterMessage()). Throws
    // std::runtime_error, naming the printer, when printing fails.
    bool print();
    // Throws tolven::FileError with the file and the reason when the PDF
    // cannot be written.
    void savePdf(const QString& file) const;

    // The printer the pages go to; the printer set-up edits it.
    QPrinter& printer() { return *printer_; }
    // The printer's page geometry again (after the printer set-up).
    void printerChanged();
    bool canPrint() const;

    static bool hasPrinter();
    static QString noPrinterMessage();

    int ZoomScale() const { return zoom_; }
    // 25..200 percent; other values are ignored.
    void setZoomScale(int percent);
    int PageCount() const { return static_cast<int>(pages_.size()); }
    int CurrentPage() const { return current_; }
    void setCurrentPage(int page);
    int FirstPage = 1;
    int LastPage = 9999;
    QString Title;
    int MarginLeft = 0;
    int MarginTop = 0;
    Resolution MapMode = Resolution::pmmHi;

    // Pages that print() would send.
    std::vector<int> pagesToPrint() const;
    const std::vector<tolven::PageRecording>& pages() const { return pages_; }
    QSize pageSizeDots() const { return pageDots_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void takeGeometry();
    // What a screen reader says about the page: the title, the page and
    // zoom, and the page's texts.
    void describe();
    double screenScale() const;

    std::unique_ptr<QPrinter> printer_;
    std::vector<tolven::PageRecording> pages_;
    int current_ = 1;
    int zoom_ = 25;
    int dpiX_ = 600, dpiY_ = 600;
    QSize pageDots_{4961, 7016};
    QRect printableDots_{94, 94, 4772, 6827};
};
