#include "editor_core/as/GuidClaims.h"

#include <velmora/Log.h>

namespace as {

bool GuidClaims::claim(const Asset &asset)
{
    const QString path = asset.getRelativePath();
    for (const Runtime &runtime : asset.getRuntimes()) {
        const auto owner = owners_.constFind(runtime.getGUID());
        if (owner == owners_.constEnd())
            continue;
        const DuplicateGuid duplicate{runtime.getGUID(), owner.value(), path};
        duplicates_.append(duplicate);
        Velmora::Log::warning("Asset manager: %s\n", qUtf8Printable(describe(duplicate)));
        return false;
    }
    for (const Runtime &runtime : asset.getRuntimes())
        owners_.insert(runtime.getGUID(), path);
    return true;
}

QString GuidClaims::describe(const DuplicateGuid &duplicate)
{
    return QStringLiteral("\"%1\" and \"%2\" have the same GUID %3; \"%1\" is used and \"%2\" is left out. Give one "
                          "of them a new GUID.")
            .arg(duplicate.kept, duplicate.left_out, QString::fromLatin1(duplicate.guid.getString().get()));
}

} // namespace as
