#include "editor/assembly/core/impl/file_processing/temporary_build_file.h"

#include <QDir>
#include <QTemporaryFile>
#include <QtDebug>

#include <memory>

namespace assembly {

QString TemporaryBuildFile::write(const QString &name_template, const QByteArray &content, post::OperationQueue &queue,
                                  QFileDevice::Permissions permissions)
{
    auto file = std::make_shared<QTemporaryFile>(QDir::tempPath() + QLatin1Char('/') + name_template
                                                 + QStringLiteral(".XXXXXX"));
    if (!file->open()) {
        qCritical() << "Build Tool: can't create a temporary file (" << file->fileTemplate()
                    << "):" << file->errorString();
        return QString();
    }
    // Queued before writing, so that a failed write leaves nothing behind.
    queue.add([file]() { file->remove(); });
    const QString path = file->fileName();
    const bool written = file->write(content) == content.size() && file->flush();
    file->close();
    if (!written || !file->setPermissions(permissions)) {
        qCritical() << "Build Tool: can't write the temporary file (" << path << ").";
        return QString();
    }
    return path;
}

} // namespace assembly
