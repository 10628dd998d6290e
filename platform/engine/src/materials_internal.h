// What the material object (material.cpp) and the material registry
// (materials.cpp) share. Internal to the engine.
#pragma once

#include "velmora/Material.h"
#include "velmora/Ptr.h"

#include <atomic>
#include <cstdint>

namespace Velmora {
namespace engine_internal {
namespace mat {

// The kinds of a material's declarations.
enum Kind { TEXTURES = 0, PARAMETERS = 1, STATES = 2 };

// The longest parent chain followed; longer chains are cut.
constexpr int MAX_CHAIN = 64;

// Counts every change to a material or to the set of materials (see
// engine_internal::materialsRevision).
extern std::atomic<uint64_t> g_revision;

// Raises the count; called after the change is made.
void changed();

// A new built-in base material of that name, declaring nothing.
Ptr<Material> createBase(const char *name);

} // namespace mat
} // namespace engine_internal
} // namespace Velmora
