#pragma once

#include <QString>
#include <QVector>

namespace assembly::fp {

// One file the build folder must receive: an existing absolute source path
// and a destination relative to the build folder, with '/' separators.
struct CopyItem
{
    QString source_path;
    QString relative_dest;

    bool operator==(const CopyItem &other) const
    {
        return source_path == other.source_path && relative_dest == other.relative_dest;
    }
    bool operator!=(const CopyItem &other) const { return !(*this == other); }
};

using CopyItems = QVector<CopyItem>;

} // namespace assembly::fp
