#include "editor_core/fs/FileSystem.h"

#include "editor_core/depr/EditorGlobals.h"
#include "editor_core/editor/AssetManagerPrivate.h"

#include <velmora/Engine.h>
#include <velmora/FileSystem.h>
#include <velmora/Log.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace fs {

namespace {

const QLatin1String GUID_PREFIX("guid://");

// Backslashes count as separators on every platform.
QString slashes(const QString &path)
{
    QString result = path;
    result.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return result;
}

bool isInside(const QString &absolute, const QString &folder)
{
    return !folder.isEmpty() && (absolute + QLatin1Char('/')).startsWith(folder);
}

} // namespace

QString dataPath()
{
    QString path;
    if (Velmora::Engine *engine = Velmora::Engine::get())
        path = QString::fromUtf8(engine->getDataPath().get());
    else if (depr::g.asset_manager)
        path = depr::g.asset_manager->rootPath();
    if (path.isEmpty())
        return path;
    return normalizeDirPath(path);
}

QString absDataPath(const QString &path)
{
    if (path.isEmpty())
        return dataPath();
    if (path.startsWith(GUID_PREFIX) || Velmora::UGUID::isGUIDText(path.toUtf8().constData())) {
        const QString real = realPath(Velmora::UGUID(path.toUtf8().constData()));
        if (!real.isEmpty())
            return real;
    }
    const QString normal = normalizePath(path);
    if (!QDir::isRelativePath(normal))
        return normal;
    const QString data = dataPath();
    return data.isEmpty() ? normal : normalizePath(data + normal);
}

QString relDataPath(const QString &path)
{
    if (path.startsWith(GUID_PREFIX))
        return relDataPath(Velmora::UGUID(path.toUtf8().constData()));
    const QString normal = normalizePath(path);
    if (QDir::isRelativePath(normal))
        return normal == QLatin1String(".") ? QString() : normal;
    const QString data = dataPath();
    if (isInside(normal, data))
        return normal.mid(data.size());
    return normal;
}

QString relDataPath(const Velmora::UGUID &guid)
{
    const QString real = realPath(guid);
    if (real.isEmpty() || real.startsWith(GUID_PREFIX))
        return real;
    return relDataPath(real);
}

QString realPath(const Velmora::UGUID &guid)
{
    if (guid.isEmpty())
        return QString();
    if (Editor::AssetManagerPrivate *assets = depr::g.asset_manager) {
        const QString path = assets->filePath(guid);
        if (!path.isEmpty())
            return path;
        if (assets->hasRuntime(guid))
            return GUID_PREFIX + QString::fromLatin1(guid.getString().get());
    }
    if (Velmora::FileSystem::isInitialized()) {
        const Velmora::String path = Velmora::FileSystem::getAbsolutePath(guid);
        if (!path.isEmpty())
            return QString::fromUtf8(path.get());
        if (Velmora::FileSystem::isVirtualFile(guid))
            return GUID_PREFIX + QString::fromLatin1(guid.getString().get());
    }
    return QString();
}

QString virtualPath(const QString &path)
{
    if (path.startsWith(GUID_PREFIX))
        return path;
    return relDataPath(path);
}

QString virtualPath(const Velmora::UGUID &guid)
{
    return relDataPath(guid);
}

QString pathname(const QString &path)
{
    const QString normal = slashes(path);
    const int slash = normal.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : normal.left(slash + 1);
}

QString dirname(const QString &path)
{
    return pathname(path);
}

QString basename(const QString &path)
{
    const QString normal = slashes(path);
    return normal.mid(normal.lastIndexOf(QLatin1Char('/')) + 1);
}

QString getExtension(const QString &path)
{
    const QString name = basename(path);
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.mid(dot + 1) : QString();
}

QString setExtension(const QString &path, const QString &extension)
{
    const QString name = basename(path);
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    QString stem = path;
    if (dot > 0)
        stem.chop(name.size() - dot);
    QString ext = extension;
    if (ext.startsWith(QLatin1Char('.')))
        ext.remove(0, 1);
    return ext.isEmpty() ? stem : stem + QLatin1Char('.') + ext;
}

QString normalizePath(const QString &path)
{
    if (path.isEmpty())
        return path;
    QString result = path;
    result.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return QDir::cleanPath(result);
}

QString normalizeDirPath(const QString &path)
{
    QString result = normalizePath(path);
    if (!result.endsWith(QLatin1Char('/')))
        result += QLatin1Char('/');
    return result;
}

QString appendPath(const QString &base, const QString &path)
{
    if (base.isEmpty())
        return path;
    if (path.isEmpty())
        return base;
    QString left = base;
    while (left.endsWith(QLatin1Char('/')) && left.size() > 1)
        left.chop(1);
    QString right = path;
    while (right.startsWith(QLatin1Char('/')))
        right.remove(0, 1);
    if (left == QLatin1String("/"))
        return left + right;
    return left + QLatin1Char('/') + right;
}

QString toSourcePath(const QString &path)
{
    return absDataPath(path);
}

bool fileExists(const QString &path)
{
    if (path.isEmpty())
        return false;
    return QFileInfo(absDataPath(path)).isFile();
}

bool removeFile(const QString &path)
{
    const QString absolute = absDataPath(path);
    const QString data = dataPath();
    if (path.isEmpty() || !isInside(absolute, data) || absolute + QLatin1Char('/') == data) {
        Velmora::Log::warning("fs: \"%s\" is outside the data folder; it is not deleted\n", qUtf8Printable(path));
        return false;
    }
    QFileInfo info(absolute);
    if (!info.exists() && !info.isSymLink())
        return true;
    if (info.isDir()) {
        Velmora::Log::warning("fs: \"%s\" is a folder; it is not deleted\n", qUtf8Printable(absolute));
        return false;
    }
    if (!QFile::remove(absolute)) {
        Velmora::Log::warning("fs: cannot delete \"%s\"\n", qUtf8Printable(absolute));
        return false;
    }
    return true;
}

QByteArray readFSFileToByteArray(const QString &path)
{
    const QString absolute = absDataPath(path);
    QFile file(absolute);
    if (!file.open(QIODevice::ReadOnly)) {
        Velmora::Log::warning("fs: cannot read \"%s\": %s\n", qUtf8Printable(absolute),
                              qUtf8Printable(file.errorString()));
        return QByteArray();
    }
    return file.readAll();
}

bool writeStringToFSFile(const QString &path, const char *data, qint64 size, bool overwrite)
{
    const QString absolute = absDataPath(path);
    if (absolute.isEmpty() || size < 0 || (size > 0 && !data)) {
        Velmora::Log::warning("fs: nothing to write to \"%s\"\n", qUtf8Printable(path));
        return false;
    }
    if (!overwrite && QFileInfo::exists(absolute)) {
        Velmora::Log::warning("fs: \"%s\" exists and is not replaced\n", qUtf8Printable(absolute));
        return false;
    }
    QSaveFile file(absolute);
    if (!file.open(QIODevice::WriteOnly) || file.write(data, size) != size || !file.commit()) {
        Velmora::Log::warning("fs: cannot write \"%s\": %s\n", qUtf8Printable(absolute),
                              qUtf8Printable(file.errorString()));
        return false;
    }
    return true;
}

} // namespace fs
