#include "editor/cleaner/ignore_list/ignore_list.h"

#include "editor/cleaner/ignore_list/ignore_list_file.h"

#include <editor_core/AssetType.h>
#include <editor_core/as/AssetTypes.h>

#include <QTextDocument>
#include <QtDebug>

#include <algorithm>

namespace cleaner {

QStringList IgnoreList::defaultPatterns()
{
    static const int KEPT_TYPES[]
            = {AssetType::PROPERTY, AssetType::FONT,  AssetType::TRACK,  AssetType::RENDER_SETTINGS, AssetType::SPLINE,
               AssetType::CURVE,    AssetType::WORLD, AssetType::SCRIPT, AssetType::CS_COMPONENT,    AssetType::PRESET};
    QStringList sorted;
    for (const int type : KEPT_TYPES) {
        for (const QString &extension : as::getRegisteredExtensions(AssetType(type)))
            sorted << QStringLiteral("*.") + extension;
    }
    sorted << QStringLiteral("*.brush");
    sorted.sort(Qt::CaseSensitive);
    return QStringList{QStringLiteral("/screenshots/*")} + sorted;
}

QString IgnoreList::normalize(const QString &text)
{
    return QTextDocument(text).toPlainText();
}

QStringList IgnoreList::load(QString *error)
{
    QString text;
    QString reason;
    switch (IgnoreListFile::read(text, &reason)) {
    case IgnoreListFile::ReadStatus::Read:
        return splitLines(normalize(text));
    case IgnoreListFile::ReadStatus::Absent:
        return defaultPatterns();
    case IgnoreListFile::ReadStatus::Failed:
        break;
    }
    qWarning().noquote() << "IgnoreList." << reason;
    if (error)
        *error = reason;
    return defaultPatterns();
}

bool IgnoreList::save(const QStringList &patterns, QString *error)
{
    if (patterns == defaultPatterns())
        return IgnoreListFile::remove(error);
    return IgnoreListFile::write(joinLines(patterns), error);
}

QStringList IgnoreList::splitLines(const QString &text)
{
    return text.split(QLatin1Char('\n'));
}

QString IgnoreList::joinLines(const QStringList &lines)
{
    return lines.join(QLatin1Char('\n'));
}

void IgnoreList::setPatterns(const QStringList &patterns)
{
    if (set_ && patterns == patterns_)
        return;
    set_ = true;
    patterns_ = patterns;
    compiled_.clear();
    suffixes_.clear();
    for (const QString &entry : patterns) {
        if (entry.isEmpty() || entry == QLatin1String("\n") || entry == QLatin1String("\r"))
            continue;
        const QRegExp pattern(entry, Qt::CaseSensitive, QRegExp::WildcardUnix);
        if (!pattern.isValid() || pattern.isEmpty()) {
            qWarning() << "IgnoreList. This pattern (" << entry << ") is not valid.";
            continue;
        }
        if (std::find(compiled_.begin(), compiled_.end(), pattern) != compiled_.end())
            continue;
        compiled_.push_back(pattern);
        const QString rest = entry.mid(1);
        const bool plain = entry.startsWith(QLatin1Char('*')) && !rest.isEmpty()
                && std::none_of(rest.begin(), rest.end(), [](QChar c) {
                               return c == QLatin1Char('*') || c == QLatin1Char('?') || c == QLatin1Char('[')
                                       || c == QLatin1Char(']') || c == QLatin1Char('\\');
                           });
        suffixes_.push_back(plain ? rest : QString());
    }
}

bool IgnoreList::matches(const QString &key) const
{
    for (size_t i = 0; i < compiled_.size(); ++i) {
        if (suffixes_[i].isEmpty() ? compiled_[i].exactMatch(key) : key.endsWith(suffixes_[i], Qt::CaseSensitive))
            return true;
    }
    return false;
}

} // namespace cleaner
