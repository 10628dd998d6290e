#pragma once

#include "editor/assembly/core/impl/file_processing/content_catalog.h"
#include "editor/assembly/core/source.h"

#include <QHash>
#include <QString>
#include <QVector>

#include <memory>

namespace Editor {
class AssetManagerPrivate;
}
namespace mat {
class Manager;
}
namespace prop {
class Manager;
}

namespace assembly {

// The project's content: every runtime file of every asset that is not
// excluded, lives in no package and is no C# component, placed at its
// data-relative path under "data/", and the table "guids.db" that maps each
// file GUID to that path.
//
// Stale or odd asset data never stops the editor: a runtime whose file or
// side ".meta" is missing, a stored runtime outside ".runtimes", or a GUID
// that two runtimes claim is skipped with a warning (a repeat of the same
// file is skipped silently).
class ContentFilesSource : public fp::Source
{
public:
    ContentFilesSource(Editor::AssetManagerPrivate *assets, mat::Manager *materials, prop::Manager *properties,
                       const QString &cache_path, const QString &out_data_path);
    ContentFilesSource(std::unique_ptr<ContentCatalog> catalog, const QString &cache_path,
                       const QString &out_data_path);
    ~ContentFilesSource() override;

    int getMaxProgress() const override { return 2; }
    bool process(const ProgressCallback &progress, post::OperationQueue &queue, fp::CopyItems &items) override;

private:
    struct Entry
    {
        Velmora::UGUID guid;
        QString path;
    };

    void addStoredRuntime(const Velmora::UGUID &runtime, fp::CopyItems &items);
    void addMaterialOrProperty(const ContentCatalog::Asset &asset, const Velmora::UGUID &runtime, fp::CopyItems &items);
    bool addFile(const QString &abs, const QString &rel, const Velmora::UGUID &guid, fp::CopyItems &items);
    bool writeGuidsDb(post::OperationQueue &queue, fp::CopyItems &items) const;

    std::unique_ptr<ContentCatalog> catalog_;
    QString cache_path_;
    QString out_data_path_;

    // State of one process() call.
    QString inp_data_path_;
    QVector<Entry> entries_;
    QHash<Velmora::UGUID, QString> written_;
};

} // namespace assembly
