#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QTest>

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

} // namespace test
