#pragma once

#include <QString>

namespace cleaner {

// The project's ignore file, ".tamsel2/.cleanerignore" in the data folder:
// UTF-8 text of at most MAX_FILE_SIZE bytes, written atomically.
class IgnoreListFile
{
public:
    static constexpr qint64 MAX_FILE_SIZE = 1048576;

    enum class ReadStatus {
        Read, // text holds the file (an empty file gives an empty text)
        Absent, // there is no file
        Failed, // the file is there but cannot be read; *error says why
    };

    static QString filePath();
    // Reads the whole file, never waiting on it. Only a regular file (or a
    // link to one) is read; anything else in its place, a link leading
    // nowhere, a loop of links, a folder of the path that is a link leading
    // nowhere, and a file over MAX_FILE_SIZE are failures, never Absent.
    static ReadStatus read(QString &text, QString *error = nullptr);
    // Writes the text as UTF-8, the whole file or nothing (the editor-core
    // whole-file write); the folder is made when missing. A symbolic link to
    // a file inside the data folder writes that file and stays a link. False,
    // with the reason, when anything failed, a link leading outside the data
    // folder, nowhere or round in a loop among them; the old file is then
    // unchanged.
    static bool write(const QString &text, QString *error = nullptr);
    // Deletes the file (a symbolic link itself, not its target); a missing
    // file is no error.
    static bool remove(QString *error = nullptr);
};

} // namespace cleaner
