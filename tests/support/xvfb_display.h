#pragma once

#include <QByteArray>
#include <QLatin1Char>
#include <QProcess>
#include <QStandardPaths>
#include <QString>

namespace test {

// Starts Xvfb on a display nobody uses; returns its name (":N"), or an
// empty one when it is not installed or did not start.
inline QString startXvfb(QProcess &server)
{
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty())
        return QString();
    // It writes the number of the display it took once it takes connections.
    server.start(xvfb, {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "1280x800x24"});
    if (!server.waitForStarted(10000))
        return QString();
    while (!server.canReadLine() && server.waitForReadyRead(10000)) {}
    const QByteArray number = server.readLine().trimmed();
    return number.isEmpty() ? QString() : QLatin1Char(':') + QString::fromLatin1(number);
}

} // namespace test
