#include "mainwindow/TProgressForm.hpp"

#include <QApplication>
#include <QProgressBar>
#include <QVBoxLayout>

#include "widgets/TLabel3Dj.hpp"

TProgressForm::TProgressForm(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("読込み中"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    auto* layout = new QVBoxLayout(this);
    text_ = new TLabel3Dj(QStringLiteral("データを読み込んでいます..."), this);
    text_->setObjectName(QStringLiteral("ProgressLabel"));
    text_->setTextStyle(TLabel3Dj::TTextStyle::tsRaised);
    text_->setMinimumSize(300, 24);
    QFont f = text_->font();
    f.setFamily(QStringLiteral("ＭＳ Ｐゴシック"));
    f.setBold(true);
    text_->setFont(f);
    bar_ = new QProgressBar(this);
    layout->addWidget(text_);
    layout->addWidget(bar_);
}

void TProgressForm::start(const QString& caption, int maximum) {
    setWindowTitle(caption);
    text_->setCaption(caption + QStringLiteral(" を読み込んでいます..."));
    bar_->setRange(0, maximum);
    bar_->setValue(0);
    show();
    // The window is drawn once before the load takes the thread.
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TProgressForm::setPosition(int position) {
    bar_->setValue(position);
}
int TProgressForm::position() const {
    return bar_->value();
}

void TProgressForm::finish() {
    hide();
}
