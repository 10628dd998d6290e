#include "editor/application/editor_message_handler.h"

#include <velmora/Log.h>

namespace Editor {

MessageRoute routeMessage(QtMsgType type, const QString &formatted)
{
    switch (type) {
    case QtDebugMsg:
    case QtInfoMsg:
        return MessageRoute::Message;
    case QtWarningMsg:
        if (formatted.contains(QLatin1String("QWindowsWindow::setGeometry: Unable to set geometry"))
            || formatted.contains(QLatin1String("QXcbConnection")))
            return MessageRoute::Drop;
        return MessageRoute::Warning;
    case QtCriticalMsg:
        if (formatted.contains(QLatin1String("QXcbConnection")))
            return MessageRoute::Drop;
        return MessageRoute::Error;
    case QtFatalMsg:
        return MessageRoute::Fatal;
    }
    return MessageRoute::Drop;
}

void editorMessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const QString formatted = qFormatLogMessage(type, context, message);
    const MessageRoute route = routeMessage(type, formatted);
    if (route == MessageRoute::Drop)
        return;
    const QByteArray text = formatted.toUtf8();
    switch (route) {
    case MessageRoute::Message:
        Velmora::Log::message("%s\n", text.constData());
        break;
    case MessageRoute::Warning:
        Velmora::Log::warning("%s\n", text.constData());
        break;
    case MessageRoute::Error:
        Velmora::Log::error("%s\n", text.constData());
        break;
    case MessageRoute::Fatal:
        Velmora::Log::fatal("%s\n", text.constData());
        break;
    case MessageRoute::Drop:
        break;
    }
}

} // namespace Editor
