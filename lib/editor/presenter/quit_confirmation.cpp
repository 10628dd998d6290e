#include "editor/presenter/quit_confirmation.h"

#include <utility>

namespace Editor {

QuitConfirmation::QuitConfirmation(World world, Ask ask, TellSaveFailed tell_save_failed)
    : world_(std::move(world))
    , ask_(std::move(ask))
    , tell_save_failed_(std::move(tell_save_failed))
{}

void QuitConfirmation::setJob(Job job, AskCancelJob ask_cancel)
{
    job_ = std::move(job);
    ask_cancel_ = std::move(ask_cancel);
}

void QuitConfirmation::setSettings(Settings settings, AskQuitUnsaved ask_quit_unsaved)
{
    settings_ = std::move(settings);
    ask_quit_unsaved_ = std::move(ask_quit_unsaved);
}

bool QuitConfirmation::mayQuit() const
{
    // Every question comes first: nothing is cancelled or saved for a quit
    // that the user may still call off.
    const bool cancel_job = job_.running && job_.running();
    if (cancel_job && (!ask_cancel_ || !ask_cancel_()))
        return false;
    bool save_world = false;
    if (!worldMayQuit(&save_world))
        return false;
    QString reason;
    if (settings_.save && !settings_.save(&reason) && !(ask_quit_unsaved_ && ask_quit_unsaved_(reason)))
        return false;
    if (cancel_job && job_.cancel)
        job_.cancel();
    // Saved as the cancelled job left the world.
    return !save_world || saveWorld();
}

bool QuitConfirmation::worldMayQuit(bool *save) const
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
        *save = true;
        return true;
    }
    return false;
}

bool QuitConfirmation::saveWorld() const
{
    // Saved means written and no longer reported as changed.
    QString reason;
    if (world_.save && world_.save(&reason) && !world_.has_unsaved_changes())
        return true;
    if (tell_save_failed_)
        tell_save_failed_(world_.name ? world_.name() : QString(), reason);
    return false;
}

} // namespace Editor
