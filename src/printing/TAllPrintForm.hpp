#pragma once

#include <QWidget>

class QButtonGroup;
class QScrollArea;
class TIniGT;
class TPrevX;

// The preview window: the page preview in a scroll box, "印刷(&P)",
// "ﾌﾟﾘﾝﾀ設定(&S)", "PDF保存", Close and the zoom group "倍率". Its bounds and
// zoom live in the settings file.
class TAllPrintForm : public QWidget {
    Q_OBJECT

  public:
    explicit TAllPrintForm(TIniGT& ini, QWidget* parent = nullptr);

    TPrevX* preview() const { return prev_; }
    // Re-applies the stored zoom and shows the window (after a printout).
    void showDocument(const QString& caption);
    int zoomIndex() const;
    void setZoomIndex(int index);
    // The PDF file the next "PDF保存" writes without asking (tests).
    static void setNextPdfFile(const QString& file);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    TIniGT& ini_;
    TPrevX* prev_;
    QScrollArea* scroll_;
    QButtonGroup* zoom_;
};
