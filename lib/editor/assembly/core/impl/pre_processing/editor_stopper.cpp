#include "editor/assembly/core/impl/pre_processing/editor_stopper.h"

#include "core/base/main_thread_runner.h"

#include <editor_core/EditorLogic.h>
#include <editor_core/UpdateLock.h>
#include <editor_core/base/Assert.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/AssetManagerPrivate.h>

#include <QtDebug>

namespace assembly {

namespace {

void switchEditor(bool active)
{
    EC_SOFT_ASSERT(depr::g.asset_manager);
    EC_SOFT_ASSERT(depr::g.editor);
    if (active) {
        UpdateLock::disclaimUpdateLock();
        if (depr::g.asset_manager)
            depr::g.asset_manager->activate();
        if (depr::g.editor)
            depr::g.editor->blockSignals(false);
    } else {
        UpdateLock::claimUpdateLock();
        if (depr::g.asset_manager)
            depr::g.asset_manager->deactivate();
        if (depr::g.editor)
            depr::g.editor->blockSignals(true);
    }
}

} // namespace

bool EditorStopper::setEditorActive(bool active, int poll_interval_ms)
{
    return MainThreadRunner::run([active]() { switchEditor(active); }, poll_interval_ms);
}

bool EditorStopper::execute(const ProgressCallback &progress, post::OperationQueue &queue)
{
    if (!setEditorActive(false, MainThreadRunner::POLL_INTERVAL_MS)) {
        qCritical() << "Build Tool: can't stop the editor for the build.";
        return false;
    }
    queue.add([]() {
        if (!setEditorActive(true, MainThreadRunner::POLL_INTERVAL_MS))
            qCritical() << "Build Tool: can't restart the editor after the build.";
    });
    return progress(1, 1);
}

} // namespace assembly
