#include "editor_core/workspace/Workspace.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

namespace workspace {

QByteArray getDefaultMainWindowGeometry()
{
    QRect available(0, 0, 1280, 720);
    if (QScreen *screen = QGuiApplication::primaryScreen())
        available = screen->availableGeometry();
    const int width = int(available.width() * 0.75);
    const int height = int(available.height() * 0.75);

    // A widget that is never shown: its saveGeometry bytes carry the size
    // and position a real main window restores.
    QWidget probe;
    probe.setAttribute(Qt::WA_DontShowOnScreen);
    probe.resize(width, height);
    probe.move(available.x() + (available.width() - width) / 2, available.y() + (available.height() - height) / 2);
    return probe.saveGeometry();
}

QVariant getDefaultMainWindowLayout()
{
    return QVariant();
}

} // namespace workspace
