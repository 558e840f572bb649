#include "mainwindow/ViewManager.hpp"

#include <QEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScrollArea>
#include <QStyle>

#include <algorithm>

ViewManager::ViewManager(QWidget* parent) : QObject(parent) {
    area_ = new QMdiArea(parent);
    area_->setObjectName(QStringLiteral("MdiArea"));
    // With scroll bars a view larger than the area is scrolled to; without
    // them the area (and so the main window) would grow to the largest
    // view, beyond the screen.
    area_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    area_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // The toolbar buttons maximise the view they show; minimising the views
    // must not maximise the next one instead.
    area_->setOption(QMdiArea::DontMaximizeSubWindowOnActivation);
    area_->setBackground(QColor(128, 128, 128));
    connect(area_, &QMdiArea::subWindowActivated, this, [this] { shownChanged(); });
}

void ViewManager::setIcon(const QIcon& icon) {
    icon_ = icon;
    for (QMdiSubWindow* w : area_->subWindowList()) w->setWindowIcon(icon_);
}

QMdiSubWindow* ViewManager::add(const QString& title, QWidget* content, QSize readable) {
    content->setWindowTitle(title);
    if (readable.isValid()) content->setMinimumSize(content->minimumSize().expandedTo(readable));
    // The content keeps the size it needs; a smaller sub-window (a tile)
    // scrolls it.
    auto* scroller = new QScrollArea;
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setWidgetResizable(true);
    // The focus goes to the view's own controls, not to the frame around them.
    scroller->setFocusPolicy(Qt::NoFocus);
    scroller->setWidget(content);
    scroller->setWindowTitle(title);
    QMdiSubWindow* view = area_->addSubWindow(scroller);
    view->setWindowTitle(title);
    if (!icon_.isNull()) view->setWindowIcon(icon_);
    // The title-bar × only hides a view: it is made once and shown again.
    view->setAttribute(Qt::WA_DeleteOnClose, false);
    view->hide();
    view->installEventFilter(this);
    return view;
}

QWidget* ViewManager::contentOf(const QMdiSubWindow* view) {
    auto* scroller = qobject_cast<QScrollArea*>(view->widget());
    return scroller != nullptr ? scroller->widget() : view->widget();
}

bool ViewManager::isShown(const QMdiSubWindow* view) {
    // A minimised view hides its content but is still there, as an icon.
    return view != nullptr && !view->isHidden();
}

void ViewManager::show(QMdiSubWindow* view) {
    if (view == nullptr) return;
    // Maximising an icon straight away brings back its old, smaller frame:
    // it is restored first.
    if (view->isMinimized()) view->showNormal();
    restoreContent(view);
    view->showMaximized();
    area_->setActiveSubWindow(view);
    shownChanged();
}

void ViewManager::restoreContent(QMdiSubWindow* view) {
    // The title-bar × closes the sub-window's content along with it: both
    // come back.
    if (view->widget() != nullptr && view->widget()->isHidden() && !view->isMinimized())
        view->widget()->show();
}

void ViewManager::hide(QMdiSubWindow* view) {
    if (view != nullptr) view->hide();
}

void ViewManager::cascade() {
    area_->cascadeSubWindows();
}

void ViewManager::minimiseAll() {
    for (QMdiSubWindow* w : area_->subWindowList()) {
        if (isShown(w)) w->showMinimized();
    }
}

void ViewManager::tile(const QList<QMdiSubWindow*>& alsoShow) {
    for (QMdiSubWindow* w : alsoShow) {
        if (w == nullptr || isShown(w)) continue;
        w->showNormal();
        restoreContent(w);
    }
    QList<QMdiSubWindow*> views;
    for (QMdiSubWindow* w : area_->subWindowList(QMdiArea::CreationOrder)) {
        if (!isShown(w)) continue;
        if (w->isMinimized() || w->isMaximized()) w->showNormal();
        views << w;
    }
    if (views.isEmpty()) return;
    // The area as it is without scroll bars: a grid that fits needs none.
    QRect room = area_->contentsRect();
    room.moveTo(0, 0);
    const int n = static_cast<int>(views.size());
    // Of the grids whose cells are no smaller than kLeastTile, the one whose
    // cells come nearest to a landscape page (4:3) reads best.
    int columns = 0;
    double best = -1;
    for (int c = 1; c <= n; ++c) {
        int r = (n + c - 1) / c;
        int w = room.width() / c;
        int h = room.height() / r;
        if (w < kLeastTile.width() || h < kLeastTile.height()) continue;
        double score = std::min(w / 4.0, h / 3.0);
        if (score > best) {
            best = score;
            columns = c;
        }
    }
    int rows = 0;
    int height = 0;
    if (columns > 0) {
        rows = (n + columns - 1) / columns;
        height = room.height() / rows;
    } else {
        // They do not all fit: rows of the least height that the area
        // scrolls through, beside its vertical scroll bar (not under it,
        // where it would cover the title-bar buttons of the right column).
        room.setWidth(room.width() -
                      area_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, area_));
        columns = std::clamp(room.width() / kLeastTile.width(), 1, n);
        rows = (n + columns - 1) / columns;
        height = kLeastTile.height();
        room.setHeight(rows * height);
    }
    for (int i = 0; i < n; ++i) {
        int column = i % columns;
        int row = i / columns;
        // The last column and row take what division left over; a short
        // last row is widened to the whole area.
        int inRow = row == rows - 1 ? n - row * columns : columns;
        int cellWidth = room.width() / inRow;
        int x = column * cellWidth;
        int w = column == inRow - 1 ? room.width() - x : cellWidth;
        int h = row == rows - 1 ? std::max(height, room.height() - row * height) : height;
        views[i]->setGeometry(x, row * height, w, h);
    }
    shownChanged();
}

void ViewManager::arrangeIcons() {
    // Left to right in the order the views were made; a row that is full
    // continues above it.
    QRect area = area_->viewport()->rect();
    int x = 0;
    int bottom = area.bottom() + 1;
    int rowHeight = 0;
    for (QMdiSubWindow* w : area_->subWindowList(QMdiArea::CreationOrder)) {
        if (!isShown(w) || !w->isMinimized()) continue;
        QSize size = w->size();
        if (x > 0 && x + size.width() > area.width()) {
            x = 0;
            bottom -= rowHeight;
            rowHeight = 0;
        }
        w->move(x, bottom - size.height());
        x += size.width();
        rowHeight = std::max(rowHeight, size.height());
    }
}

bool ViewManager::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Hide || event->type() == QEvent::Show ||
        event->type() == QEvent::Close) {
        shownChanged();
    }
    return QObject::eventFilter(watched, event);
}

void ViewManager::shownChanged() {
    if (!onShownChanged) return;
    bool any = false;
    for (QMdiSubWindow* w : area_->subWindowList()) any = any || isShown(w);
    onShownChanged(any);
}
