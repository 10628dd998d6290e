#include "editor_core/editor/SelectionAction.h"

#include "editor_core/editor/Selection.h"

namespace Editor {

namespace {
std::unique_ptr<Selector> g_last_applied;
int g_apply_count = 0;

Selector *cloneOf(const Selector *selector)
{
    return selector ? selector->clone() : nullptr;
}

void setCurrent(const Selector *selector)
{
    if (Selection *selection = Selection::instance())
        selection->setSelector(cloneOf(selector));
}
} // namespace

void SelectionAction::applySelection(Selector *selector)
{
    std::unique_ptr<Selector> owned(selector);
    g_last_applied.reset(cloneOf(owned.get()));
    ++g_apply_count;
    if (Undo::isRecording()) {
        Undo::apply(new SelectionAction(owned.release()));
        return;
    }
    if (Selection *selection = Selection::instance())
        selection->setSelector(owned.release());
}

const Selector *SelectionAction::lastApplied()
{
    return g_last_applied.get();
}

int SelectionAction::applyCount()
{
    return g_apply_count;
}

void SelectionAction::resetLastApplied()
{
    g_last_applied.reset();
    g_apply_count = 0;
}

SelectionAction::SelectionAction(Selector *selector)
    : after_(selector)
{}

SelectionAction::~SelectionAction() = default;

void SelectionAction::apply()
{
    before_.reset(cloneOf(Selection::getSelector()));
    setCurrent(after_.get());
}

void SelectionAction::captureAfter()
{
    after_.reset(cloneOf(Selection::getSelector()));
}

void SelectionAction::undo()
{
    setCurrent(before_.get());
}

void SelectionAction::redo()
{
    setCurrent(after_.get());
}

} // namespace Editor
