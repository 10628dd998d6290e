#pragma once

#include "editor/assembly/core/pre_action.h"

namespace assembly {

// Stops the editor's own activity for the time of a build: on the GUI thread
// it claims the update lock (the frame loop skips its work), deactivates the
// asset manager and blocks the editor logic's signals. The restart is queued
// as a post operation before the stopper reports, so a cancel at that report
// still restarts the editor.
class EditorStopper : public pre::Action
{
public:
    EditorStopper() = default;

    int getMaxProgress() const override { return 1; }
    bool execute(const ProgressCallback &progress, post::OperationQueue &queue) override;

    // Switches the editor on or off on the GUI thread (at once when already
    // there). False when the GUI thread did not run the switch.
    static bool setEditorActive(bool active, int poll_interval_ms);
};

} // namespace assembly
