#pragma once

// The editor's look in a test: the style sheet, proxy style and fonts the
// application sets, so that what a window measures is what the user sees.
// The test links the editor's resources ($<TARGET_OBJECTS:editor_resources>).

#include <editor_core/EditorProxyStyle.h>

#include <QApplication>
#include <QFile>
#include <QFontDatabase>

namespace test {

// False when the resources are not linked in.
inline bool applyEditorLook()
{
    QFile style(QStringLiteral(":/qdarkstyle/style.qss"));
    if (!style.open(QIODevice::ReadOnly))
        return false;
    qApp->setStyleSheet(QString::fromUtf8(style.readAll()));
    qApp->setStyle(new EditorProxyStyle);
    QFontDatabase::addApplicationFont(QStringLiteral(":/fonts/Roboto-Regular.ttf"));
    QFontDatabase::addApplicationFont(QStringLiteral(":/fonts/Roboto-Light.ttf"));
    return true;
}

} // namespace test
