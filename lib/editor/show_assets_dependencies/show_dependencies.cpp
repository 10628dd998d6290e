#include "editor/show_assets_dependencies/show_dependencies.h"

#include <QtDebug>

namespace show_deps {

namespace {

bool request(const char *what, const Velmora::Vector<Velmora::UGUID> &guids)
{
    if (guids.empty())
        return false;
    qInfo("Dependency viewer: %s requested for %d asset(s) (first %s).", what, guids.size(),
          guids.first().getString().get());
    return true;
}

} // namespace

bool showDependencies(const Velmora::Vector<Velmora::UGUID> &guids)
{
    return request("assets used", guids);
}

bool showDependents(const Velmora::Vector<Velmora::UGUID> &guids)
{
    return request("assets using these", guids);
}

} // namespace show_deps
