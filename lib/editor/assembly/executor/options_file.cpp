#include "editor/assembly/executor/options_file.h"

#include <editor_core/fs/FileSystem.h>

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QtDebug>

namespace assembly {

QString OptionsFile::path()
{
    // Without a data folder the path would be relative to the working
    // directory: there is no options file then.
    if (::fs::dataPath().isEmpty())
        return QString();
    return ::fs::absDataPath(QStringLiteral(".tamsel2/.assemblytool"));
}

QJsonObject OptionsFile::load()
{
    const QString file = path();
    if (file.isEmpty() || !QFileInfo(file).isFile() || !::fs::fileExists(file))
        return QJsonObject();

    const QByteArray bytes = ::fs::readFSFileToByteArray(file);
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError) {
        qWarning() << "Build Tool: the options file (" << file << ") is broken:" << error.errorString()
                   << "- the default options are used.";
        return QJsonObject();
    }
    if (!document.isObject() || document.object().isEmpty()) {
        qWarning() << "Build Tool: the options file (" << file << ") holds no options, the default options are used.";
        return QJsonObject();
    }
    return document.object();
}

bool OptionsFile::save(const QJsonObject &data, QString *error)
{
    const QString file = path();
    if (file.isEmpty()) {
        qWarning() << "Build Tool: no data folder is known, the options are not saved.";
        if (error)
            *error = QStringLiteral("no data folder is known");
        return false;
    }
    QDir(::fs::pathname(file)).mkpath(QStringLiteral("."));
    const QByteArray bytes = QJsonDocument(data).toJson();
    // A failed write is logged with its reason by the write itself, and the
    // caller tells the user.
    QString reason;
    const bool result = ::fs::writeStringToFSFile(file, bytes.constData(), bytes.size(), true, &reason);
    if (!result && error)
        *error = QStringLiteral("\"%1\" cannot be written: %2").arg(QDir::toNativeSeparators(file), reason);
    return result;
}

bool OptionsFile::remove()
{
    const QString file = path();
    return !file.isEmpty() && ::fs::removeFile(file);
}

} // namespace assembly
