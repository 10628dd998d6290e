#pragma once

#include <QPair>
#include <QString>
#include <QVector>

namespace terrain {

// One tileset mapper of a landscape map: a name and its file map, the ordered
// (key, data-relative file path) pairs of the tiles it maps.
class TilesetMapper
{
public:
    using FileMap = QVector<QPair<QString, QString>>;

    TilesetMapper() = default;
    TilesetMapper(const QString &name, const FileMap &files)
        : name_(name)
        , files_(files)
    {}

    const QString &getName() const { return name_; }
    // In the order the import parameters list them; keys may repeat.
    const FileMap &getFileMap() const { return files_; }
    void addFile(const QString &key, const QString &path) { files_.append(qMakePair(key, path)); }

    bool operator==(const TilesetMapper &other) const { return name_ == other.name_ && files_ == other.files_; }
    bool operator!=(const TilesetMapper &other) const { return !(*this == other); }

private:
    QString name_;
    FileMap files_;
};

} // namespace terrain
