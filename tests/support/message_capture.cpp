#include "message_capture.h"

namespace test {

namespace {

MessageCapture *current = nullptr;

} // namespace

MessageCapture::MessageCapture()
{
    current = this;
    previous_ = qInstallMessageHandler(&MessageCapture::handle);
}

MessageCapture::~MessageCapture()
{
    qInstallMessageHandler(previous_);
    current = nullptr;
}

QStringList MessageCapture::messages() const
{
    QMutexLocker lock(&mutex_);
    return messages_;
}

QList<QtMsgType> MessageCapture::types() const
{
    QMutexLocker lock(&mutex_);
    return types_;
}

int MessageCapture::count(QtMsgType type, const QString &text) const
{
    QMutexLocker lock(&mutex_);
    int result = 0;
    for (int i = 0; i < messages_.size(); ++i)
        result += (types_.at(i) == type && messages_.at(i).contains(text)) ? 1 : 0;
    return result;
}

void MessageCapture::handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    MessageCapture *capture = current;
    if (!capture)
        return;
    {
        QMutexLocker lock(&capture->mutex_);
        capture->messages_ << message;
        capture->types_ << type;
    }
    if (capture->previous_)
        capture->previous_(type, context, message);
}

} // namespace test
