#pragma once

#include <QString>

#include <functional>

namespace Editor {

// Decides whether the editor may quit when the user asks it to: a world with
// unsaved changes is saved, discarded or kept open, as the user answers. A
// save that does not reach the disk keeps the editor open and is told. The
// world, the question and the message are given, so the decision needs no
// window.
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
        // Writes the world; true once it is saved.
        std::function<bool()> save;
    };
    // Asks the user about the named world.
    using Ask = std::function<Answer(const QString &world)>;
    // Tells the user that the named world could not be saved.
    using TellSaveFailed = std::function<void(const QString &world)>;

    QuitConfirmation(World world, Ask ask, TellSaveFailed tell_save_failed);

    // True when the editor may quit now; asks only while there are unsaved
    // changes.
    bool mayQuit() const;

private:
    World world_;
    Ask ask_;
    TellSaveFailed tell_save_failed_;
};

} // namespace Editor
