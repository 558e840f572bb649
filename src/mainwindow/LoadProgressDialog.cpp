#include "mainwindow/LoadProgressDialog.hpp"

#include <QApplication>
#include <QProgressBar>
#include <QVBoxLayout>

#include "widgets/EffectLabel.hpp"

LoadProgressDialog::LoadProgressDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("読込み中"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    auto* layout = new QVBoxLayout(this);
    text_ = new EffectLabel(QStringLiteral("データを読み込んでいます..."), this);
    text_->setObjectName(QStringLiteral("ProgressLabel"));
    text_->setTextStyle(EffectLabel::TextEffect::tsRaised);
    text_->setMinimumSize(300, 24);
    QFont f = text_->font();
    f.setFamily(QStringLiteral("ＭＳ Ｐゴシック"));
    f.setBold(true);
    text_->setFont(f);
    bar_ = new QProgressBar(this);
    layout->addWidget(text_);
    layout->addWidget(bar_);
}

void LoadProgressDialog::start(const QString& caption, int maximum) {
    setWindowTitle(caption);
    text_->setCaption(caption + QStringLiteral(" を読み込んでいます..."));
    bar_->setRange(0, maximum);
    bar_->setValue(0);
    position_ = 0;
    show();
    // The window is drawn once before the load takes the thread.
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    sinceShown_.start();
}

void LoadProgressDialog::setPosition(int position) {
    position_ = position;
    // QProgressBar draws itself at once on every visible change; a slow load
    // still shows the bar moving.
    constexpr qint64 kRedrawMs = 30;
    if (!sinceShown_.isValid() || sinceShown_.elapsed() >= kRedrawMs) {
        bar_->setValue(position);
        sinceShown_.start();
    }
}
int LoadProgressDialog::position() const {
    return position_;
}

void LoadProgressDialog::finish() {
    hide();
}
