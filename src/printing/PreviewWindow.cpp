#include "printing/PreviewWindow.hpp"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "printing/PrintPreview.hpp"
#include "widgets/IniSettings.hpp"
#include "widgets/MessageDialog.hpp"
#include "widgets/error_boundary.hpp"

namespace {

QString next_pdf_file;
std::function<void(QPrinter&)> next_printer_setup;
const int kZooms[] = {25, 50, 75, 100};

}  // namespace

void PreviewWindow::setNextPdfFile(const QString& file) {
    next_pdf_file = file;
}

void PreviewWindow::setNextPrinterSetup(std::function<void(QPrinter&)> setup) {
    next_printer_setup = std::move(setup);
}

PreviewWindow::PreviewWindow(IniSettings& ini, QWidget* parent)
    : QWidget(parent, Qt::Window), ini_(ini) {
    setWindowTitle(QStringLiteral("全買い目印刷"));
    setWindowFlags(Qt::Window | Qt::WindowMaximizeButtonHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    auto* layout = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    auto* print = new QPushButton(QStringLiteral("印刷(&P)"), this);
    auto* setup = new QPushButton(QStringLiteral("ﾌﾟﾘﾝﾀ設定(&S)"), this);
    auto* pdf = new QPushButton(QStringLiteral("PDF保存"), this);
    pdf->setObjectName(QStringLiteral("PdfButton"));
    auto* close = new QPushButton(QStringLiteral("閉じる"), this);
    print->setObjectName(QStringLiteral("PrintButton"));
    setup->setObjectName(QStringLiteral("SetupButton"));
    close->setObjectName(QStringLiteral("CloseButton"));
    for (QPushButton* b : {print, setup, pdf, close}) bar->addWidget(b);
    auto* zoomBox = new QGroupBox(QStringLiteral("倍率"), this);
    auto* zoomLayout = new QHBoxLayout(zoomBox);
    zoom_ = new QButtonGroup(this);
    for (int i = 0; i < 4; ++i) {
        auto* r = new QRadioButton(QStringLiteral("%1%").arg(kZooms[i]), zoomBox);
        zoom_->addButton(r, i);
        zoomLayout->addWidget(r);
    }
    bar->addWidget(zoomBox);
    bar->addStretch(1);
    layout->addLayout(bar);
    scroll_ = new QScrollArea(this);
    prev_ = new PrintPreview(scroll_);
    scroll_->setWidget(prev_);
    scroll_->setBackgroundRole(QPalette::Dark);
    layout->addWidget(scroll_, 1);

    namespace settings = tolven::settings;
    move(ini_.read(settings::print_left), ini_.read(settings::print_top));
    resize(ini_.read(settings::print_width), ini_.read(settings::print_height));
    setZoomIndex(ini_.read(settings::print_zoom));

    connect(zoom_, &QButtonGroup::idClicked, this, [this](int id) {
        prev_->setZoomScale(kZooms[id]);
        tolven::guarded(this, QStringLiteral("設定を保存できませんでした。"),
                        [&] { ini_.write(tolven::settings::print_zoom, id); });
    });
    connect(print, &QPushButton::clicked, this, [this] {
        bool printed = true;
        tolven::guarded(this, QStringLiteral("印刷できませんでした。"),
                        [&] { printed = prev_->print(); });
        if (!printed) MessageDialog::warning(this, PrintPreview::noPrinterMessage());
    });
    // The set-up edits the printer that 印刷 then uses.
    connect(setup, &QPushButton::clicked, this, [this] {
        if (next_printer_setup) {
            auto setupNow = std::move(next_printer_setup);
            next_printer_setup = nullptr;
            setupNow(prev_->printer());
        } else {
            QPrintDialog dialog(&prev_->printer(), this);
            dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
            if (dialog.exec() != QDialog::Accepted) return;
        }
        prev_->printerChanged();
    });
    connect(pdf, &QPushButton::clicked, this, [this] {
        QString file = next_pdf_file;
        next_pdf_file.clear();
        if (file.isEmpty()) {
            file = QFileDialog::getSaveFileName(this, QStringLiteral("PDF保存"),
                                                prev_->Title + QStringLiteral(".pdf"),
                                                QStringLiteral("PDF (*.pdf)"));
        }
        if (file.isEmpty()) return;
        tolven::guarded(this, QStringLiteral("PDFを保存できませんでした。"),
                        [&] { prev_->savePdf(file); });
    });
    // Like the title bar's close, so that the bounds are kept.
    connect(close, &QPushButton::clicked, this, &QWidget::close);
}

int PreviewWindow::zoomIndex() const {
    return zoom_->checkedId();
}

void PreviewWindow::setZoomIndex(int index) {
    index = tolven::setting_in_range(tolven::settings::print_zoom, index);
    zoom_->button(index)->setChecked(true);
    prev_->setZoomScale(kZooms[index]);
}

void PreviewWindow::showDocument(const QString& caption) {
    setWindowTitle(caption);
    prev_->Title = caption;
    setZoomIndex(zoomIndex());
    prev_->finishDocument();
    show();
    raise();
    activateWindow();
}

void PreviewWindow::closeEvent(QCloseEvent* event) {
    namespace settings = tolven::settings;
    // The window closes even where its bounds cannot be kept.
    tolven::guarded(this, QStringLiteral("設定を保存できませんでした。"), [&] {
        ini_.write(settings::print_top, y());
        ini_.write(settings::print_left, x());
        ini_.write(settings::print_width, width());
        ini_.write(settings::print_height, height());
    });
    event->accept();
}
