#pragma once

#include <QString>
#include <QStringList>

namespace Editor {
class AssetManagerPrivate;
}

namespace cleaner {

class IgnoreList;

// What "Check" in the ignore-list dialog finds for a list of patterns: the
// keys of the project's candidate files that no pattern matches (the files
// the cleaner still examines), sorted, and the patterns that do not do what
// their author likely meant.
struct IgnoreListCheck
{
    QStringList keys;
    // Not a valid wildcard expression: left out of matching.
    QStringList invalid;
    // Can never match a key (every key starts with "/").
    QStringList never_matching;
    // With a leading or trailing blank, which must then be in the key too.
    QStringList blank_edged;

    // Patterns that deserve a note, without running a check over assets.
    static IgnoreListCheck reviewPatterns(const QStringList &patterns);
    // Compiles patterns into list and checks them against the project.
    static IgnoreListCheck run(const Editor::AssetManagerPrivate *as_manager, const QStringList &patterns,
                               IgnoreList &list);

    bool hasNotes() const { return !invalid.isEmpty() || !never_matching.isEmpty() || !blank_edged.isEmpty(); }
    // The notes, one pattern a line under a heading per kind; "" when none.
    QString notesText() const;
    // The text of the result box: the notes, then the keys.
    QString reportText() const;
};

} // namespace cleaner
