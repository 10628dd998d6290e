#include "window_system.h"

#include "message_boxes.h"

#include <qpa/qwindowsysteminterface.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <QWindow>

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
    auto *boxes = new MessageBoxes(qApp);
    boxes->answer(button);
    boxes->onShow([boxes](const MessageBoxes::Box &) { boxes->deleteLater(); });
    QPointer<MessageBoxes> guard(boxes);
    QTimer::singleShot(timeout_ms, qApp, [guard] {
        if (!guard)
            return;
        qWarning("answerNextMessageBox: no message box appeared");
        guard->deleteLater();
    });
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
