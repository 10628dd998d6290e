#pragma once

#include "editor_core/editor/Undo.h"

#include <memory>

namespace Editor {

class Selector;

// Changes the selection. Inside an undo group the change is recorded as an
// action of that group; outside it is applied without an undo step.
class SelectionAction : public Action
{
public:
    // Takes ownership of selector; null means an empty selection.
    static void applySelection(Selector *selector);
    // A copy of the selector most recently applied (null when that was an
    // empty selection or none was applied since the last reset), for tests.
    static const Selector *lastApplied();
    static int applyCount();
    static void resetLastApplied();

    explicit SelectionAction(Selector *selector);
    ~SelectionAction() override;

    void apply() override;
    void captureAfter() override;
    void undo() override;
    void redo() override;

private:
    std::unique_ptr<Selector> before_;
    std::unique_ptr<Selector> after_;
};

} // namespace Editor
