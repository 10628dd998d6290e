#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace as {

// Whether the bytes are valid UTF-8.
bool isValidUtf8(const QByteArray &bytes);

// The name with every byte that is not printable ASCII (and every
// backslash) written as \xHH, so that any name can be shown and logged.
QString escapeFileNameBytes(const QByteArray &name);

// The visible entries (names not starting with ".") of a folder whose names
// are not valid UTF-8, escaped, sorted. Qt's folder listings leave such
// entries out without a word, so the data folder scan asks for them here.
QStringList nonUtf8EntryNames(const QString &folder);

} // namespace as
