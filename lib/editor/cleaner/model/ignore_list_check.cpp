#include "editor/cleaner/model/ignore_list_check.h"

#include "editor/cleaner/cleaner_common.h"
#include "editor/cleaner/ignore_list/ignore_key.h"
#include "editor/cleaner/ignore_list/ignore_list.h"

#include <editor_core/as/Asset.h>
#include <editor_core/editor/AssetManagerPrivate.h>

#include <QCoreApplication>
#include <QRegExp>

namespace cleaner {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("cleaner::IgnoreListCheck", text);
}

bool isSkippedEntry(const QString &pattern)
{
    return pattern.isEmpty() || pattern == QLatin1String("\n") || pattern == QLatin1String("\r");
}

void appendSection(QStringList &lines, const QString &heading, const QStringList &patterns)
{
    if (patterns.isEmpty())
        return;
    lines << heading;
    for (const QString &pattern : patterns)
        lines << QStringLiteral("    \"%1\"").arg(pattern);
}

} // namespace

IgnoreListCheck IgnoreListCheck::reviewPatterns(const QStringList &patterns)
{
    IgnoreListCheck check;
    for (const QString &pattern : patterns) {
        if (isSkippedEntry(pattern))
            continue;
        const QRegExp expression(pattern, Qt::CaseSensitive, QRegExp::WildcardUnix);
        if (!expression.isValid() || expression.isEmpty()) {
            check.invalid << pattern;
            continue;
        }
        if (pattern.trimmed() != pattern)
            check.blank_edged << pattern;
        const QChar first = pattern.at(0);
        if (first != QLatin1Char('/') && first != QLatin1Char('*') && first != QLatin1Char('?')
            && first != QLatin1Char('['))
            check.never_matching << pattern;
    }
    return check;
}

IgnoreListCheck IgnoreListCheck::run(const Editor::AssetManagerPrivate *as_manager, const QStringList &patterns,
                                     IgnoreList &list)
{
    IgnoreListCheck check = reviewPatterns(patterns);
    list.setPatterns(patterns);
    if (!as_manager)
        return check;
    for (const as::Asset &asset : as_manager->assets()) {
        const as::FileInfo info = as_manager->fileInfo(asset.getGUID());
        if (!isCandidateType(asset.getType(), asset.isCore(), info.hasFlag(as::FileInfo::FLAG_IN_DATA),
                             info.hasFlag(as::FileInfo::FLAG_READ_ONLY)))
            continue;
        const QString key = ignoreKey(as_manager, info);
        if (!list.matches(key))
            check.keys << key;
    }
    check.keys.sort(Qt::CaseSensitive);
    return check;
}

QString IgnoreListCheck::notesText() const
{
    QStringList lines;
    appendSection(lines, tr("Invalid patterns (they match nothing):"), invalid);
    appendSection(lines, tr("Patterns that can never match (a key always starts with \"/\"):"), never_matching);
    appendSection(lines, tr("Patterns with a leading or trailing blank (the key must have it too):"), blank_edged);
    return lines.join(QLatin1Char('\n'));
}

QString IgnoreListCheck::reportText() const
{
    const QString keys_text = keys.join(QLatin1Char('\n'));
    if (!hasNotes())
        return keys_text;
    return notesText() + QStringLiteral("\n\n") + tr("Files the cleaner examines:") + QLatin1Char('\n') + keys_text;
}

} // namespace cleaner
