#pragma once

#include <QDialog>
#include <QElapsedTimer>

#include <memory>

#include "jvlink/import.hpp"

class QDateTimeEdit;
class QLabel;
class BuiltLinesModel;
class QListView;
class QProgressBar;
class QPushButton;
class QTimer;
class IniSettings;
class EffectLabel;

// The data download window "ＪＶデータ取込": it drives the import controller
// and shows its progress; every filing rule lives in the controller. While a
// run is open the window closes only through the question of 中止, after the
// reading is closed.
class DownloadWindow : public QDialog, public tolven::ImportHost {
    Q_OBJECT

  public:
    DownloadWindow(tolven::JvLink& link, const tolven::DataStore& store, tolven::CancelFlag& cancel,
                 IniSettings& ini, QWidget* parent = nullptr,
                 tolven::ImportController::Clock now = &tolven::DateTime::now);
    ~DownloadWindow() override;

    tolven::ImportController& controller() { return *controller_; }
    QPushButton* startButton() const { return startBtn_; }
    QPushButton* cancelButton() const { return cancelBtn_; }
    QPushButton* settingsButton() const { return settingsBtn_; }
    // The list of built data; its model holds one row per line.
    QListView* builtList() const { return builtList_; }
    QString progressText() const;
    QDateTimeEdit* datePicker() const { return picker_; }
    QString hiddenLabelText() const;
    // The notice that JV-Link may be waiting for an answer in a window of its
    // own; shown while an open takes longer than a few seconds.
    QLabel* openNotice() const { return openNotice_; }
    bool timerActive() const;
    // A start or a download is open (from データ取込み開始 until the reading
    // is closed).
    bool running() const { return busy_; }

    // Closing (title bar, Esc) while running asks as 中止 does; the window
    // then closes once the reading is closed.
    void done(int result) override;

    // ImportHost
    void beep() override;
    void show_information(const std::string& text) override;
    bool confirm(const std::string& text) override;
    void set_progress_line(const std::string& text) override;
    void set_bar_range(int bar, int maximum) override;
    void set_bar_position(int bar, int position) override;
    void clear_built_lines() override;
    void add_built_line(const std::string& text) override;
    void set_busy_cursor(bool busy) override;
    void process_events() override;
    void set_status_timer(bool enabled) override;
    void show_from_time(const tolven::DateTime& from_time) override;
    void open_waiting(int seconds) override;
    std::optional<std::string> read_last_time() override;
    void write_last_time(const std::string& text) override;

  private slots:
    void startImport();
    void cancelImport();
    void openJvLinkSettings();
    void pollDownloadStatus();

  private:
    // Shows what came in since the last time: the progress line, the bars'
    // positions and the new built-data lines in one go.
    void showProgress();
    void closeIfAsked();

    IniSettings& ini_;
    std::unique_ptr<tolven::ImportController> controller_;
    QDateTimeEdit* picker_;
    QLabel* hiddenLabel_;
    QPushButton* startBtn_;
    QPushButton* cancelBtn_;
    QPushButton* settingsBtn_;
    EffectLabel* progressLine_;
    QLabel* openNotice_;
    QProgressBar* bar1_;
    QProgressBar* bar2_;
    QListView* builtList_;
    BuiltLinesModel* builtLines_;
    QTimer* timer_;
    bool busy_ = false;
    bool closeAfterRun_ = false;
    // When pending events were last let through, and when the progress was
    // last shown, during a run.
    QElapsedTimer pumped_;
    QElapsedTimer shown_;
    // Progress not shown yet: a run reports it per record and per file, far
    // more often than anyone can read it, and a progress bar repaints at
    // once when it moves. -1: shown.
    int pendingBar_[2] = {-1, -1};
    QString pendingLine_;
    bool lineChanged_ = false;
};
