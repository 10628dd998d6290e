#include "editor_core/View.h"

#include <QCloseEvent>
#include <QLayout>
#include <QScreen>

#include <algorithm>

View::View(QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MainWindow"));
    // A minimum of the window's own: the layout then leaves the minimum to
    // updateMinimumSize instead of growing the window to whatever the docks
    // ask for.
    setMinimumSize(1, 1);
}

View::~View() = default;

void View::setQuitGuard(QuitGuard guard)
{
    quit_guard_ = std::move(guard);
}

bool View::confirmQuit()
{
    if (!quit_guard_)
        return true;
    if (asking_)
        return false;
    asking_ = true;
    // The guard may be replaced while it asks: the one asked is kept alive.
    const QuitGuard guard = quit_guard_;
    const bool may_quit = guard();
    asking_ = false;
    return may_quit;
}

void View::updateMinimumSize()
{
    QLayout *main_layout = layout();
    if (!main_layout)
        return;
    QSize wanted = main_layout->totalMinimumSize();
    const QSize frame_margins = frameGeometry().size() - size();
    QRect room;
    if (const QScreen *current = screen()) {
        room = current->availableGeometry();
        wanted = wanted.boundedTo(room.size() - frame_margins);
    }
    // At least one pixel each way, so that the minimum stays the window's
    // own in both directions.
    wanted = wanted.expandedTo(QSize(1, 1));
    if (wanted == minimumSize())
        return;
    const QSize before = size();
    setMinimumSize(wanted);
    if (size() == before || !room.isValid())
        return;
    // Grown: back inside the available area, the top left corner first.
    const QRect frame(frameGeometry().topLeft(), size() + frame_margins);
    QPoint top_left = frame.topLeft();
    top_left.setX(std::max(room.left(), std::min(top_left.x(), room.right() + 1 - frame.width())));
    top_left.setY(std::max(room.top(), std::min(top_left.y(), room.bottom() + 1 - frame.height())));
    if (top_left != frame.topLeft())
        move(top_left);
}

bool View::event(QEvent *event)
{
    // The layout has just been brought up to date (before the window sees
    // the request).
    const bool result = QMainWindow::event(event);
    if (event->type() == QEvent::LayoutRequest)
        updateMinimumSize();
    return result;
}

void View::closeEvent(QCloseEvent *event)
{
    if (confirmQuit())
        event->accept();
    else
        event->ignore();
}
