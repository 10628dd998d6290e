#include "editor_core/editor/Undo.h"

#include "editor_core/depr/EditorGlobals.h"

#include <velmora/Log.h>

namespace Editor {

UndoPrivate::UndoPrivate(QObject *parent)
    : QObject(parent)
{}

UndoPrivate::~UndoPrivate() = default;

void UndoPrivate::init()
{
    initialized_ = true;
}

void UndoPrivate::begin()
{
    // While a group is open nothing can be undone or redone.
    if (depth_++ == 0)
        emit changed();
}

void UndoPrivate::apply(Action *action)
{
    if (!action)
        return;
    std::unique_ptr<Action> owned(action);
    owned->apply();
    if (depth_ > 0) {
        open_.push_back(std::move(owned));
        return;
    }
    owned->captureAfter();
    Step step;
    step.push_back(std::move(owned));
    undo_stack_.push_back(std::move(step));
    redo_stack_.clear();
    emit stepDone();
    emit changed();
}

bool UndoPrivate::commit()
{
    if (depth_ <= 0) {
        Velmora::Log::warning("Undo: commit without begin\n");
        return false;
    }
    if (--depth_ > 0)
        return true;
    if (open_.empty()) {
        emit changed();
        return true;
    }
    for (std::unique_ptr<Action> &action : open_)
        action->captureAfter();
    undo_stack_.push_back(std::move(open_));
    open_.clear();
    redo_stack_.clear();
    emit stepDone();
    emit changed();
    return true;
}

void UndoPrivate::cancel()
{
    for (auto it = open_.rbegin(); it != open_.rend(); ++it)
        (*it)->undo();
    open_.clear();
    const bool was_open = depth_ > 0;
    depth_ = 0;
    if (was_open)
        emit changed();
}

bool UndoPrivate::undo()
{
    return walk(undo_stack_, redo_stack_, true);
}

bool UndoPrivate::redo()
{
    return walk(redo_stack_, undo_stack_, false);
}

// Undoes the step on top of from (its actions last first) or redoes it
// (first first) and moves it onto to.
bool UndoPrivate::walk(std::vector<Step> &from, std::vector<Step> &to, bool undoing)
{
    if (depth_ > 0 || from.empty())
        return false;
    last_refusal_.clear();
    Step step = std::move(from.back());
    from.pop_back();
    const int count = int(step.size());
    for (int done = 0; done < count; ++done) {
        Action &action = *step[size_t(undoing ? count - 1 - done : done)];
        undoing ? action.undo() : action.redo();
        const QString refusal = action.unchangedBecause();
        if (refusal.isEmpty())
            continue;
        // The actions already switched go back, newest first: the step is
        // as it was, and stays where it was.
        for (int back = done - 1; back >= 0; --back) {
            Action &switched = *step[size_t(undoing ? count - 1 - back : back)];
            undoing ? switched.redo() : switched.undo();
        }
        from.push_back(std::move(step));
        last_refusal_ = refusal;
        Velmora::Log::warning("Undo: the step was not %s and stays where it was: %s\n", undoing ? "undone" : "redone",
                              qUtf8Printable(refusal));
        return false;
    }
    to.push_back(std::move(step));
    emit stepDone();
    emit changed();
    return true;
}

void UndoPrivate::reset()
{
    undo_stack_.clear();
    redo_stack_.clear();
    open_.clear();
    depth_ = 0;
    emit changed();
}

Undo::Undo(QObject *parent)
    : QObject(parent)
    , d_(new UndoPrivate(this))
{
    depr::g.undo = d_;
}

Undo::~Undo()
{
    if (depr::g.undo == d_)
        depr::g.undo = nullptr;
}

void Undo::begin()
{
    if (depr::g.undo)
        depr::g.undo->begin();
}

void Undo::apply(Action *action)
{
    if (depr::g.undo) {
        depr::g.undo->apply(action);
        return;
    }
    // Without an undo store the change still happens, it just cannot be undone.
    std::unique_ptr<Action> owned(action);
    if (owned)
        owned->apply();
}

bool Undo::commit()
{
    return depr::g.undo && depr::g.undo->commit();
}

bool Undo::undo()
{
    return depr::g.undo && depr::g.undo->undo();
}

bool Undo::redo()
{
    return depr::g.undo && depr::g.undo->redo();
}

void Undo::reset()
{
    if (depr::g.undo)
        depr::g.undo->reset();
}

int Undo::count()
{
    return depr::g.undo ? depr::g.undo->count() : 0;
}

bool Undo::isRecording()
{
    return depr::g.undo && depr::g.undo->isGroupOpen();
}

} // namespace Editor
