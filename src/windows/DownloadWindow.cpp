#include "windows/DownloadWindow.hpp"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "jvlink/open_wait.hpp"
#include "store/cp932.hpp"
#include "widgets/IniSettings.hpp"
#include "widgets/EffectLabel.hpp"
#include "widgets/MessageDialog.hpp"
#include "widgets/qt_text.hpp"
#include "windows/BuiltLinesModel.hpp"

using tolven::qs;

namespace {

// How often a run lets pending events through (often enough for a window
// that answers at once) and shows its progress (often enough to follow it);
// rarely enough that a run takes about as long as one without a window.
constexpr int kPumpMs = 20;
constexpr int kShowMs = 100;

QDateTime to_qt(const tolven::DateTime& t) {
    return QDateTime(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second));
}

tolven::DateTime from_qt(const QDateTime& t) {
    return tolven::DateTime{t.date().year(), t.date().month(),  t.date().day(),
                            t.time().hour(), t.time().minute(), t.time().second()};
}

}  // namespace

DownloadWindow::DownloadWindow(tolven::JvLink& link, const tolven::DataStore& store,
                           tolven::CancelFlag& cancel, IniSettings& ini, QWidget* parent,
                           tolven::ImportController::Clock now)
    : QDialog(parent), ini_(ini) {
    setWindowTitle(QStringLiteral("ＪＶデータ取込"));
    setObjectName(QStringLiteral("DownloadWindow"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);
    resize(520, 480);

    auto* layout = new QVBoxLayout(this);
    auto* title = new EffectLabel(QStringLiteral("ＪＶデータ取込"), this);
    QFont titleFont(QStringLiteral("ＭＳ Ｐゴシック"), 16, QFont::Bold);
    title->setFont(titleFont);
    title->setTextStyle(EffectLabel::TextEffect::tsRaised);
    title->setFontColor(QColor(0, 0, 128));
    title->setMinimumHeight(30);
    layout->addWidget(title);

    auto* dateBox = new QGroupBox(QStringLiteral("取得開始日付"), this);
    auto* dateLayout = new QHBoxLayout(dateBox);
    picker_ = new QDateTimeEdit(dateBox);
    picker_->setObjectName(QStringLiteral("FromDatePicker"));
    picker_->setDisplayFormat(QStringLiteral("yyyy年M月d日 H:mm:ss"));
    picker_->setCalendarPopup(true);
    picker_->setAccessibleName(QStringLiteral("取得開始日付"));
    dateLayout->addWidget(picker_);
    hiddenLabel_ = new QLabel(dateBox);
    hiddenLabel_->setVisible(false);
    dateLayout->addWidget(hiddenLabel_);
    layout->addWidget(dateBox);

    auto* buttons = new QHBoxLayout;
    startBtn_ = new QPushButton(QStringLiteral("データ取込み開始"), this);
    cancelBtn_ = new QPushButton(QStringLiteral("データ取込み中止"), this);
    settingsBtn_ = new QPushButton(QStringLiteral("JVLink設定"), this);
    const QString settingsHint =
        QStringLiteral("JRA-VAN　Data Lab.のサービスキーやデータ保存場所の設定をします");
    settingsBtn_->setToolTip(settingsHint);
    settingsBtn_->setStatusTip(settingsHint);
    for (QPushButton* b : {startBtn_, cancelBtn_, settingsBtn_}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    layout->addLayout(buttons);

    progressLine_ = new EffectLabel(this);
    progressLine_->setObjectName(QStringLiteral("ProgressLine"));
    progressLine_->setTextStyle(EffectLabel::TextEffect::tsRaised);
    progressLine_->setBorder(true);
    progressLine_->setBorderType(EffectLabel::BorderStyle::btRecessed);
    progressLine_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QFont lineFont(QStringLiteral("ＭＳ Ｐゴシック"), 11, QFont::Bold);
    progressLine_->setFont(lineFont);
    progressLine_->setFontColor(Qt::blue);
    progressLine_->setMinimumHeight(26);
    layout->addWidget(progressLine_);

    openNotice_ = new QLabel(this);
    openNotice_->setObjectName(QStringLiteral("OpenNotice"));
    openNotice_->setWordWrap(true);
    openNotice_->setFrameShape(QFrame::StyledPanel);
    openNotice_->setStyleSheet(QStringLiteral("QLabel { background: #fff8dc; padding: 4px; }"));
    openNotice_->setVisible(false);
    layout->addWidget(openNotice_);

    auto* bars = new QGridLayout;
    bar1_ = new QProgressBar(this);
    bar2_ = new QProgressBar(this);
    bar1_->setAccessibleName(QStringLiteral("ダウンロード"));
    bar2_->setAccessibleName(QStringLiteral("読込み"));
    bars->addWidget(new QLabel(QStringLiteral("ダウンロード"), this), 0, 0);
    bars->addWidget(bar1_, 0, 1);
    bars->addWidget(new QLabel(QStringLiteral("読込み"), this), 1, 0);
    bars->addWidget(bar2_, 1, 1);
    layout->addLayout(bars);

    layout->addWidget(new QLabel(QStringLiteral("作成済みデータ"), this));
    builtList_ = new QListView(this);
    builtList_->setObjectName(QStringLiteral("BuiltList"));
    builtList_->setAccessibleName(QStringLiteral("作成済みデータ"));
    builtList_->setUniformItemSizes(true);
    builtList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    builtLines_ = new BuiltLinesModel(this);
    builtList_->setModel(builtLines_);
    layout->addWidget(builtList_, 1);

    timer_ = new QTimer(this);
    timer_->setInterval(10);
    connect(timer_, &QTimer::timeout, this, &DownloadWindow::pollDownloadStatus);
    connect(startBtn_, &QPushButton::clicked, this, &DownloadWindow::startImport);
    connect(cancelBtn_, &QPushButton::clicked, this, &DownloadWindow::cancelImport);
    connect(settingsBtn_, &QPushButton::clicked, this, &DownloadWindow::openJvLinkSettings);
    connect(picker_, &QDateTimeEdit::dateTimeChanged, this, [this](const QDateTime& t) {
        controller_->set_from_time(from_qt(t));
        hiddenLabel_->setText(t.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")));
    });

    controller_ =
        std::make_unique<tolven::ImportController>(link, store, cancel, *this, std::move(now));
    controller_->open();
}

DownloadWindow::~DownloadWindow() {
    // The reading is always closed: one left open makes the next start fail.
    if (controller_) controller_->abandon();
}

void DownloadWindow::done(int result) {
    if (busy_) {
        controller_->cancel();
        if (!controller_->cancel_requested()) return;  // the user said No
        // A cancelled download is closed at once; a reading loop closes its
        // reading at its next turn, and the window goes after it.
        if (busy_) {
            closeAfterRun_ = true;
            return;
        }
    }
    QDialog::done(result);
}

void DownloadWindow::closeIfAsked() {
    if (closeAfterRun_ && !busy_) {
        closeAfterRun_ = false;
        QDialog::done(QDialog::Rejected);
    }
}

QString DownloadWindow::progressText() const {
    return progressLine_->Caption();
}
QString DownloadWindow::hiddenLabelText() const {
    return hiddenLabel_->text();
}
bool DownloadWindow::timerActive() const {
    return timer_->isActive();
}

void DownloadWindow::startImport() {
    // A second start while one runs would interleave two readings.
    startBtn_->setEnabled(false);
    pumped_.invalidate();
    controller_->start();
    if (!controller_->downloading()) startBtn_->setEnabled(true);
    showProgress();
    closeIfAsked();
}

void DownloadWindow::cancelImport() {
    controller_->cancel();
    if (!controller_->downloading() && !busy_) startBtn_->setEnabled(true);
    closeIfAsked();
}

void DownloadWindow::openJvLinkSettings() {
    controller_->settings();
}

void DownloadWindow::pollDownloadStatus() {
    // While the download gets on, it is asked again at once, for up to one
    // pumping interval: a component that copies a file per question (the
    // feed folder's) is not held back by the timer's interval, and one that
    // downloads in its own time is asked once per tick.
    QElapsedTimer spent;
    spent.start();
    int before = 0;
    do {
        before = pendingBar_[0];
        controller_->status_tick();
    } while (controller_->downloading() && pendingBar_[0] != before && spent.elapsed() < kPumpMs);
    if (!controller_->downloading() && !busy_) startBtn_->setEnabled(true);
    showProgress();
    closeIfAsked();
}

void DownloadWindow::beep() {
    QApplication::beep();
}

void DownloadWindow::show_information(const std::string& text) {
    showProgress();
    MessageDialog dlg;
    dlg.DisplayMsg = qs(text);
    dlg.Execute(this);
}

bool DownloadWindow::confirm(const std::string& text) {
    return MessageDialog::confirm(this, qs(text));
}

void DownloadWindow::set_progress_line(const std::string& text) {
    if (busy_) {
        pendingLine_ = qs(text);
        lineChanged_ = true;
    } else {
        progressLine_->setCaption(qs(text));
    }
}

void DownloadWindow::set_bar_range(int bar, int maximum) {
    (bar == 1 ? bar1_ : bar2_)->setRange(0, maximum);
}

void DownloadWindow::set_bar_position(int bar, int position) {
    if (busy_) {
        pendingBar_[bar == 1 ? 0 : 1] = position;
    } else {
        (bar == 1 ? bar1_ : bar2_)->setValue(position);
    }
}

void DownloadWindow::clear_built_lines() {
    builtLines_->clear();
}

void DownloadWindow::add_built_line(const std::string& text) {
    builtLines_->add(text);
}

void DownloadWindow::showProgress() {
    shown_.start();
    if (lineChanged_) {
        progressLine_->setCaption(pendingLine_);
        lineChanged_ = false;
    }
    for (int i = 0; i < 2; ++i) {
        if (pendingBar_[i] < 0) continue;
        (i == 0 ? bar1_ : bar2_)->setValue(pendingBar_[i]);
        pendingBar_[i] = -1;
    }
    if (!builtLines_->hasPending()) return;
    builtLines_->append();
    builtList_->scrollToBottom();
}

void DownloadWindow::set_busy_cursor(bool busy) {
    if (busy == busy_) return;
    busy_ = busy;
    if (busy) {
        QApplication::setOverrideCursor(Qt::BusyCursor);
    } else {
        showProgress();
        QApplication::restoreOverrideCursor();
        startBtn_->setEnabled(!controller_ || !controller_->downloading());
    }
}

void DownloadWindow::process_events() {
    if (pumped_.isValid() && pumped_.elapsed() < kPumpMs) return;
    if (!shown_.isValid() || shown_.elapsed() >= kShowMs) showProgress();
    QApplication::processEvents();
    pumped_.start();
}

void DownloadWindow::set_status_timer(bool enabled) {
    if (enabled) {
        timer_->start();
    } else {
        timer_->stop();
    }
}

void DownloadWindow::show_from_time(const tolven::DateTime& from_time) {
    QSignalBlocker block(picker_);
    picker_->setDateTime(to_qt(from_time));
    hiddenLabel_->setText(to_qt(from_time).toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")));
}

void DownloadWindow::open_waiting(int seconds) {
    // TOLVEN never answers JV-Link's own windows; it says where to look.
    if (seconds > 0) {
        openNotice_->setText(qs(tolven::open_wait_notice(seconds)));
        openNotice_->setAccessibleName(openNotice_->text());
    }
    openNotice_->setVisible(seconds > 0);
}

std::optional<std::string> DownloadWindow::read_last_time() {
    QString value = ini_.readText(tolven::settings::last_import);
    if (value.isEmpty()) return std::nullopt;
    return value.toStdString();
}

void DownloadWindow::write_last_time(const std::string& text) {
    ini_.writeText(tolven::settings::last_import, QString::fromStdString(text));
}
