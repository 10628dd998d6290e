#include "editor/assembly/core/impl/file_processing/list_files_recursive.h"

#include <QDir>
#include <QFileInfo>
#include <QtDebug>

namespace assembly::fs {

namespace {

QString withSlash(const QString &path)
{
    return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
}

void listFolder(const QDir &dir, const QDir &root, const QString &to, bool recursive, fp::CopyItems &items)
{
    const QFileInfoList files = dir.entryInfoList(QDir::Files | QDir::NoSymLinks | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &file : files) {
        const QString absolute = file.absoluteFilePath();
        items.append(fp::CopyItem{absolute, to + root.relativeFilePath(absolute)});
    }
    if (!recursive)
        return;
    const QFileInfoList folders = dir.entryInfoList(QDir::Dirs | QDir::NoSymLinks | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &folder : folders)
        listFolder(QDir(folder.absoluteFilePath()), root, to, recursive, items);
}

} // namespace

void listFilesRecursive(const QString &source_dir, const QString &dest_prefix, bool recursive, fp::CopyItems &items)
{
    const QFileInfo info(source_dir);
    if (source_dir.isEmpty() || !info.isDir()) {
        qInfo() << "Build Tool: This directory (" << source_dir << ") doesn't exist.";
        return;
    }
    // The relative part comes from QDir itself, so an uncleaned source path
    // cannot produce a wrong destination.
    const QDir root(QDir::cleanPath(info.absoluteFilePath()));
    listFolder(root, root, withSlash(dest_prefix), recursive, items);
}

} // namespace assembly::fs
