#include "window_system.h"

#include <qpa/qwindowsysteminterface.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <memory>

namespace test {

void setApplicationState(Qt::ApplicationState state)
{
    QWindowSystemInterface::handleApplicationStateChanged(state, true);
    QWindowSystemInterface::flushWindowSystemEvents();
    QCoreApplication::processEvents();
}

void sendSpontaneousClose(QWidget *widget)
{
    if (!widget->windowHandle())
        widget->createWinId();
    QWindowSystemInterface::handleCloseEvent(widget->windowHandle());
    QWindowSystemInterface::flushWindowSystemEvents();
    QCoreApplication::processEvents();
}

void answerNextMessageBox(QMessageBox::StandardButton button, int timeout_ms)
{
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    auto timer = new QTimer(qApp);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, clock, button, timeout_ms] {
        const auto boxes = QApplication::topLevelWidgets();
        for (QWidget *widget : boxes) {
            auto box = qobject_cast<QMessageBox *>(widget);
            if (!box || !box->isVisible())
                continue;
            if (QAbstractButton *target = box->button(button))
                target->click();
            else
                box->done(button);
            timer->deleteLater();
            return;
        }
        if (clock->elapsed() > timeout_ms) {
            qWarning("answerNextMessageBox: no message box appeared");
            timer->deleteLater();
        }
    });
    timer->start();
}

} // namespace test

namespace test {

QString isolateSettings()
{
    static QTemporaryDir folder(QDir::tempPath() + QLatin1String("/velmora-settings-XXXXXX"));
    qputenv("XDG_CONFIG_HOME", folder.path().toUtf8());
    return folder.path();
}

} // namespace test
