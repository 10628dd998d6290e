#pragma once

#include <QString>
#include <QtGlobal>

namespace Editor {

// Where a Qt message goes in the engine log.
enum class MessageRoute {
    Drop,
    Message,
    Warning,
    Error,
    Fatal,
};

// The routing table of the editor's Qt message handler: debug and info become
// engine messages, warnings warnings, criticals errors and fatals fatals;
// window-system noise is dropped. formatted is the text after
// qFormatLogMessage.
MessageRoute routeMessage(QtMsgType type, const QString &formatted);

// The installed Qt message handler: every Qt log line of the editor reaches
// the engine log through here. The text is passed through "%s\n", never as
// the format itself.
void editorMessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message);

} // namespace Editor
