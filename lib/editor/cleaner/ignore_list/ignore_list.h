#pragma once

#include <QHash>
#include <QRegExp>
#include <QString>
#include <QStringList>

#include <vector>

namespace cleaner {

// The project's wildcard patterns over asset keys ("/" + data-relative path).
// An asset whose key a pattern matches whole is never reported unused.
// Patterns are Unix wildcards, case-sensitive, where "*" also crosses "/".
class IgnoreList
{
public:
    // "/screenshots/*" first, then "*.<ext>" for every registered extension
    // of the types that are kept by default, and "*.brush", sorted.
    static QStringList defaultPatterns();

    // The file's patterns; the default list when there is no file. A file
    // that is there but cannot be read gives the default list too, and
    // *error says why (the caller must not take that list for the user's).
    static QStringList load(QString *error = nullptr);
    // Removes the file when the list equals the default list, else writes
    // it. False, with the reason, when that failed.
    static bool save(const QStringList &patterns, QString *error = nullptr);

    // The text of a file or an editor after its line breaks were unified
    // (CR LF, lone CR, U+2028 and U+2029 become LF; NBSP becomes a blank;
    // NUL characters are dropped).
    static QString normalize(const QString &text);
    static QStringList splitLines(const QString &text);
    static QString joinLines(const QStringList &lines);

    // Compiles the list: empty entries and lone line breaks are skipped, an
    // invalid pattern is skipped with a warning, duplicates are compiled
    // once.
    void setPatterns(const QStringList &patterns);
    const QStringList &patterns() const { return patterns_; }
    int compiledCount() const { return int(compiled_.size()); }
    // Whether a compiled pattern matches the whole key.
    bool matches(const QString &key) const;

private:
    QStringList patterns_;
    bool set_ = false;
    struct Compiled
    {
        QRegExp pattern;
        // The plain text before the first and after the last wildcard
        // character: a key that does not start and end with them cannot
        // match, which spares the expression.
        QString head;
        QString tail;
    };
    // Patterns looked up by a piece of the key, so that a long list costs
    // a few lookups per key rather than one expression per pattern.
    struct Index
    {
        QHash<QString, std::vector<int>> patterns;
        std::vector<int> lengths; // distinct key lengths, ascending
        void add(const QString &text, int pattern);
    };
    bool tryPatterns(const std::vector<int> &patterns, const QString &key) const;

    std::vector<Compiled> compiled_;
    // "*" followed by plain text (no wildcard character): a key matches
    // exactly when it ends with that text.
    Index plain_suffixes_;
    // Other patterns with a plain head, by head; with only a plain tail, by
    // tail; the rest are tried one by one.
    Index by_head_;
    Index by_tail_;
    std::vector<int> others_;
};

} // namespace cleaner
