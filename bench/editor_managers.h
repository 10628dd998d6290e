#pragma once

#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/AssetManagerPrivate.h>
#include <editor_core/mat/Manager.h>
#include <editor_core/prop/Manager.h>

#include <velmora/Engine.h>

#include <memory>

namespace bench {

// Unregisters and frees the editor's managers a benchmark made over its data
// folder, in the order the editor does, and stops the engine.
inline void stopEditorManagers(std::unique_ptr<Editor::AssetManagerPrivate> &assets,
                               std::unique_ptr<mat::Manager> &materials, std::unique_ptr<prop::Manager> &properties)
{
    depr::g.mat_manager = nullptr;
    depr::g.prop_manager = nullptr;
    depr::g.asset_manager = nullptr;
    properties.reset();
    materials.reset();
    assets->shutdown();
    assets.reset();
    Velmora::Engine::shutdown();
}

} // namespace bench
