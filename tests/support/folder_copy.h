#pragma once

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QString>

namespace test {

// Copies every file under from (hidden ones included) to the same place
// under to, replacing what is there; false when a file cannot be copied.
inline bool copyTree(const QString &from, const QString &to)
{
    QDirIterator it(from, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + QLatin1Char('/') + QDir(from).relativeFilePath(source);
        QDir().mkpath(QFileInfo(target).absolutePath());
        QFile::remove(target);
        if (!QFile::copy(source, target))
            return false;
    }
    return true;
}

// A copy of the bundled sample project in project: its project file, and
// its data with the engine's own in project/data; false when a file cannot
// be copied.
inline bool copySampleProject(const QString &project)
{
    const QString source = qEnvironmentVariable("VELMORA_SOURCE_DIR") + QLatin1String("/examples/sample_project");
    if (!copyTree(source + QLatin1String("/data"), project + QLatin1String("/data"))
        || !copyTree(qEnvironmentVariable("VELMORA_SOURCE_DIR") + QLatin1String("/resources/engine_data"),
                     project + QLatin1String("/data")))
        return false;
    for (const QString &name : QDir(source).entryList({QStringLiteral("*.project")}, QDir::Files))
        if (!QFile::copy(source + QLatin1Char('/') + name, project + QLatin1Char('/') + name))
            return false;
    return true;
}

} // namespace test
