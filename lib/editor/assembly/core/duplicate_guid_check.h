#pragma once

#include <QCoreApplication>
#include <QString>

namespace Editor {
class AssetManagerPrivate;
}

namespace assembly {

// A build must not start while two files of the data folder claim one GUID:
// only one of them is an asset, so the build would silently miss the other
// (a world the launcher then cannot load, say).
class DuplicateGuidCheck
{
    Q_DECLARE_TR_FUNCTIONS(assembly::DuplicateGuidCheck)

public:
    // The text of the "Error" box naming every pair of files; "" when every
    // GUID belongs to one file. Also logs the pairs as critical lines.
    static QString problem(const Editor::AssetManagerPrivate *assets);
};

} // namespace assembly
