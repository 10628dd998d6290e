#pragma once

#include <QList>
#include <QMutex>
#include <QStringList>
#include <QtGlobal>

namespace test {

// Collects every Qt message (from any thread) while it exists and passes it
// on to the handler installed before it.
class MessageCapture
{
public:
    MessageCapture();
    ~MessageCapture();
    MessageCapture(const MessageCapture &) = delete;
    MessageCapture &operator=(const MessageCapture &) = delete;

    QStringList messages() const;
    QList<QtMsgType> types() const;
    // Messages of one type that contain the text.
    int count(QtMsgType type, const QString &text) const;

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &message);

    QtMessageHandler previous_ = nullptr;
    mutable QMutex mutex_;
    QStringList messages_;
    QList<QtMsgType> types_;
};

} // namespace test
