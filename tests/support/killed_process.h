#pragma once

#include <QProcess>
#include <QString>

namespace test {

// Runs a shell command in folder as a process of its own that ends killed
// by SIGKILL ("$$" in it is that process's id), as an editor killed in the
// middle of a save; returns the id, 0 when it did not end so.
inline qint64 runKilled(const QString &folder, const QString &command)
{
    QProcess shell;
    shell.setWorkingDirectory(folder);
    shell.start(QStringLiteral("sh"), {QStringLiteral("-c"), command + QStringLiteral("; kill -9 $$")});
    if (!shell.waitForStarted())
        return 0;
    const qint64 pid = shell.processId();
    shell.waitForFinished();
    return shell.exitStatus() == QProcess::CrashExit ? pid : 0;
}

} // namespace test
