#include "editor/presenter/quit_confirmation.h"

#include <utility>

namespace Editor {

QuitConfirmation::QuitConfirmation(World world, Ask ask, TellSaveFailed tell_save_failed)
    : world_(std::move(world))
    , ask_(std::move(ask))
    , tell_save_failed_(std::move(tell_save_failed))
{}

bool QuitConfirmation::mayQuit() const
{
    if (!world_.has_unsaved_changes || !world_.has_unsaved_changes())
        return true;
    const QString name = world_.name ? world_.name() : QString();
    switch (ask_ ? ask_(name) : Answer::Cancel) {
    case Answer::Discard:
        return true;
    case Answer::Cancel:
        return false;
    case Answer::Save:
        break;
    }
    // Saved means written and no longer reported as changed.
    if (world_.save && world_.save() && !world_.has_unsaved_changes())
        return true;
    if (tell_save_failed_)
        tell_save_failed_(name);
    return false;
}

} // namespace Editor
