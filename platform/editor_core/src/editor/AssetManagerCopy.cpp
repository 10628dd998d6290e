// Re-import and copy of single assets (GUI thread).

#include "editor_core/editor/AssetManagerPrivate.h"

#include "editor_core/as/ImportParams.h"

#include <velmora/FileSystem.h>
#include <velmora/Log.h>
#include <velmora/Materials.h>
#include <velmora/Xml.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace Editor {

namespace {

// The absolute path of path (absolute or data-relative) when it lies in the
// visible data folder; "" otherwise.
QString visibleDataPath(const QString &root, const QString &path)
{
    QString absolute = QDir::cleanPath(QDir::fromNativeSeparators(path));
    if (QDir::isRelativePath(absolute) && !root.isEmpty())
        absolute = root + absolute;
    const QString relative = absolute.mid(root.size());
    const bool hidden
            = relative.isEmpty() || relative.startsWith(QLatin1Char('.')) || relative.contains(QLatin1String("/."));
    if (root.isEmpty() || !absolute.startsWith(root) || hidden || relative.endsWith(QLatin1String(".meta")))
        return QString();
    return absolute;
}

} // namespace

bool AssetManagerPrivate::reimportSync(const Velmora::UGUID &guid, const QVariantMap &params)
{
    const as::Asset record = asset(guid);
    if (record.isNull()) {
        Velmora::Log::warning("Asset manager: %s is not an asset; nothing is re-imported\n", guid.getString().get());
        return false;
    }
    // An empty collection keeps the parameters the asset was imported with.
    const QVariantMap used = params.isEmpty() ? as::ImportParams::fromAsset(record) : params;
    return importSync(record.getFilePath(), used) == guid;
}

Velmora::UGUID AssetManagerPrivate::copySync(const Velmora::UGUID &guid, const QString &path, int mode)
{
    const as::Asset source = asset(guid);
    if (source.isNull()) {
        Velmora::Log::warning("Asset manager: %s is not an asset; nothing is copied\n", guid.getString().get());
        return Velmora::UGUID();
    }
    QString target = visibleDataPath(rootPath(), path);
    if (target.isEmpty()) {
        Velmora::Log::warning("Asset manager: \"%s\" is not inside the visible data folder; nothing is copied\n",
                              qUtf8Printable(path));
        return Velmora::UGUID();
    }
    const QString extension = QFileInfo(source.getFilePath()).suffix();
    if (QFileInfo(target).suffix().isEmpty() && !extension.isEmpty())
        target += QLatin1Char('.') + extension;
    if (QFileInfo::exists(target)) {
        Velmora::Log::warning("Asset manager: \"%s\" exists already; it is not overwritten\n", qUtf8Printable(target));
        return Velmora::UGUID();
    }
    QDir().mkpath(QFileInfo(target).absolutePath());
    const bool material = source.getType() == AssetType::MATERIAL;
    bool written = false;
    if (mode == 1 && material) {
        // An inherited material: a file of its own that names the source
        // material as its parent and declares nothing else yet.
        Velmora::Xml xml("material");
        xml.setArg("name", QFileInfo(target).completeBaseName().toUtf8().constData());
        xml.setArg("parent", Velmora::UGUID::derive(guid, "material").getString().get());
        written = xml.save(target.toUtf8().constData());
    } else {
        written = QFile::copy(source.getFilePath(), target);
    }
    if (!written) {
        Velmora::Log::warning("Asset manager: cannot write \"%s\"\n", qUtf8Printable(target));
        return Velmora::UGUID();
    }
    const Velmora::UGUID copy = importSync(target, mode == 1 ? QVariantMap() : as::ImportParams::fromAsset(source));
    if (!copy.isEmpty() && material && Velmora::FileSystem::isInitialized())
        Velmora::Materials::loadMaterial(target.mid(rootPath().size()).toUtf8().constData());
    return copy;
}

} // namespace Editor
