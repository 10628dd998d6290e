#pragma once

#include <velmora/UGUID.h>
#include <velmora/Vector.h>

#include <QModelIndexList>

// The assets behind selected rows of a model whose items carry a GUID in
// one role.
class ModelGuids
{
public:
    // The distinct non-empty GUIDs in the role, in the order of the indexes;
    // indexes without a GUID there are passed over.
    static Velmora::Vector<Velmora::UGUID> distinct(const QModelIndexList &indexes, int role);
};
