#pragma once

#include "editor/assembly/core/pre_action.h"

#include <functional>

namespace assembly {

// Compiles the shaders of every material before copying, in batches of ten
// materials per hand-over to the GUI thread. The number of materials is taken
// at construction; a project without materials still counts one step.
class PrecompileShaders : public pre::Action
{
public:
    static constexpr int BATCH_SIZE = 10;

    // Compiles the materials with indexes first..last-1 that exist; called
    // on the GUI thread.
    using CompileBatch = std::function<void(int first, int last)>;

    // The engine's materials.
    PrecompileShaders();
    PrecompileShaders(int num_materials, CompileBatch compile);

    int getMaxProgress() const override;
    bool execute(const ProgressCallback &progress, post::OperationQueue &queue) override;

    // The engine's batch compiler: skips indexes the engine has no material
    // for.
    static void compileEngineMaterials(int first, int last);

private:
    int num_materials_ = 0;
    CompileBatch compile_;
};

} // namespace assembly
