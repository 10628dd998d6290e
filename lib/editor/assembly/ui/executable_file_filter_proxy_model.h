#pragma once

#include "editor/assembly/core/assembly_enums.h"

#include <QSortFilterProxyModel>

class QFileInfo;

namespace assembly {

// The executable chooser's filter over its file-system model: folders are
// always listed; files only when they are programs of the running system.
class ExecutableFileFilterProxyModel : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit ExecutableFileFilterProxyModel(QObject *parent = nullptr);
    ~ExecutableFileFilterProxyModel() override;

    // Folders pass. Windows: an executable file with the suffix "exe" in any
    // letter case. Linux: an executable file that is not a shared library
    // (suffix "so" or a versioned ".so." name).
    static bool acceptsEntry(const QFileInfo &entry, System system);

protected:
    bool filterAcceptsRow(int source_row, const QModelIndex &source_parent) const override;
};

} // namespace assembly
