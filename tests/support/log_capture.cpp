#include "log_capture.h"

#include <velmora/Base.h>
#include <velmora/Console.h>

namespace test {

LogCapture::LogCapture()
{
    handle_ = Velmora::Console::addOutputCallback(
            new Velmora::CallbackFunction2<const char *, int>([this](const char *text, int kind) {
                QMutexLocker lock(&mutex_);
                lines_.append(Line{QByteArray(text), kind});
            }));
}

LogCapture::~LogCapture()
{
    Velmora::Console::removeOutputCallback(handle_);
}

QVector<LogCapture::Line> LogCapture::entries() const
{
    QMutexLocker lock(&mutex_);
    return lines_;
}

QList<QByteArray> LogCapture::texts() const
{
    QList<QByteArray> result;
    for (const Line &line : entries())
        result << line.text;
    return result;
}

QStringList LogCapture::lines(int kind) const
{
    QStringList result;
    for (const Line &line : entries()) {
        if (kind >= 0 && line.kind != kind)
            continue;
        QString text = QString::fromUtf8(line.text);
        if (text.endsWith(QLatin1Char('\n')))
            text.chop(1);
        result << text;
    }
    return result;
}

int LogCapture::count(const QString &part, int kind) const
{
    int n = 0;
    for (const Line &line : entries()) {
        if ((kind < 0 || line.kind == kind) && QString::fromUtf8(line.text).contains(part))
            ++n;
    }
    return n;
}

int LogCapture::errors() const
{
    int n = 0;
    for (const Line &line : entries())
        n += line.kind == 2 ? 1 : 0;
    return n;
}

QString LogCapture::text() const
{
    QByteArray all;
    for (const Line &line : entries())
        all += line.text;
    return QString::fromUtf8(all);
}

void LogCapture::clear()
{
    QMutexLocker lock(&mutex_);
    lines_.clear();
}

} // namespace test
