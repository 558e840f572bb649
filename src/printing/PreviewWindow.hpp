#pragma once

#include <QWidget>

#include <functional>

class QButtonGroup;
class QPrinter;
class QScrollArea;
class IniSettings;
class PrintPreview;

// The preview window: the page preview in a scroll box, "印刷(&P)",
// "ﾌﾟﾘﾝﾀ設定(&S)", "PDF保存", "閉じる" and the zoom group "倍率". Its bounds
// and zoom live in the settings file; closing it by either way saves its
// bounds.
class PreviewWindow : public QWidget {
    Q_OBJECT

  public:
    explicit PreviewWindow(IniSettings& ini, QWidget* parent = nullptr);

    PrintPreview* preview() const { return prev_; }
    // Re-applies the stored zoom and shows the window in front (after a
    // printout).
    void showDocument(const QString& caption);
    int zoomIndex() const;
    void setZoomIndex(int index);
    // The PDF file the next "PDF保存" writes without asking (tests).
    static void setNextPdfFile(const QString& file);
    // What the next "ﾌﾟﾘﾝﾀ設定" does to the printer instead of showing the
    // platform's dialog (tests).
    static void setNextPrinterSetup(std::function<void(QPrinter&)> setup);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    IniSettings& ini_;
    PrintPreview* prev_;
    QScrollArea* scroll_;
    QButtonGroup* zoom_;
};
