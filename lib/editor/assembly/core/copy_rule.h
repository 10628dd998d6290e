#pragma once

#include <QString>

namespace assembly {

// One user copy rule: from an absolute file, folder or "folder/wildcard" to a
// destination relative to the build folder. Lists of rules keep the user's
// order.
struct CopyRule
{
    QString from;
    QString to;

    bool operator==(const CopyRule &other) const { return from == other.from && to == other.to; }
    bool operator!=(const CopyRule &other) const { return !(*this == other); }
};

} // namespace assembly
