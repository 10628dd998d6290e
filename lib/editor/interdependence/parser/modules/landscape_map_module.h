#pragma once

#include "editor/interdependence/parser/guid_processor_base.h"
#include "editor/interdependence/parser/modules/module.h"

namespace Editor {
class AssetManagerPrivate;
}

namespace inas {
namespace parser {

// Landscape maps (type 9): the tiles named by the tileset mappers of the
// asset's import parameters, then the references of its meta file. Found
// references of both are dependents (the asset's own GUID and runtimes
// excepted), so that nothing the map uses looks unused; references to files
// that are gone are lost.
class LandscapeMapModule : public Module
{
public:
    LandscapeMapModule(Editor::AssetManagerPrivate *as_manager,
                       std::shared_ptr<const GuidProcessorBase> guid_processor);

    void process(const char *path, Item &item) override;

private:
    Editor::AssetManagerPrivate *as_manager_;
    std::shared_ptr<const GuidProcessorBase> guid_processor_;
};

} // namespace parser
} // namespace inas
