#pragma once

#include <editor_core/editor/Undo.h>

#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

namespace base {
class KeptFilesJournal;
}
namespace Velmora {
class WriteWatch;
}

namespace Impostors {

// The textures a run wrote over, as part of its undo step: each holds the
// file's name and the hidden file that keeps its other contents
// (FileKeeper). Undo puts the earlier contents back under the name, redo the
// run's; the texture is re-imported so that the asset manager and the
// renders see what is now under its name.
//
// Undo and redo are each one change of several files, with the material the
// step writes between: the run's journal is started again before the first
// file changes (each file's present contents kept beside it) and marked
// finished after the last, so that a start after a kill half way has every
// file, the material included, as it was before. The action comes before
// the material's in its step, and end() gives the action that comes after.
//
// A change whose journal cannot be written (a full disk, a read-only
// folder) changes nothing, the material neither: the user is told why, and
// the undo store keeps the step where it was (unchangedBecause()). One whose
// material cannot be written is called off by the store: the textures go
// back as they were, and the journal is marked finished with them.
//
// The hidden files are removed with the action (when its step leaves the
// undo history, or at shutdown), once the journal that names them is gone.
class TextureSwapAction : public Editor::Action
{
public:
    struct File
    {
        QString path; // absolute
        QString kept; // the hidden file with the other contents
    };

    // material: the material file the step writes ("" when it writes none).
    // A null journal: one is made beside the files.
    TextureSwapAction(const QVector<File> &files, const std::shared_ptr<base::KeptFilesJournal> &journal,
                      const QString &material = QString());
    ~TextureSwapAction() override;

    // The material's earlier contents, kept by a run its journal could not
    // record as finished: the journal still gives them back after a kill,
    // so they stay until it is written again.
    void holdMaterialKept(const QString &kept);

    // The run has written the files already.
    void apply() override {}
    void undo() override;
    void redo() override;
    QString unchangedBecause() const override { return refusal_; }
    // The action that ends the step's undo or redo (owned by the step).
    Editor::Action *end();

    // Whether an undo or redo is changing the files now: false when its
    // journal could not be written, and then the material keeps its file.
    bool changing() const { return state_ == CHANGING; }
    // The files that could not be swapped by the last undo or redo (each
    // keeps what it had, and the user was told).
    const QStringList &failed() const { return failed_; }

private:
    class End;
    enum State { IDLE, CHANGING };
    struct Entry
    {
        File file;
        bool earlier = false; // the earlier contents are under the name
        QString present; // a copy of what is under the name, during a change
    };

    bool begin(bool earlier);
    void swap(bool earlier);
    void finish();
    void tell(bool undoing, const QStringList &reasons);

    QVector<Entry> entries_;
    std::shared_ptr<base::KeptFilesJournal> journal_;
    QString material_;
    QString material_kept_;
    State state_ = IDLE;
    std::unique_ptr<Velmora::WriteWatch> watch_; // during a change
    bool has_end_ = false;
    QStringList failed_;
    QString refusal_; // why the last undo or redo changed nothing
};

} // namespace Impostors
