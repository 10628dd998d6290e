#pragma once

#include <editor_core/editor/Undo.h>

#include <velmora/Material.h>
#include <velmora/Ptr.h>

#include <QString>
#include <QVector>

#include <functional>

namespace Impostors {

// An undoable change of a file material: apply() runs the change and
// writes the material to its file; undo and redo put back the texture
// paths, parameters, states and blending the material had before the
// change and at commit, and write the file again. An undo or redo whose
// file cannot be written changes nothing, in the editor or on disk: the
// user is told why, and the undo store keeps the step where it was
// (unchangedBecause()).
class MaterialUpdateAction : public Editor::Action
{
public:
    // *saved, when given, learns whether apply() could write the file; it
    // is not touched afterwards. may_write, when given, tells undo and redo
    // whether they may change the material now (when false, it stays as it
    // is, in the editor and in its file).
    MaterialUpdateAction(const Velmora::Ptr<Velmora::Material> &material, std::function<void()> change,
                         bool *saved = nullptr, std::function<bool()> may_write = nullptr);

    void apply() override;
    void captureAfter() override;
    void undo() override;
    void redo() override;
    QString unchangedBecause() const override { return refusal_; }

private:
    struct Value
    {
        QString name;
        QString text;
        bool expression = false;
    };
    struct Snapshot
    {
        QVector<Value> textures;
        QVector<Value> parameters;
        QVector<Value> states;
        int transparent = 0;
        int blend_src = 0;
        int blend_dest = 0;
    };

    Snapshot capture() const;
    void restore(const Snapshot &snapshot);
    void change(const Snapshot &to, bool undoing);
    bool save(QString *error = nullptr);

    Velmora::Ptr<Velmora::Material> material_;
    std::function<void()> change_;
    Snapshot before_;
    Snapshot after_;
    bool *saved_in_apply_ = nullptr;
    std::function<bool()> may_write_;
    QString refusal_; // why the last undo or redo changed nothing
};

} // namespace Impostors
