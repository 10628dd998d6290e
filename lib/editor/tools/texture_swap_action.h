#pragma once

#include <editor_core/editor/Undo.h>

#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

namespace base {
class KeptFilesJournal;
}

namespace Impostors {

// The textures a run wrote over, as part of its undo step: each holds the
// file's name and the hidden file that keeps its earlier contents
// (FileKeeper). Undo puts the earlier contents back under the name, redo the
// run's; each swap is whole, and the texture is re-imported so that the asset
// manager and the renders see what is now under its name. The hidden files
// are removed with the action (when its step leaves the undo history, or at
// shutdown), and then the run's journal that names them.
class TextureSwapAction : public Editor::Action
{
public:
    struct File
    {
        QString path; // absolute
        QString kept; // the hidden file with the other contents
    };

    TextureSwapAction(const QVector<File> &files, const std::shared_ptr<base::KeptFilesJournal> &journal);
    ~TextureSwapAction() override;

    // The run has written the files already.
    void apply() override {}
    void undo() override;
    void redo() override;

    // The files that could not be swapped by the last undo or redo (each
    // keeps what it had, and the user was told).
    const QStringList &failed() const { return failed_; }

private:
    struct Entry
    {
        File file;
        bool earlier = false; // the earlier contents are under the name
    };

    void show(bool earlier);

    QVector<Entry> entries_;
    std::shared_ptr<base::KeptFilesJournal> journal_;
    QStringList failed_;
};

} // namespace Impostors
