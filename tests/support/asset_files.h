#pragma once

#include <velmora/UGUID.h>

#include <QByteArray>
#include <QMap>
#include <QString>

// Files of fixture data folders: plain files, assets with their meta files,
// the GUID shorthand of the fixtures, and checksums of whole folders.
namespace test {

// The fixture shorthand {xNNN}: five times the letter, 32 zeros, three
// digits ('a', 101 -> "aaaaa00000000000000000000000000000000101").
QByteArray guidText(char letter, int number);
Velmora::UGUID guid(char letter, int number);

// Writes a file, creating its folders; true when every byte was written.
bool writeFile(const QString &path, const QByteArray &content = QByteArray("x"));
// Copies every file below source (hidden ones too) to the same relative path
// below target (which ends with "/"), creating folders; true when all copied.
bool copyFolder(const QString &source, const QString &target);
// The file's bytes; empty when it cannot be read.
QByteArray readFile(const QString &path);
// Puts at path, in place of a file there, a FIFO (a read waits for a writer)
// or a link to /dev/zero (a read never ends); true when done.
bool makeFifo(const QString &path);
bool linkToDevice(const QString &path);

// The text of an asset's meta file.
QByteArray assetMeta(const QByteArray &guid_text, int type);
// Writes data_root + relative and its meta file.
bool writeAsset(const QString &data_root, const QString &relative, const QByteArray &guid_text, int type,
                const QByteArray &content = QByteArray("x\n"));
bool writeAsset(const QString &data_root, const QString &relative, const Velmora::UGUID &guid, int type,
                const QByteArray &content = QByteArray("x\n"));

// Every file below folder (hidden ones too) by its relative path, with the
// SHA-1 of its bytes in hexadecimal; paths that start with one of
// skipped_prefixes are left out.
QMap<QString, QByteArray> folderChecksums(const QString &folder, const QStringList &skipped_prefixes);

} // namespace test
