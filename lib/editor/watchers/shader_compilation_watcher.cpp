#include "editor/watchers/shader_compilation_watcher.h"

#include "editor/watchers/shader_compilation_popup_widget.h"

#include <editor_core/EditorLogic.h>
#include <editor_core/EditorSettings.h>
#include <editor_core/UpdateLock.h>
#include <editor_core/ViewportManager.h>
#include <editor_core/ViewportWindowScene.h>
#include <editor_core/base/Assert.h>
#include <editor_core/depr/EditorGlobals.h>

#include <velmora/Materials.h>

#include <QString>

ShaderCompilationWatcher::ShaderCompilationWatcher(QObject *parent)
    : QObject(parent)
{
    EditorLogic *logic = depr::g.editor;
    if (!logic) {
        base::printAssertMessage("depr::g.editor", "lib/editor/watchers/ShaderCompilationWatcher", __LINE__);
        return;
    }
    connect(logic, &EditorLogic::onInit, this, &ShaderCompilationWatcher::applyPrecompileSetting);
    connect(logic, &EditorLogic::onUpdate, this, &ShaderCompilationWatcher::applyPrecompileSetting);
    connect(logic, &EditorLogic::onMaterialCompileShadersBegin, this, &ShaderCompilationWatcher::onCompileBegin);
    connect(logic, &EditorLogic::onMaterialCompileShadersEnd, this, &ShaderCompilationWatcher::onCompileEnd);
}

ShaderCompilationWatcher::~ShaderCompilationWatcher()
{
    onCompileEnd();
}

void ShaderCompilationWatcher::watchViewports()
{
    ViewportManager *viewports = depr::g.viewports;
    if (!viewports) {
        base::printAssertMessage("depr::g.viewports", "lib/editor/watchers/ShaderCompilationWatcher", __LINE__);
        return;
    }
    connect(viewports, &ViewportManager::viewportCreated, this, &ShaderCompilationWatcher::createPopup);
}

void ShaderCompilationWatcher::createPopup(const QString &viewport_id)
{
    ViewportManager *viewports = depr::g.viewports;
    ViewportWindowScene *scene = viewports ? viewports->getScene(viewport_id) : nullptr;
    if (!scene) {
        qWarning("Shader watcher: there is no scene viewport \"%s\" to put the compile popup in.",
                 qPrintable(viewport_id));
        return;
    }
    new ShaderCompilationPopupWidget(scene);
}

void ShaderCompilationWatcher::applyPrecompileSetting()
{
    EditorSettings *settings = depr::g.settings;
    if (!settings)
        return;
    const ConfigEntry entry = settings->editor().precompile_all_shaders;
    const bool wanted = entry.file->getBool(entry.key, EditorSettings::DEFAULT_PRECOMPILE_ALL_SHADERS);
    if (wanted != Velmora::Materials::isPrecompileAllShaders())
        Velmora::Materials::setPrecompileAllShaders(wanted);
}

void ShaderCompilationWatcher::onCompileBegin()
{
    if (claimed_)
        return;
    claimed_ = true;
    UpdateLock::claimAlwaysUpdate();
}

void ShaderCompilationWatcher::onCompileEnd()
{
    if (!claimed_)
        return;
    claimed_ = false;
    UpdateLock::disclaimAlwaysUpdate();
}
