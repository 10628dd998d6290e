#include "launcher_style.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QIcon>
#include <QStyleFactory>

void applyLauncherStyle(QApplication &application)
{
    Q_INIT_RESOURCE(launcher);
    if (QStyle *fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        application.setStyle(fusion);
    QFontDatabase::addApplicationFont(QStringLiteral(":/fonts/Roboto-Regular.ttf"));
    QFontDatabase::addApplicationFont(QStringLiteral(":/fonts/Roboto-Light.ttf"));
    QFile style(QStringLiteral(":/qdarkstyle/style.qss"));
    if (style.open(QIODevice::ReadOnly))
        application.setStyleSheet(QString::fromUtf8(style.readAll()));
    application.setWindowIcon(QIcon(QStringLiteral(":/images/editor_icon.png")));
}
