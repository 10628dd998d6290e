#pragma once

#include "editor/texture_profiler/data/texture_item.h"

#include <velmora/UGUID.h>
#include <velmora/Vector.h>

#include <QHash>
#include <QString>

namespace Editor {
class AssetManagerPrivate;
}

namespace tprof {

// The textures of one streaming listing, in console order. Paths the asset
// database knows become that asset's record (GUID, file path, extension,
// core flag); other paths are kept only when the file exists in the data
// folder. A GUID index keeps asset updates and removals cheap however many
// textures are listed.
class TexturesList
{
public:
    // asset_manager may be null: every texture is then a plain file.
    explicit TexturesList(Editor::AssetManagerPrivate *asset_manager);

    // The data-relative form of a listed path; "" when, cleaned, it does not
    // lie inside the data folder (an absolute path elsewhere, a climb out
    // with "..").
    static QString dataRelativePath(const QString &path);

    // Appends a texture; false (nothing added) when the path lies outside
    // the data folder or is neither an asset nor an existing file there.
    bool add(const QString &path, const QString &format, uint64_t ram_usage, uint64_t vram_usage, int width,
             int height);
    bool addNotLoaded(const QString &path, uint64_t ram_usage, uint64_t vram_usage);
    // Takes path and extension of every item of the asset again from the
    // asset manager; true when something changed.
    bool update(const Velmora::UGUID &guid);
    // Removes every item of the asset, keeping the order of the others; true
    // when something was removed.
    bool remove(const Velmora::UGUID &guid);
    void clear();

    int size() const { return items_.size(); }
    const TextureItem &at(int row) const { return items_[row]; }
    // Rows of the asset's items, ascending; empty for an empty GUID.
    QList<int> rowsOf(const Velmora::UGUID &guid) const;

private:
    void rebuildIndex();

    Velmora::Vector<TextureItem> items_;
    QMultiHash<Velmora::UGUID, int> rows_by_guid_;
    Editor::AssetManagerPrivate *asset_manager_ = nullptr;
};

} // namespace tprof
