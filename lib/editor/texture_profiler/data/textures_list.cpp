#include "editor/texture_profiler/data/textures_list.h"

#include <editor_core/as/Asset.h>
#include <editor_core/editor/AssetManagerPrivate.h>
#include <editor_core/fs/FileSystem.h>

#include <QDir>

#include <algorithm>

namespace tprof {

QString TexturesList::dataRelativePath(const QString &path)
{
    // Cleaned first, so that "a/../../b" and an absolute path into the data
    // folder are judged by where they lead.
    const QString relative = fs::relDataPath(path);
    if (relative.isEmpty() || !QDir::isRelativePath(relative) || relative == QLatin1String("..")
        || relative.startsWith(QLatin1String("../")))
        return QString();
    return relative;
}

TexturesList::TexturesList(Editor::AssetManagerPrivate *asset_manager)
    : asset_manager_(asset_manager)
{}

bool TexturesList::add(const QString &listed_path, const QString &format, uint64_t ram_usage, uint64_t vram_usage,
                       int width, int height)
{
    const QString path = dataRelativePath(listed_path);
    if (path.isEmpty())
        return false;
    TextureItem item;
    const as::Asset asset = asset_manager_ ? asset_manager_->asset(fs::virtualPath(path)) : as::Asset();
    if (asset.isNull()) {
        // The console prints data-relative paths: look in the data folder,
        // never in the working folder.
        if (!fs::fileExists(fs::absDataPath(path)))
            return false;
        item.path = path;
        item.extension = fs::getExtension(path);
    } else {
        const as::FileInfo info = asset_manager_->fileInfo(asset.getGUID());
        item.guid = asset.getGUID();
        item.path = fs::relDataPath(info.filePath());
        item.extension = info.extension();
        item.core = asset.isCore();
    }
    item.format = format;
    item.ram_usage = ram_usage;
    item.vram_usage = vram_usage;
    item.texture_width = width;
    item.texture_height = height;
    if (item.guid.isValid())
        rows_by_guid_.insert(item.guid, items_.size());
    items_.append(std::move(item));
    return true;
}

bool TexturesList::addNotLoaded(const QString &path, uint64_t ram_usage, uint64_t vram_usage)
{
    return add(path, QString(), ram_usage, vram_usage, 0, 0);
}

bool TexturesList::update(const Velmora::UGUID &guid)
{
    if (!asset_manager_ || guid.isEmpty())
        return false;
    const QList<int> rows = rowsOf(guid);
    if (rows.isEmpty())
        return false;
    const as::FileInfo info = asset_manager_->fileInfo(guid);
    const QString path = fs::relDataPath(info.filePath());
    const QString extension = info.extension();
    bool changed = false;
    for (int row : rows) {
        TextureItem &item = items_[row];
        if (item.path != path) {
            item.path = path;
            changed = true;
        }
        if (item.extension != extension) {
            item.extension = extension;
            changed = true;
        }
    }
    return changed;
}

bool TexturesList::remove(const Velmora::UGUID &guid)
{
    if (guid.isEmpty() || !rows_by_guid_.contains(guid))
        return false;
    const auto end = std::remove_if(items_.begin(), items_.end(),
                                    [&guid](const TextureItem &item) { return item.guid == guid; });
    items_.resize(int(end - items_.begin()));
    rebuildIndex();
    return true;
}

void TexturesList::clear()
{
    items_.clear();
    rows_by_guid_.clear();
}

QList<int> TexturesList::rowsOf(const Velmora::UGUID &guid) const
{
    if (guid.isEmpty())
        return {};
    QList<int> rows = rows_by_guid_.values(guid);
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TexturesList::rebuildIndex()
{
    rows_by_guid_.clear();
    for (int row = 0; row < items_.size(); ++row) {
        if (items_[row].guid.isValid())
            rows_by_guid_.insert(items_[row].guid, row);
    }
}

} // namespace tprof
