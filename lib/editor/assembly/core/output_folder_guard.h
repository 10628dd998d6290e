#pragma once

#include <QString>
#include <QVector>

namespace assembly {

// The one place that decides whether a build folder may be cleared, and that
// clears it. Clearing the build folder is the most dangerous thing the editor
// does, so a folder is refused when:
//   - its path is empty, relative or malformed (a backslash);
//   - it is a symbolic link, or a file;
//   - it is, contains or lies inside a protected tree (the data folder, the
//     project folder);
//   - it is or contains a protected folder (the engine's binaries and cache
//     folders, the SDK, the home folder, a file-system root).
// Both the path as given and its canonical form (symbolic links resolved)
// are checked. Clearing never follows a symbolic link: links are removed as
// links, never entered.
class OutputFolderGuard
{
public:
    // No protections except the path rules above (tests add their own).
    OutputFolderGuard() = default;

    // The running editor's protections: the data folder as a tree; the
    // project folder (the data folder's parent), the binaries and cache
    // folders, the home folder and every file-system root as folders. So a
    // folder inside the project folder is allowed as long as it neither
    // contains nor lies inside the data folder.
    static OutputFolderGuard forRunningEditor();

    // label names the folder in messages ("data folder").
    void protectTree(const QString &folder, const QString &label);
    void protectFolder(const QString &folder, const QString &label);

    // Why the folder must not be cleared; "" when it may be.
    QString refusal(const QString &path) const;
    bool isAllowed(const QString &path) const { return refusal(path).isEmpty(); }

    // True when the folder holds no entry at all, hidden ones included (a
    // missing folder is empty).
    static bool isEmptyFolder(const QString &path);

    // Empties the folder (creating it with its parents when missing) after
    // checking it. Logs a critical line and returns false when the folder is
    // refused, cannot be emptied or cannot be created; a refused folder is
    // left untouched.
    bool clear(const QString &path) const;

private:
    struct Protection
    {
        QString folder; // cleaned, ending with '/'
        QString label;
        bool tree = false;
    };

    void protect(const QString &folder, const QString &label, bool tree);

    QVector<Protection> protections_;
};

} // namespace assembly
