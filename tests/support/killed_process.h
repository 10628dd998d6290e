#pragma once

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QString>

#include <memory>

#include <unistd.h>

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

// A stand-in for an editor that runs in a container of its own on folder:
// the claim holder program (VELMORA_CLAIM_HOLDER) claims it, in a pid
// namespace of its own, under an id that no process has here (*pid). Killing
// the process stops it. Null where the system does not let a test make one.
inline std::unique_ptr<QProcess> startInContainer(const QString &folder, qint64 *pid)
{
    const QString holder = qEnvironmentVariable("VELMORA_CLAIM_HOLDER");
    qint64 free = 30000;
    while (free > 1000 && QFileInfo::exists(QStringLiteral("/proc/%1").arg(free)))
        --free;
    auto process = std::make_unique<QProcess>();
    process->start(QStringLiteral("unshare"),
                   {QStringLiteral("--pid"), QStringLiteral("--fork"), QStringLiteral("--kill-child"),
                    QStringLiteral("--mount-proc"), QStringLiteral("sh"), QStringLiteral("-c"),
                    QStringLiteral("echo %1 > /proc/sys/kernel/ns_last_pid; \"$0\" \"$1\" & wait").arg(free - 1),
                    holder, QDir::cleanPath(folder)});
    if (::geteuid() != 0 || holder.isEmpty() || !process->waitForStarted() || !process->waitForReadyRead(10000))
        return nullptr;
    *pid = process->readLine().trimmed().toLongLong();
    return *pid == free ? std::move(process) : nullptr;
}

} // namespace test
