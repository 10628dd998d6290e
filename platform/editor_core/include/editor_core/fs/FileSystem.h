#pragma once

#include <velmora/UGUID.h>

#include <QByteArray>
#include <QString>

// Plain path and file helpers over the data folder. Paths use "/"; the data
// folder is the running engine's, else the registered asset manager's root.
namespace fs {

// The data folder (absolute, ending with "/"), "" when none is known.
QString dataPath();

// Data-relative (or "guid://" / GUID text) -> absolute; an absolute path is
// cleaned and returned; "" -> the data folder.
QString absDataPath(const QString &path);
// Absolute path inside the data folder -> data-relative ("/" separators, no
// leading "/"); a relative path is cleaned; a path outside the data folder
// comes back cleaned and absolute.
QString relDataPath(const QString &path);
// GUID -> data-relative path of its file; "guid://<hex>" for a virtual
// runtime; "" when unknown.
QString relDataPath(const Velmora::UGUID &guid);
// GUID -> absolute file path, "guid://<hex>" for a virtual runtime, "" when
// unknown.
QString realPath(const Velmora::UGUID &guid);
// The engine's name of a file: data-relative inside the data folder.
QString virtualPath(const QString &path);
QString virtualPath(const Velmora::UGUID &guid);
// Folder part including the trailing "/" ("a/b/c.png" -> "a/b/",
// "bin/" -> "bin/"); "" when there is none.
QString pathname(const QString &path);
QString dirname(const QString &path);
// Last component ("a/b/c.png" -> "c.png"; "a/b/" -> "").
QString basename(const QString &path);
// Extension of the last component without the dot ("" when none).
QString getExtension(const QString &path);
// Replaces the extension; an empty extension removes it with its dot.
QString setExtension(const QString &path, const QString &extension);
// "\" -> "/", then QDir::cleanPath (no trailing "/").
QString normalizePath(const QString &path);
// normalizePath ending with "/".
QString normalizeDirPath(const QString &path);
// Joins with exactly one "/".
QString appendPath(const QString &base, const QString &path);
// Where to write the file a path names: absolute in the data folder.
QString toSourcePath(const QString &path);

// Relative paths resolve against the data folder.
bool fileExists(const QString &path);
// Deletes a file inside the data folder; refuses (false, one log line) any
// path outside it. A missing file is not an error (true).
bool removeFile(const QString &path);
// Reads the whole file at path (absolute) without ever waiting on it: only
// a regular file is read, its kind taken from the opened descriptor (links
// resolved), so a FIFO, a device or a socket is refused at once. False with
// the reason otherwise.
bool readRegularFile(const QString &path, QByteArray &bytes, QString *reason = nullptr);
// Whole file (readRegularFile); empty (and one log line) when it cannot be
// read.
QByteArray readFSFileToByteArray(const QString &path);
// Writes size bytes as the whole file or not at all: a failed write, sync,
// close or rename leaves an existing file untouched and no temporary file
// behind. With overwrite false an existing name of any kind, a link
// included, is left alone. With overwrite, a name that is a symbolic link to
// a file inside the data folder (links resolved on both sides) writes that
// file and stays a link; a link leading outside, nowhere or round in a loop,
// or an existing file that is not a writable plain file, is refused. A mode
// the file system cannot store is no failure. False on failure, with one log
// line and the reason in *error.
bool writeStringToFSFile(const QString &path, const char *data, qint64 size, bool overwrite, QString *error = nullptr);
// Gives the file from the name to (in the same file system), never
// replacing nor writing through anything of that name: a file, a folder, a
// link, a dangling link. Takes the name by a rename that refuses to
// replace, else by a hard link, else (a file system with neither) by
// creating the name exclusively and renaming over that empty file of its
// own. False with errno EEXIST when the name is taken, with another errno
// when the file cannot be moved.
bool moveToFreeName(const QByteArray &from, const QByteArray &to);

} // namespace fs
