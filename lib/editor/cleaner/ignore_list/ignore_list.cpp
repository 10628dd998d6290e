#include "editor/cleaner/ignore_list/ignore_list.h"

#include "editor/cleaner/ignore_list/ignore_list_file.h"

#include <editor_core/AssetType.h>
#include <editor_core/as/AssetTypes.h>

#include <QSet>
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
    // The document ends its text at a NUL: a stray one in a file would hide
    // every pattern after it. No file name holds one.
    QString clean = text;
    clean.remove(QChar(0));
    return QTextDocument(clean).toPlainText();
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

namespace {

bool isWildcard(QChar c)
{
    return c == QLatin1Char('*') || c == QLatin1Char('?') || c == QLatin1Char('[') || c == QLatin1Char(']')
            || c == QLatin1Char('\\');
}

} // namespace

void IgnoreList::Index::add(const QString &text, int pattern)
{
    std::vector<int> &list = patterns[text];
    list.push_back(pattern);
    const int length = text.size();
    const auto at = std::lower_bound(lengths.begin(), lengths.end(), length);
    if (at == lengths.end() || *at != length)
        lengths.insert(at, length);
}

void IgnoreList::setPatterns(const QStringList &patterns)
{
    if (set_ && patterns == patterns_)
        return;
    set_ = true;
    patterns_ = patterns;
    compiled_.clear();
    plain_suffixes_ = Index();
    by_head_ = Index();
    by_tail_ = Index();
    others_.clear();
    QSet<QString> seen;
    for (const QString &entry : patterns) {
        if (entry.isEmpty() || entry == QLatin1String("\n") || entry == QLatin1String("\r"))
            continue;
        const QRegExp pattern(entry, Qt::CaseSensitive, QRegExp::WildcardUnix);
        if (!pattern.isValid() || pattern.isEmpty()) {
            qWarning() << "IgnoreList. This pattern (" << entry << ") is not valid.";
            continue;
        }
        if (seen.contains(entry))
            continue;
        seen.insert(entry);
        int first = 0;
        while (first < entry.size() && !isWildcard(entry.at(first)))
            ++first;
        int last = entry.size();
        while (last > first && !isWildcard(entry.at(last - 1)))
            --last;
        const int index = int(compiled_.size());
        compiled_.push_back(Compiled{pattern, entry.left(first), entry.mid(last)});
        const Compiled &compiled = compiled_.back();
        if (first == entry.size())
            by_head_.add(entry, index); // no wildcard at all
        else if (first == 0 && last == 1 && entry.at(0) == QLatin1Char('*') && entry.size() > 1)
            plain_suffixes_.add(compiled.tail, index);
        else if (!compiled.head.isEmpty())
            by_head_.add(compiled.head, index);
        else if (!compiled.tail.isEmpty())
            by_tail_.add(compiled.tail, index);
        else
            others_.push_back(index);
    }
}

bool IgnoreList::tryPatterns(const std::vector<int> &patterns, const QString &key) const
{
    for (const int index : patterns) {
        const Compiled &compiled = compiled_[size_t(index)];
        if (key.size() >= compiled.head.size() + compiled.tail.size()
            && key.startsWith(compiled.head, Qt::CaseSensitive) && key.endsWith(compiled.tail, Qt::CaseSensitive)
            && compiled.pattern.exactMatch(key))
            return true;
    }
    return false;
}

bool IgnoreList::matches(const QString &key) const
{
    for (const int length : plain_suffixes_.lengths) {
        if (length > key.size())
            break;
        if (plain_suffixes_.patterns.contains(key.right(length)))
            return true;
    }
    for (const int length : by_head_.lengths) {
        if (length > key.size())
            break;
        const auto it = by_head_.patterns.constFind(key.left(length));
        if (it != by_head_.patterns.constEnd() && tryPatterns(*it, key))
            return true;
    }
    for (const int length : by_tail_.lengths) {
        if (length > key.size())
            break;
        const auto it = by_tail_.patterns.constFind(key.right(length));
        if (it != by_tail_.patterns.constEnd() && tryPatterns(*it, key))
            return true;
    }
    return tryPatterns(others_, key);
}

} // namespace cleaner
