#include "editor/texture_profiler/model/textures_model.h"

#include "editor/texture_profiler/data/textures_list.h"

#include <velmora/String.h>

namespace tprof {

namespace {

QString memoryText(uint64_t bytes)
{
    return bytes ? QString::fromUtf8(Velmora::String::memory(bytes).get()) : QString();
}

} // namespace

TexturesModel::TexturesModel(QObject *parent)
    : QAbstractTableModel(parent)
{
    qRegisterMetaType<Velmora::UGUID>("Velmora::UGUID");
}

void TexturesModel::setList(const TexturesList *list)
{
    beginResetModel();
    list_ = list;
    endResetModel();
}

QModelIndex TexturesModel::indexOf(const Velmora::UGUID &guid) const
{
    if (!list_ || guid.isEmpty())
        return QModelIndex();
    const QList<int> rows = list_->rowsOf(guid);
    return rows.isEmpty() ? QModelIndex() : index(rows.first(), 0);
}

void TexturesModel::assetChanged(const Velmora::UGUID &guid)
{
    if (!list_)
        return;
    for (int row : list_->rowsOf(guid))
        emit dataChanged(index(row, COLUMN_PATH), index(row, COLUMN_EXTENSION), {Qt::DisplayRole});
}

const TextureItem *TexturesModel::item(const QModelIndex &index) const
{
    if (!list_ || !index.isValid() || index.model() != this || index.row() >= list_->size())
        return nullptr;
    return &list_->at(index.row());
}

int TexturesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !list_ ? 0 : list_->size();
}

int TexturesModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : COLUMN_COUNT;
}

QVariant TexturesModel::data(const QModelIndex &index, int role) const
{
    const TextureItem *texture = item(index);
    if (!texture)
        return QVariant();
    if (role == GUID_ROLE)
        return texture->guid.isEmpty() ? QVariant() : QVariant::fromValue(texture->guid);
    if (role != Qt::DisplayRole)
        return QVariant();
    switch (index.column()) {
    case COLUMN_PATH:
        return texture->path;
    case COLUMN_EXTENSION:
        return texture->extension;
    case COLUMN_RAM:
        return memoryText(texture->ram_usage);
    case COLUMN_VIDEO_MEMORY:
        return memoryText(texture->vram_usage);
    case COLUMN_FORMAT:
        return texture->format;
    case COLUMN_RESOLUTION:
        if (texture->texture_width < 1 || texture->texture_height < 1)
            return QString();
        return QStringLiteral("%1x%2").arg(texture->texture_width).arg(texture->texture_height);
    default:
        return QVariant();
    }
}

QVariant TexturesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case COLUMN_PATH:
        return tr("Path");
    case COLUMN_EXTENSION:
        return tr("Extension");
    case COLUMN_RAM:
        return tr("RAM");
    case COLUMN_VIDEO_MEMORY:
        return tr("Video Memory");
    case COLUMN_FORMAT:
        return tr("Format");
    case COLUMN_RESOLUTION:
        return tr("Resolution");
    default:
        return QVariant();
    }
}

Qt::ItemFlags TexturesModel::flags(const QModelIndex &index) const
{
    return item(index) ? QAbstractTableModel::flags(index) : Qt::NoItemFlags;
}

} // namespace tprof
