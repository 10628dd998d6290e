#include "editor/assembly/core/impl/file_processing/content_files_source.h"

#include "editor/assembly/core/impl/file_processing/editor_content_catalog.h"
#include "editor/assembly/core/impl/file_processing/temporary_build_file.h"
#include "editor/assembly/core/path_utils.h"

#include <editor_core/base/Assert.h>

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtDebug>

#include <utility>

namespace assembly {

namespace {

QString text(const Velmora::UGUID &guid)
{
    return QString::fromUtf8(guid.getString().get());
}

} // namespace

ContentFilesSource::ContentFilesSource(Editor::AssetManagerPrivate *assets, mat::Manager *materials,
                                       prop::Manager *properties, const QString &cache_path,
                                       const QString &out_data_path)
    : ContentFilesSource(std::make_unique<EditorContentCatalog>(assets, materials, properties), cache_path,
                         out_data_path)
{}

ContentFilesSource::ContentFilesSource(std::unique_ptr<ContentCatalog> catalog, const QString &cache_path,
                                       const QString &out_data_path)
    : catalog_(std::move(catalog))
    , cache_path_(cache_path)
    , out_data_path_(out_data_path)
{
    EC_ASSERT(catalog_);
    EC_ASSERT(!cache_path_.isEmpty());
}

ContentFilesSource::~ContentFilesSource() = default;

bool ContentFilesSource::process(const ProgressCallback &progress, post::OperationQueue &queue, fp::CopyItems &items)
{
    entries_.clear();
    written_.clear();
    inp_data_path_ = normalizePath(catalog_->rootPath());
    if (inp_data_path_.isEmpty()) {
        qCritical() << "Build Tool: the data folder is unknown, the project's content can't be listed.";
        return false;
    }

    const QVector<ContentCatalog::Asset> assets = catalog_->assets();
    for (const ContentCatalog::Asset &asset : assets) {
        if (asset.excluded)
            continue;
        for (const ContentCatalog::Runtime &runtime : asset.runtimes) {
            if (catalog_->isPackageFile(runtime.guid))
                continue;
            if (runtime.stored)
                addStoredRuntime(runtime.guid, items);
            else if (asset.type == ContentCatalog::TYPE_CS_COMPONENT)
                continue;
            else if (asset.type == ContentCatalog::TYPE_MATERIAL || asset.type == ContentCatalog::TYPE_PROPERTY)
                addMaterialOrProperty(asset, runtime.guid, items);
            else
                addFile(catalog_->absolutePath(runtime.guid), catalog_->virtualPath(runtime.guid), runtime.guid, items);
        }
    }

    const bool written = entries_.isEmpty() || writeGuidsDb(queue, items);
    entries_.clear();
    written_.clear();
    if (!written)
        return false;
    return progress(2, 2);
}

void ContentFilesSource::addStoredRuntime(const Velmora::UGUID &runtime, fp::CopyItems &items)
{
    const QString abs = catalog_->absolutePath(runtime);
    const int at = abs.lastIndexOf(QLatin1String(".runtimes"));
    if (at < 0) {
        qWarning() << "Build Tool: a stored runtime lies outside the \".runtimes\" folder and is skipped (" << abs
                   << "," << text(runtime) << ").";
        return;
    }
    const QString meta = abs + QStringLiteral(".meta");
    if (!QFileInfo(meta).isFile()) {
        qWarning() << "Build Tool: necessary file not found (" << meta << ").";
        return;
    }
    const QString rel = abs.mid(at);
    if (addFile(abs, rel, runtime, items))
        items.append(fp::CopyItem{meta, out_data_path_ + rel + QStringLiteral(".meta")});
}

void ContentFilesSource::addMaterialOrProperty(const ContentCatalog::Asset &asset, const Velmora::UGUID &runtime,
                                               fp::CopyItems &items)
{
    const QString asset_file_path = catalog_->assetFilePath(asset.guid);
    if (!asset_file_path.startsWith(inp_data_path_)) {
        qWarning() << "Build Tool: [internal warning] Asset file path looks wrong: " << asset_file_path;
        return;
    }
    const Velmora::UGUID file_guid = asset.type == ContentCatalog::TYPE_MATERIAL ? catalog_->materialFileGUID(runtime)
                                                                                 : catalog_->propertyFileGUID(runtime);
    if (file_guid.isEmpty())
        return;
    const QString abs = catalog_->absolutePath(file_guid);
    if (abs.isEmpty() || catalog_->isGUIDPath(abs)) {
        qWarning() << "Build Tool: [internal warning] asset file has an invalid FileSystem's path.";
        qWarning() << "\tAsset file path: " << asset_file_path;
        qWarning() << "\tAsset guid: " << text(asset.guid);
        qWarning() << "\tFile guid: " << text(file_guid);
        qWarning() << "\tRuntime guid: " << text(runtime);
        return;
    }
    addFile(abs, asset_file_path.mid(inp_data_path_.size()), file_guid, items);
}

bool ContentFilesSource::addFile(const QString &abs, const QString &rel, const Velmora::UGUID &guid,
                                 fp::CopyItems &items)
{
    if (!guid.isValid()) {
        qWarning() << "Build Tool: a file without a valid GUID is skipped (" << abs << ").";
        return false;
    }
    const auto seen = written_.constFind(guid);
    if (seen != written_.constEnd()) {
        // Two runtimes of one file (a material asset and its material) name
        // the same GUID; only a clash of different files is worth a word.
        if (seen.value() != rel)
            qWarning() << "Build Tool: two files claim the GUID" << text(guid) << "(" << seen.value() << "," << rel
                       << "); the second is skipped.";
        return false;
    }
    if (abs.isEmpty() || !QFileInfo(abs).isFile()) {
        qWarning() << "Build Tool: necessary file not found (" << abs << ").";
        return false;
    }
    if (!isSafeRelativePath(rel)) {
        qWarning() << "Build Tool: a file has no usable path in the data folder and is skipped (" << abs << "," << rel
                   << ").";
        return false;
    }
    items.append(fp::CopyItem{abs, out_data_path_ + rel});
    entries_.append(Entry{guid, rel});
    written_.insert(guid, rel);
    return true;
}

bool ContentFilesSource::writeGuidsDb(post::OperationQueue &queue, fp::CopyItems &items) const
{
    QJsonObject table;
    for (const Entry &entry : entries_)
        table.insert(text(entry.guid), entry.path);
    const QString path = TemporaryBuildFile::write(QStringLiteral("guids.db"), QJsonDocument(table).toJson(), queue);
    if (path.isEmpty())
        return false;
    items.append(fp::CopyItem{path, out_data_path_ + QStringLiteral("guids.db")});
    return true;
}

} // namespace assembly
