#pragma once

#include "editor_core/as/Asset.h"

#include <velmora/UGUID.h>

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

namespace as {

// A GUID claimed by two files of the data folder (typically a file copied
// together with its meta file). Paths are data-relative.
struct DuplicateGuid
{
    Velmora::UGUID guid;
    QString kept; // the file that is the asset
    QString left_out; // the file that claims the same GUID and is no asset

    bool operator==(const DuplicateGuid &other) const
    {
        return guid == other.guid && kept == other.kept && left_out == other.left_out;
    }
};

// The GUIDs (asset and runtime GUIDs) of the assets found by one scan. The
// scan offers every asset in path order; the first file that claims a GUID
// keeps it, and every later one is left out and remembered, with one
// warning naming both files.
class GuidClaims
{
public:
    // True when the asset's GUIDs are all free: they are then claimed for
    // it. Otherwise nothing is claimed, the clash is recorded and logged,
    // and the asset must be left out.
    bool claim(const Asset &asset);

    const QVector<DuplicateGuid> &duplicates() const { return duplicates_; }

    // The text that tells the user about one duplicate.
    static QString describe(const DuplicateGuid &duplicate);

private:
    QHash<Velmora::UGUID, QString> owners_;
    QVector<DuplicateGuid> duplicates_;
};

} // namespace as
