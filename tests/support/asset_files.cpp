#include "asset_files.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <sys/stat.h>

namespace test {

QByteArray guidText(char letter, int number)
{
    return QByteArray(5, letter) + QByteArray(32, '0') + QByteArray::number(number).rightJustified(3, '0');
}

Velmora::UGUID guid(char letter, int number)
{
    return Velmora::UGUID(guidText(letter, number).constData());
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

bool copyFolder(const QString &source, const QString &target)
{
    bool copied = true;
    QDirIterator it(source, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString to = target + QDir(source).relativeFilePath(file);
        QDir().mkpath(QFileInfo(to).absolutePath());
        copied = QFile::copy(file, to) && copied;
    }
    return copied;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool makeFifo(const QString &path)
{
    QFile::remove(path);
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}

bool linkToDevice(const QString &path)
{
    QFile::remove(path);
    return QFile::link(QStringLiteral("/dev/zero"), path);
}

QByteArray assetMeta(const QByteArray &guid_text, int type)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<asset version=\"1\" guid=\"" + guid_text + "\" type=\""
            + QByteArray::number(type) + "\" excluded=\"0\">\n</asset>\n";
}

bool writeAsset(const QString &data_root, const QString &relative, const QByteArray &guid_text, int type,
                const QByteArray &content)
{
    const QString path = data_root + relative;
    return writeFile(path, content) && writeFile(path + QStringLiteral(".meta"), assetMeta(guid_text, type));
}

bool writeAsset(const QString &data_root, const QString &relative, const Velmora::UGUID &guid, int type,
                const QByteArray &content)
{
    return writeAsset(data_root, relative, QByteArray(guid.getString().get()), type, content);
}

QMap<QString, QByteArray> folderChecksums(const QString &folder, const QStringList &skipped_prefixes)
{
    QMap<QString, QByteArray> sums;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = QDir(folder).relativeFilePath(path);
        bool skipped = false;
        for (const QString &prefix : skipped_prefixes)
            skipped = skipped || relative.startsWith(prefix);
        if (skipped)
            continue;
        QFile file(path);
        QCryptographicHash hash(QCryptographicHash::Sha1);
        if (file.open(QIODevice::ReadOnly))
            hash.addData(&file);
        sums.insert(relative, hash.result().toHex());
    }
    return sums;
}

} // namespace test
