#pragma once

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QVector>

namespace test {

// Collects the engine console's output (log lines included) from any
// thread, from its construction to its destruction. Kinds are the
// console's: 0 message, 1 warning, 2 error.
class LogCapture
{
public:
    struct Line
    {
        QByteArray text; // as received, line break included
        int kind = 0;
    };

    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    QVector<Line> entries() const;
    // The texts as received.
    QList<QByteArray> texts() const;
    // Lines of that kind (-1: all) without their final line break.
    QStringList lines(int kind = -1) const;
    // Lines of that kind (-1: all) whose text as received contains part.
    int count(const QString &part, int kind = -1) const;
    bool contains(const QString &part) const { return count(part) > 0; }
    int errors() const;
    // Everything, joined as received.
    QString text() const;
    void clear();

private:
    void *handle_ = nullptr;
    mutable QMutex mutex_;
    QVector<Line> lines_;
};

} // namespace test
