#pragma once

namespace Velmora {
namespace engine_internal {

// The engine-side editor script, built in: the track editor behind the
// Tracker window and the video grabber's track player. Registers their
// functions (again, replacing an earlier registration) in the group
// "EditorScript".
void registerEditorScript();
// Removes the group and drops every reference the modules hold.
void unregisterEditorScript();

} // namespace engine_internal
} // namespace Velmora
