#include "editor/cleaner/ignore_list/ignore_list_file.h"

#include <editor_core/fs/FileSystem.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtDebug>

namespace cleaner {

QString IgnoreListFile::filePath()
{
    return fs::absDataPath(QStringLiteral(".tamsel2/.cleanerignore"));
}

IgnoreListFile::ReadStatus IgnoreListFile::read(QString &text, QString *error)
{
    text.clear();
    const QString path = filePath();
    const QFileInfo info(path);
    if (!info.exists())
        return ReadStatus::Absent;
    QFile file(path);
    if (info.isDir() || !file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("The ignore list \"%1\" cannot be opened: %2")
                             .arg(QDir::toNativeSeparators(path),
                                  info.isDir() ? QStringLiteral("it is a folder") : file.errorString());
        return ReadStatus::Failed;
    }
    QByteArray bytes = file.read(MAX_FILE_SIZE);
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = QStringLiteral("The ignore list \"%1\" cannot be read: %2")
                             .arg(QDir::toNativeSeparators(path), file.errorString());
        return ReadStatus::Failed;
    }
    if (file.size() > MAX_FILE_SIZE) {
        // The cut most likely fell inside a line: a part of a pattern would
        // match other files than the whole one.
        const int last_break = bytes.lastIndexOf('\n');
        bytes.truncate(last_break < 0 ? 0 : last_break);
        qWarning() << "IgnoreList. The file" << path << "is larger than" << MAX_FILE_SIZE
                   << "bytes; only its complete lines within that size are used.";
    }
    // With its size: the array form stops at the first NUL byte.
    text = QString::fromUtf8(bytes.constData(), bytes.size());
    return ReadStatus::Read;
}

bool IgnoreListFile::write(const QString &text, QString *error)
{
    const QString path = filePath();
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("The folder \"%1\" cannot be made.").arg(QDir::toNativeSeparators(folder));
        return false;
    }
    const QByteArray bytes = text.toUtf8();
    QString reason;
    if (!fs::writeStringToFSFile(path, bytes.constData(), bytes.size(), true, &reason)) {
        if (error)
            *error = QStringLiteral("The ignore list \"%1\" cannot be written: %2")
                             .arg(QDir::toNativeSeparators(path), reason);
        return false;
    }
    return true;
}

bool IgnoreListFile::remove(QString *error)
{
    const QString path = filePath();
    if (!QFileInfo::exists(path))
        return true;
    if (fs::removeFile(path) && !QFileInfo::exists(path))
        return true;
    if (error)
        *error = QStringLiteral("The ignore list \"%1\" cannot be deleted.").arg(QDir::toNativeSeparators(path));
    return false;
}

} // namespace cleaner
