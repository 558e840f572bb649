#pragma once

#include <QIcon>
#include <QList>
#include <QObject>
#include <QSize>

#include <functional>

class QMdiArea;
class QMdiSubWindow;
class QWidget;

// The views inside the main window's area: each one a sub-window that is
// made once and lives as long as the program, whether it is shown, closed
// with its title-bar ×, minimised to an icon or arranged by the window
// menu.
class ViewManager : public QObject {
    Q_OBJECT

  public:
    // The smallest a tile gets: smaller than this a view cannot be read, so
    // the area scrolls instead.
    static constexpr QSize kLeastTile{320, 200};

    explicit ViewManager(QWidget* parent);

    QMdiArea* area() const { return area_; }
    // The icon in every view's title bar.
    void setIcon(const QIcon& icon);

    // A new view, hidden until it is shown. Its content scrolls inside the
    // sub-window when the sub-window is smaller than the content needs, or
    // than `readable` (for a content, such as a chart, that would shrink
    // below what can be read).
    QMdiSubWindow* add(const QString& title, QWidget* content, QSize readable = QSize());
    // Brings a view to the front filling the area, whatever state it was
    // left in (closed, minimised, hidden by a load).
    void show(QMdiSubWindow* view);
    void hide(QMdiSubWindow* view);
    // Whether a view is showing (closed and hidden ones are not).
    static bool isShown(const QMdiSubWindow* view);
    // The content a view was made with.
    static QWidget* contentOf(const QMdiSubWindow* view);

    void cascade();
    // Shows `alsoShow` where it is not showing, then lays every showing view
    // out side by side in a grid over the whole area, each tile at least
    // kLeastTile; when they do not all fit, the rows scroll.
    void tile(const QList<QMdiSubWindow*>& alsoShow);
    void minimiseAll();
    // The minimised views in a row along the bottom of the area.
    void arrangeIcons();

    // Called with whether any view is showing, whenever that may change
    // (the window menu's entries follow it).
    std::function<void(bool)> onShownChanged;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void shownChanged();
    void restoreContent(QMdiSubWindow* view);

    QMdiArea* area_ = nullptr;
    QIcon icon_;
};
