#include "core/base/build_information.h"

#include "build_info.h"

namespace base {

QString BuildInformation::version()
{
    return QStringLiteral(VELMORA_BUILD_VERSION);
}

QString BuildInformation::branchTag()
{
    return QStringLiteral(VELMORA_BUILD_BRANCH_TAG);
}

QString BuildInformation::revision()
{
    return QStringLiteral(VELMORA_BUILD_REVISION);
}

QString BuildInformation::date()
{
    return QStringLiteral(VELMORA_BUILD_DATE);
}

QString BuildInformation::platform()
{
    return QStringLiteral(VELMORA_BUILD_PLATFORM);
}

QString BuildInformation::compiler()
{
    return QStringLiteral(VELMORA_BUILD_COMPILER);
}

} // namespace base
