#include "editor/watchers/shader_compilation_watcher.h"

#include <editor_core/EditorLogic.h>
#include <editor_core/EditorSettings.h>
#include <editor_core/UpdateLock.h>
#include <editor_core/ViewportManager.h>
#include <editor_core/base/Assert.h>
#include <editor_core/depr/EditorGlobals.h>

#include <velmora/Materials.h>

ShaderCompilationWatcher::ShaderCompilationWatcher(QObject *parent)
    : QObject(parent)
{
    EditorLogic *logic = depr::g.editor;
    if (!logic) {
        base::printAssertMessage("depr::g.editor", __FILE__, __LINE__);
        return;
    }
    connect(logic, &EditorLogic::onInit, this, &ShaderCompilationWatcher::applyPrecompileSetting);
    connect(logic, &EditorLogic::onUpdate, this, &ShaderCompilationWatcher::applyPrecompileSetting);
    connect(logic, &EditorLogic::onMaterialCompileShadersBegin, this, &ShaderCompilationWatcher::onCompileBegin);
    connect(logic, &EditorLogic::onMaterialCompileShadersEnd, this, &ShaderCompilationWatcher::onCompileEnd);
    connect(logic, &EditorLogic::onMaterialCompileShaders, this,
            [this](const Velmora::Ptr<Velmora::Material> &, int) { ++compiled_materials_; });
}

ShaderCompilationWatcher::~ShaderCompilationWatcher()
{
    // A compile still running when the watcher goes must not keep the
    // frames running for ever.
    if (compiling_)
        UpdateLock::disclaimAlwaysUpdate();
}

void ShaderCompilationWatcher::watchViewports()
{
    ViewportManager *viewports = depr::g.viewports;
    if (!viewports) {
        base::printAssertMessage("depr::g.viewports", __FILE__, __LINE__);
        return;
    }
    connect(viewports, &ViewportManager::viewportCreated, this, &ShaderCompilationWatcher::createPopup);
}

void ShaderCompilationWatcher::applyPrecompileSetting()
{
    EditorSettings *settings = depr::g.settings;
    if (!settings)
        return;
    const EditorSettings::EditorSection section = settings->editor();
    const bool wanted = section.precompile_all_shaders.file->getBool(
        section.precompile_all_shaders.key, EditorSettings::DEFAULT_PRECOMPILE_ALL_SHADERS);
    if (wanted != Velmora::Materials::isPrecompileAllShaders())
        Velmora::Materials::setPrecompileAllShaders(wanted);
}

void ShaderCompilationWatcher::onCompileBegin()
{
    if (compiling_)
        return;
    compiling_ = true;
    UpdateLock::claimAlwaysUpdate();
}

void ShaderCompilationWatcher::onCompileEnd()
{
    if (!compiling_)
        return;
    compiling_ = false;
    UpdateLock::disclaimAlwaysUpdate();
}

void ShaderCompilationWatcher::createPopup(const QString &viewport_id)
{
    viewports_.append(viewport_id);
}
