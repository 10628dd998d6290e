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
    if (job_.running && job_.running()) {
        if (!ask_cancel_ || !ask_cancel_())
            return false;
        if (job_.cancel)
            job_.cancel();
    }
    if (!worldMayQuit())
        return false;
    QString reason;
    if (settings_.save && !settings_.save(&reason))
        return ask_quit_unsaved_ && ask_quit_unsaved_(reason);
    return true;
}

bool QuitConfirmation::worldMayQuit() const
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
    QString reason;
    if (world_.save && world_.save(&reason) && !world_.has_unsaved_changes())
        return true;
    if (tell_save_failed_)
        tell_save_failed_(name, reason);
    return false;
}

} // namespace Editor
