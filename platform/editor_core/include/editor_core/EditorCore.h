#pragma once

// Library-wide set-up of the editor-core stand-in.
class EditorCore
{
public:
    // Registers the meta-types that travel in queued signals and QVariants:
    // Velmora::UGUID, Velmora::Vector<Velmora::UGUID>, as::Asset,
    // as::ActionType and tbb::JobPtr. Called by Editor::AssetManager's
    // constructor; repeat calls are harmless.
    static void registerMetaTypes();
};
