#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QStringList>
#include <QTest>

#include <unistd.h>

namespace test {

// Runs program with arguments (its output merged) until it ends, killing it
// after timeout_ms, and fails the current test unless it ended by itself,
// without a signal, with one of codes and, with a code other than 0, after
// telling told (the start of the program's own message). Returns its output.
inline QByteArray runToItsEnd(QProcess &process, const QString &program, const QStringList &arguments, int timeout_ms,
                              const QList<int> &codes, const QByteArray &told)
{
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForStarted(10000)) {
        QTest::qFail(qPrintable(program + QLatin1String(" did not start")), __FILE__, __LINE__);
        return QByteArray();
    }
    const bool finished = process.waitForFinished(timeout_ms);
    if (!finished) {
        process.kill();
        process.waitForFinished(10000);
    }
    const QByteArray output = process.readAll();
    const QByteArray last = output.right(3000);
    [&] {
        QVERIFY2(finished, qPrintable("it hung; its last output:\n" + last));
        QVERIFY2(process.exitStatus() == QProcess::NormalExit, last.constData());
        const int code = process.exitCode();
        QVERIFY2(codes.contains(code), qPrintable(QStringLiteral("exit code %1:\n").arg(code) + last));
        if (code != 0)
            QVERIFY2(output.contains(told), last.constData());
    }();
    return output;
}

// The start of a command that runs a program under limit, as prlimit takes
// it: as nobody when the limit counts processes and this is root, which
// does not feel it. Empty when util-linux's prlimit or setpriv is missing.
inline QStringList limitedBy(const QStringList &limit)
{
    const QString prlimit = QStandardPaths::findExecutable(QStringLiteral("prlimit"));
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    const bool as_nobody = limit.first().startsWith(QLatin1String("--nproc")) && ::geteuid() == 0;
    if (prlimit.isEmpty() || (as_nobody && setpriv.isEmpty()))
        return QStringList();
    QStringList command;
    if (as_nobody)
        command << setpriv << QStringList{"--reuid=65534", "--regid=65534", "--clear-groups"};
    return command << prlimit << limit;
}

// The environment of a program run so, with its home in folder run: offscreen,
// or on display (Xvfb) with a session bus that is not there (the
// accessibility still connects on Qt's D-Bus thread, and no bus is started
// for the user).
inline QProcessEnvironment limitedEnvironment(const QString &run, const QString &display)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!display.isEmpty()) {
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        environment.insert(QStringLiteral("DISPLAY"), display);
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), "unix:path=" + run + "/no_bus");
    } else {
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    }
    environment.insert(QStringLiteral("HOME"), run);
    return environment;
}

} // namespace test
