#include "model_guids.h"

#include <QSet>
#include <QVariant>

Velmora::Vector<Velmora::UGUID> ModelGuids::distinct(const QModelIndexList &indexes, int role)
{
    Velmora::Vector<Velmora::UGUID> guids;
    QSet<Velmora::UGUID> seen;
    for (const QModelIndex &index : indexes) {
        const QVariant value = index.data(role);
        if (!value.isValid() || !value.canConvert<Velmora::UGUID>())
            continue;
        const Velmora::UGUID guid = value.value<Velmora::UGUID>();
        if (guid.isEmpty() || seen.contains(guid))
            continue;
        seen.insert(guid);
        guids.append(guid);
    }
    return guids;
}
