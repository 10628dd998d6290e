#include "editor/assembly/core/duplicate_guid_check.h"

#include <editor_core/editor/AssetManagerPrivate.h>

#include <QStringList>
#include <QtDebug>

namespace assembly {

QString DuplicateGuidCheck::problem(const Editor::AssetManagerPrivate *assets)
{
    if (!assets)
        return QString();
    const QVector<as::DuplicateGuid> duplicates = assets->duplicates();
    if (duplicates.isEmpty())
        return QString();
    // A box stays readable: the first few pairs, the rest in the log.
    const int shown = 10;
    QStringList pairs;
    for (int i = 0; i < duplicates.size(); ++i) {
        const as::DuplicateGuid &duplicate = duplicates.at(i);
        qCritical() << "Build Tool:" << qUtf8Printable(as::GuidClaims::describe(duplicate));
        if (i < shown)
            pairs << QStringLiteral("%1\n%2").arg(duplicate.kept, duplicate.left_out);
    }
    if (duplicates.size() > shown)
        pairs << tr("... and %n more (see the Console window)", nullptr, duplicates.size() - shown);
    return tr("These files of the data folder share a GUID, so only the first of each pair is an asset:\n\n%1\n\n"
              "Give one file of each pair a new GUID, then build again.")
            .arg(pairs.join(QStringLiteral("\n\n")));
}

} // namespace assembly
