#pragma once

#include <velmora/UGUID.h>
#include <velmora/Vector.h>

#include <QString>
#include <QVector>

namespace Editor {
class AssetManagerPrivate;
}

namespace cleaner {

// The order of the unused table: by the pretty name of the asset type, then
// by file name, both case-sensitive text order. Compared as the pair (type
// name, file name), so the order stays a strict weak one even when two types
// share a pretty name.
class SortAssetsByTypeAndName
{
public:
    explicit SortAssetsByTypeAndName(const Editor::AssetManagerPrivate *as_manager);

    bool operator()(const Velmora::UGUID &a, const Velmora::UGUID &b) const;
    // The pretty name of a type; "" outside 0..23.
    QString prettyName(int type) const;

    // Sorts guids; each asset's keys are read once (no asset manager call
    // per comparison).
    void sort(Velmora::Vector<Velmora::UGUID> &guids) const;

private:
    QVector<QString> pretty_names_;
    const Editor::AssetManagerPrivate *as_manager_;
};

} // namespace cleaner
