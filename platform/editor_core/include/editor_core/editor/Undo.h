#pragma once

#include <QObject>

#include <memory>
#include <vector>

namespace Editor {

// One undoable change. apply() performs it the first time; undo() and
// redo() switch between the states captured before apply and at commit.
class Action
{
public:
    virtual ~Action() = default;
    virtual void apply() = 0;
    // Called when the group is committed: captures the "after" state, so
    // changes made after apply() inside the group are kept by redo.
    virtual void captureAfter() {}
    virtual void undo() = 0;
    virtual void redo() = 0;
    // Asked right after undo() or redo(): "" when it was made, else why it
    // changed nothing. An action that changed nothing is as it was before
    // the call, so its step can be tried again. Actions that cannot fail
    // keep this.
    virtual QString unchangedBecause() const { return QString(); }
};

// The undo store: a stack of committed steps (each a group of actions) and a
// redo stack. One begin()/commit() group is one step. An undo or redo is
// the whole step or nothing: when one of its actions changes nothing, those
// of the step that had changed already are switched back, and the step
// stays where it was.
class UndoPrivate : public QObject
{
    Q_OBJECT

public:
    explicit UndoPrivate(QObject *parent = nullptr);
    ~UndoPrivate() override;

    void init();
    bool isInitialized() const { return initialized_; }

    void begin();
    // Runs the action and takes ownership. Outside a group the action forms
    // a step of its own.
    void apply(Action *action);
    // Ends the group; an empty group adds no step. False without a group.
    bool commit();
    // Drops the open group's actions after undoing them.
    void cancel();
    bool isGroupOpen() const { return depth_ > 0; }

    // False when there is nothing to undo (or redo), or when the step
    // changed nothing (lastRefusal() says why).
    bool undo();
    bool redo();
    // Why the last undo or redo changed nothing; "" after one that was made.
    QString lastRefusal() const { return last_refusal_; }
    // Forgets every step (and an open group).
    void reset();

    // Steps that can be undone / redone.
    int count() const { return int(undo_stack_.size()); }
    int redoCount() const { return int(redo_stack_.size()); }

signals:
    // A step was committed, undone or redone.
    void stepDone();
    // What can be undone or redone may have changed (a step, a reset, a
    // group opened or closed).
    void changed();

private:
    using Step = std::vector<std::unique_ptr<Action>>;
    bool walk(std::vector<Step> &from, std::vector<Step> &to, bool undoing);

    std::vector<Step> undo_stack_;
    std::vector<Step> redo_stack_;
    Step open_;
    int depth_ = 0;
    bool initialized_ = false;
    QString last_refusal_;
};

// Facade of the undo store: the constructor makes the store and sets
// depr::g.undo; the static calls act on depr::g.undo (and do nothing when it
// is null).
class Undo : public QObject
{
    Q_OBJECT

public:
    explicit Undo(QObject *parent = nullptr);
    ~Undo() override;

    UndoPrivate *get() const { return d_; }

    static void begin();
    static void apply(Action *action);
    static bool commit();
    static bool undo();
    static bool redo();
    static void reset();
    static int count();
    // Inside an open begin()/commit() group.
    static bool isRecording();

private:
    UndoPrivate *d_ = nullptr;
};

} // namespace Editor
