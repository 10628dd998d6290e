#pragma once

#include <QString>

#include <functional>

namespace Editor {

// Decides whether the editor may quit when the user asks it to: a running
// job that quitting would cut short is cancelled only when the user agrees;
// a world with unsaved changes is saved, discarded or kept open, as the user
// answers; the settings written at quit are written too, and when they
// cannot be, the user may stay. Every question is asked before anything is
// cancelled; the job is cancelled before the world is saved, so the file
// holds what the user keeps. A save that does not reach the disk keeps
// the editor open and is told with its reason. The world, the job, the
// settings, the questions and the messages are given, so the decision needs
// no window.
class QuitConfirmation
{
public:
    enum class Answer { Save, Discard, Cancel };

    struct World
    {
        // Whether a world is loaded with changes not yet saved.
        std::function<bool()> has_unsaved_changes;
        // How the question names it (its data-relative path).
        std::function<QString()> name;
        // Writes the world; true once it is saved, else why not in *reason.
        std::function<bool(QString *reason)> save;
    };
    // Asks the user about the named world.
    using Ask = std::function<Answer(const QString &world)>;
    // Tells the user that the named world could not be saved, and why.
    using TellSaveFailed = std::function<void(const QString &world, const QString &reason)>;

    // Work that quitting would cut short (an impostor being made).
    struct Job
    {
        std::function<bool()> running;
        // Returns once the job has stopped and put back what it changed.
        std::function<void()> cancel;
    };
    // Asks whether to cancel the running job and quit; true to do so.
    using AskCancelJob = std::function<bool()>;

    // Settings written as the editor quits (the build options), written
    // before it does, so that a failure can still keep it open.
    struct Settings
    {
        // True when they are saved (or had nothing to save), else why not
        // in *reason.
        std::function<bool(QString *reason)> save;
    };
    // Tells why the settings could not be saved; true to quit without them.
    using AskQuitUnsaved = std::function<bool(const QString &reason)>;

    QuitConfirmation(World world, Ask ask, TellSaveFailed tell_save_failed);
    void setJob(Job job, AskCancelJob ask_cancel);
    void setSettings(Settings settings, AskQuitUnsaved ask_quit_unsaved);

    // True when the editor may quit now; asks only while a job runs or
    // there are unsaved changes, or when the settings cannot be saved.
    bool mayQuit() const;

private:
    // False when the user keeps the editor open; *save when the world is
    // to be saved first.
    bool worldMayQuit(bool *save) const;
    bool saveWorld() const;

    World world_;
    Ask ask_;
    TellSaveFailed tell_save_failed_;
    Job job_;
    AskCancelJob ask_cancel_;
    Settings settings_;
    AskQuitUnsaved ask_quit_unsaved_;
};

} // namespace Editor
