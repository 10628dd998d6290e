#include "editor_core/utils/OverrideCursor.h"

#include <QCursor>
#include <QGuiApplication>

namespace utils {

OverrideCursor::OverrideCursor(Qt::CursorShape shape)
{
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        QGuiApplication::setOverrideCursor(QCursor(shape));
        active_ = true;
    }
}

OverrideCursor::~OverrideCursor()
{
    restore();
}

void OverrideCursor::restore()
{
    if (!active_)
        return;
    active_ = false;
    QGuiApplication::restoreOverrideCursor();
}

} // namespace utils
