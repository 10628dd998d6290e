#include "editor_core/View.h"

#include <QCloseEvent>

View::View(QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MainWindow"));
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

void View::closeEvent(QCloseEvent *event)
{
    if (confirmQuit())
        event->accept();
    else
        event->ignore();
}
