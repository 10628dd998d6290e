#include "editor_core/WidgetUtils.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

void moveToScreenCenter(QWidget *reference, QWidget *window)
{
    if (!window)
        return;
    QScreen *screen = nullptr;
    if (reference) {
        screen = QGuiApplication::screenAt(reference->mapToGlobal(reference->rect().center()));
        if (!screen && reference->window()->windowHandle())
            screen = reference->window()->windowHandle()->screen();
    }
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    // The frame is not known before the first show; the widget's own size
    // is then the best guess.
    const QSize size = window->isVisible() ? window->frameGeometry().size() : window->size();
    window->move(available.x() + (available.width() - size.width()) / 2,
                 available.y() + (available.height() - size.height()) / 2);
}
