#include "editor/interdependence/custom_settings.h"

#include <editor_core/base/Assert.h>

#include <utility>

namespace inas {

CustomSettings::CustomSettings(Editor::AssetManagerPrivate *as_manager, mat::Manager *materials,
                               prop::Manager *properties, QVector<as::Asset> assets)
    : as_manager_(as_manager)
    , materials_(materials)
    , properties_(properties)
    , assets_(std::move(assets))
{
    EC_ASSERT(as_manager_ && materials_ && properties_);
    EC_SOFT_ASSERT(!assets_.empty());
}

CustomSettings::~CustomSettings() = default;

} // namespace inas
