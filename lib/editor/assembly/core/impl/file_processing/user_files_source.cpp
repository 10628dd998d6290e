#include "editor/assembly/core/impl/file_processing/user_files_source.h"

#include "editor/assembly/core/path_utils.h"

#include <editor_core/fs/FileSystem.h>

#include <QDir>
#include <QFileInfo>
#include <QtDebug>

namespace assembly {

namespace {

QString withSlash(const QString &path)
{
    return path.isEmpty() || path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
}

bool isAbsoluteDestination(const QString &to)
{
    // "/x", or a drive such as "C:/x" written on Windows.
    return to.startsWith(QLatin1Char('/')) || (to.size() >= 2 && to.at(1) == QLatin1Char(':') && to.at(0).isLetter());
}

void walk(const QString &folder, const QString &root, const QStringList &filters, const QString &to,
          fp::CopyItems &items, int &added)
{
    const QDir dir(folder);
    const QFileInfoList entries = dir.entryInfoList(
            filters, QDir::Files | QDir::Dirs | QDir::NoSymLinks | QDir::NoDotAndDotDot, QDir::Name | QDir::DirsLast);
    for (const QFileInfo &entry : entries) {
        const QString path = entry.absoluteFilePath();
        if (entry.isDir()) {
            walk(path, root, filters, to, items, added);
            continue;
        }
        if (!path.startsWith(root)) {
            qWarning() << "Build Tool: a file found below a copy rule's folder lies elsewhere and is skipped (" << path
                       << ").";
            continue;
        }
        items.append(fp::CopyItem{path, to + path.mid(root.size())});
        ++added;
    }
}

} // namespace

UserFilesSource::UserFilesSource(const QVector<CopyRule> &rules)
{
    rules_.reserve(rules.size());
    for (const CopyRule &rule : rules)
        rules_.append(CopyRule{normalizeFrom(rule.from), normalizeTo(rule.to)});
}

QString UserFilesSource::normalizeFrom(const QString &from)
{
    QString result = from;
    result.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (result.isEmpty() || result == QLatin1String("/"))
        return QString();
    // Cleaning also resolves "..", so every listed path begins with the
    // rule's folder.
    result = QDir::cleanPath(result);
    return result == QLatin1String("/") ? QString() : result;
}

QString UserFilesSource::normalizeTo(const QString &to)
{
    QString result = to;
    result.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (result.contains(QLatin1String("//")))
        result.replace(QLatin1String("//"), QLatin1String("/"));
    if (result == QLatin1String("/"))
        return QString();
    // "/docs/" means "docs/" in the build folder. A ".." is left as it is:
    // rewriting "docs/../../x" to "docs/x" would copy somewhere the user did
    // not ask for, so such a rule is refused when it is expanded.
    if (result.startsWith(QLatin1Char('/')))
        result.remove(0, 1);
    return result;
}

bool UserFilesSource::process(const ProgressCallback &progress, post::OperationQueue & /*queue*/, fp::CopyItems &items)
{
    if (!progress(1, 1))
        return false;
    for (const CopyRule &rule : rules_)
        expandRule(rule, items);
    return true;
}

void UserFilesSource::expandRule(const CopyRule &rule, fp::CopyItems &items)
{
    const QString &from = rule.from;
    if (from.isEmpty())
        return;

    const QString &to = rule.to;
    if (isAbsoluteDestination(to)) {
        qWarning() << "Build Tool: the destination of a copy rule must be relative to the build folder; the rule ("
                   << from << "->" << to << ") is skipped.";
        return;
    }
    const QString to_check = to.endsWith(QLatin1Char('/')) ? to.left(to.size() - 1) : to;
    if (!to_check.isEmpty() && !isSafeRelativePath(to_check)) {
        qWarning() << "Build Tool: the destination of a copy rule leaves the build folder; the rule (" << from << "->"
                   << to << ") is skipped.";
        return;
    }

    const QFileInfo info(from);
    if (info.isFile()) {
        addFile(info.absoluteFilePath(), to, items);
        return;
    }
    if (info.isDir()) {
        if (addFolder(from, QString(), to, items) == 0)
            qWarning() << "Build Tool: no files will be copied from this path (" << from << ").";
        return;
    }

    QString folder;
    for (int i = from.indexOf(QLatin1Char('/'), 1); i >= 0; i = from.indexOf(QLatin1Char('/'), i + 1)) {
        const QString candidate = from.left(i + 1);
        if (!QFileInfo(candidate).isDir())
            break;
        folder = candidate;
    }
    if (folder.isEmpty()) {
        qWarning() << "Build Tool: path (and/or wildcard) not recognized (" << from << ").";
        return;
    }
    const QString pattern = folder == from ? QString() : from.mid(folder.size());
    if (addFolder(folder, pattern, to, items) == 0)
        qWarning() << "Build Tool: no files will be copied from this path (" << from << ").";
}

void UserFilesSource::addFile(const QString &source, const QString &to, fp::CopyItems &items)
{
    const QString name = ::fs::basename(source);
    QString dest;
    if (to.isEmpty())
        dest = name;
    else if (::fs::getExtension(source).toLower() == ::fs::getExtension(to).toLower() && !to.endsWith(QLatin1Char('/')))
        dest = to;
    else
        dest = withSlash(to) + name;
    items.append(fp::CopyItem{source, dest});
}

int UserFilesSource::addFolder(const QString &folder, const QString &pattern, const QString &to, fp::CopyItems &items)
{
    const QString root = withSlash(QDir::cleanPath(QFileInfo(folder).absoluteFilePath()));
    const QStringList filters = pattern.isEmpty() ? QStringList() : pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    int added = 0;
    walk(root, root, filters, withSlash(to), items, added);
    return added;
}

} // namespace assembly
