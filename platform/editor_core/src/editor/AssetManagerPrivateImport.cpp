// Import: a file of the data folder made an asset, its meta file written.

#include "AssetManagerPrivateIndex.h"

#include "editor_core/as/AssetTypes.h"
#include "editor_core/as/ImportParams.h"

#include <velmora/Engine.h>
#include <velmora/FileSystem.h>
#include <velmora/Log.h>
#include <velmora/Render.h>
#include <velmora/Xml.h>

#include <QDir>
#include <QFileInfo>

namespace Editor {

using asset_records::readMeta;

Velmora::UGUID AssetManagerPrivate::importSync(const QString &path, const QVariantMap &params)
{
    const QString root = rootPath();
    QString absolute = QDir::cleanPath(QDir::fromNativeSeparators(path));
    if (QDir::isRelativePath(absolute) && !root.isEmpty())
        absolute = root + absolute;
    QString relative = absolute.mid(root.size());
    // A link is never an asset (the scan lists none): a file saved or
    // written through one is its target, which is imported when it lies in
    // the visible data folder (paths compared with every link resolved).
    const QString real = QFileInfo(absolute).canonicalFilePath();
    const QString real_root = root.isEmpty() ? QString() : QFileInfo(root).canonicalFilePath() + QLatin1Char('/');
    if (!real.isEmpty() && !real_root.isEmpty() && absolute.startsWith(root) && real != real_root + relative) {
        if (!real.startsWith(real_root)) {
            Velmora::Log::warning("Asset manager: \"%s\" is a link that leads outside the data folder; it is not "
                                  "imported\n",
                                  qUtf8Printable(absolute));
            return Velmora::UGUID();
        }
        relative = real.mid(real_root.size());
        absolute = root + relative;
    }
    const bool hidden = relative.startsWith(QLatin1Char('.')) || relative.contains(QLatin1String("/."));
    if (root.isEmpty() || !absolute.startsWith(root) || hidden || relative.endsWith(QLatin1String(".meta"))) {
        Velmora::Log::warning("Asset manager: \"%s\" is not inside the visible data folder; it is not imported\n",
                              qUtf8Printable(absolute));
        return Velmora::UGUID();
    }
    if (!QFileInfo(absolute).isFile()) {
        Velmora::Log::warning("Asset manager: cannot import \"%s\": no such file\n", qUtf8Printable(absolute));
        return Velmora::UGUID();
    }

    const as::Asset existing = asset(relative);
    const bool is_new = existing.getGUID().isEmpty();
    // A re-import says the file has new contents: a render that holds the
    // old ones reads the file again (also when the meta file cannot be
    // written below).
    if (!is_new && Velmora::Engine::get())
        Velmora::Render::reloadTexture(relative.toUtf8().constData());
    if (!is_new && existing.getNumRuntimes() > 1) {
        // Stored runtimes come from a real import; their meta file stays.
        emit changed(existing.getGUID());
        emit end();
        return existing.getGUID();
    }
    const Velmora::UGUID guid = is_new ? Velmora::UGUID::generate() : existing.getGUID();
    Velmora::Xml xml("asset");
    xml.setIntArg("version", 1);
    xml.setArg("guid", guid.getString().get());
    xml.setIntArg("type", int(as::typeByExtension(QFileInfo(relative).suffix())));
    xml.setIntArg("excluded", is_new ? 0 : (existing.isExcluded() ? 1 : 0));
    if (!params.isEmpty()) {
        Velmora::Xml *import = xml.addChild("import");
        for (auto it = params.constBegin(); it != params.constEnd(); ++it) {
            if (it.key() == QLatin1String(as::ImportParams::MAPPERS_KEY))
                continue;
            Velmora::Xml *param = import->addChild("param");
            param->setArg("name", it.key().toUtf8().constData());
            param->setData(it.value().toString().toUtf8().constData());
        }
    }
    const QString meta_path = absolute + QLatin1Char('.') + QLatin1String(as::ASSET_EXTENSION);
    if (!xml.save(meta_path.toUtf8().constData())) {
        Velmora::Log::warning("Asset manager: cannot write \"%s\"; \"%s\" is not imported\n", qUtf8Printable(meta_path),
                              qUtf8Printable(relative));
        return Velmora::UGUID();
    }
    as::Asset record;
    if (!readMeta(root, relative, record))
        return Velmora::UGUID();
    {
        QWriteLocker locker(&lock_);
        index_->insert(record);
        ++revision_;
    }
    if (Velmora::FileSystem::isInitialized())
        Velmora::FileSystem::addFile(absolute.toUtf8().constData(), guid);
    if (is_new)
        emit added(guid);
    else
        emit changed(guid);
    emit end();
    return guid;
}

} // namespace Editor
