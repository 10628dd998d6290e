#include "editor/tools/texture_swap_action.h"

#include "core/base/kept_files_journal.h"
#include "editor/tools/file_keeper.h"

#include <editor_core/View.h>
#include <editor_core/as/Asset.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/AssetManagerPrivate.h>
#include <editor_core/fs/FileSystem.h>

#include <velmora/WriteWatch.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QVariantMap>

#include <cerrno>
#include <cstring>

namespace Impostors {

// Last in the step: undo runs it first, redo last.
class TextureSwapAction::End : public Editor::Action
{
public:
    explicit End(TextureSwapAction *swap)
        : swap_(swap)
    {}
    void apply() override {}
    void undo() override { refused_ = !swap_->begin(true); }
    void redo() override
    {
        refused_ = false;
        swap_->finish();
    }
    QString unchangedBecause() const override { return refused_ ? swap_->refusal_ : QString(); }

private:
    TextureSwapAction *swap_;
    bool refused_ = false;
};

TextureSwapAction::TextureSwapAction(const QVector<File> &files, const std::shared_ptr<base::KeptFilesJournal> &journal,
                                     const QString &material)
    : journal_(journal)
    , material_(material)
{
    for (const File &file : files)
        entries_.append({file, false, QString()});
    if (!journal_ && !entries_.isEmpty())
        journal_ = std::make_shared<base::KeptFilesJournal>(QFileInfo(entries_.first().file.path).path(),
                                                            QStringLiteral("impostor"));
}

TextureSwapAction::~TextureSwapAction()
{
    watch_.reset();
    // The files are whole as they are: without the journal a start after a
    // kill keeps them, and the kept files go.
    if (journal_)
        journal_->remove();
    for (const Entry &entry : qAsConst(entries_)) {
        FileKeeper::discard(entry.file.kept);
        FileKeeper::discard(entry.present);
    }
    FileKeeper::discard(material_kept_);
}

void TextureSwapAction::holdMaterialKept(const QString &kept)
{
    FileKeeper::discard(material_kept_);
    material_kept_ = kept;
}

Editor::Action *TextureSwapAction::end()
{
    has_end_ = true;
    return new End(this);
}

void TextureSwapAction::undo()
{
    if (state_ == IDLE && !begin(true))
        return;
    swap(true);
    finish();
}

void TextureSwapAction::redo()
{
    if (!begin(false))
        return;
    swap(false);
    if (!has_end_)
        finish();
}

bool TextureSwapAction::begin(bool earlier)
{
    failed_.clear();
    refusal_.clear();
    QVector<base::KeptFilesJournal::Kept> back;
    QVector<base::KeptFilesJournal::Kept> drop;
    QString material_present;
    QString error;
    bool ok = true;
    for (int i = 0; ok && i < entries_.size(); ++i) {
        Entry &entry = entries_[i];
        if (entry.earlier == earlier)
            continue;
        ok = FileKeeper::keep(entry.file.path, &entry.present, &error);
        if (ok && entry.present.isEmpty()) {
            ok = false;
            error = QStringLiteral("it is no longer a plain file");
        }
        back.append({entry.file.path, entry.present});
        drop.append({entry.file.path, entry.file.kept});
    }
    if (ok && !material_.isEmpty()) {
        ok = FileKeeper::keep(material_, &material_present, &error);
        if (ok && !material_present.isEmpty())
            back.append({material_, material_present});
    }
    ok = ok && journal_ && journal_->begin(back, drop, &error);
    if (!ok) {
        qWarning("Impostor creator: cannot start changing the impostor's files, which keep their present contents "
                 "(%s)",
                 error.toUtf8().constData());
        for (Entry &entry : entries_) {
            FileKeeper::discard(entry.present);
            entry.present.clear();
            if (entry.earlier != earlier)
                failed_ << entry.file.path;
        }
        FileKeeper::discard(material_present);
        state_ = IDLE;
        refusal_ = error.isEmpty() ? QStringLiteral("the change cannot be recorded") : error;
        tell(earlier, {});
        return false;
    }
    // The journal no longer names the material's earlier copy, only this one.
    FileKeeper::discard(material_kept_);
    material_kept_ = material_present;
    state_ = CHANGING;
    // The material is written by its own action before the change ends.
    watch_ = journal_->watchWrites();
    return true;
}

void TextureSwapAction::swap(bool earlier)
{
    Editor::AssetManagerPrivate *assets = depr::g.asset_manager;
    QStringList reasons;
    for (Entry &entry : entries_) {
        if (entry.earlier == earlier)
            continue;
        QString error;
        // A redo called off before its end (its material could not be
        // written) swaps back files begin() kept no copy of.
        if (entry.present.isEmpty()
            && (!FileKeeper::keep(entry.file.path, &entry.present, &error) || entry.present.isEmpty())) {
            failed_ << entry.file.path;
            reasons << (error.isEmpty() ? QStringLiteral("it is no longer a plain file") : error);
            continue;
        }
        if (!FileKeeper::putBack(entry.file.path, entry.file.kept, &error)) {
            qWarning("Impostor creator: cannot swap \"%s\" with its kept contents: %s",
                     entry.file.path.toUtf8().constData(), error.toUtf8().constData());
            failed_ << entry.file.path;
            reasons << error;
            // The file has what the copy has.
            FileKeeper::discard(entry.present);
            entry.present.clear();
            continue;
        }
        entry.file.kept = entry.present;
        entry.present.clear();
        entry.earlier = earlier;
        const as::Asset asset = assets ? assets->asset(entry.file.path) : as::Asset();
        if (!asset.isNull() && !assets->reimportSync(asset.getGUID(), QVariantMap()))
            qWarning("Impostor creator: \"%s\" could not be re-imported", entry.file.path.toUtf8().constData());
    }
    tell(earlier, reasons);
}

void TextureSwapAction::finish()
{
    const bool changing = state_ == CHANGING;
    state_ = IDLE;
    watch_.reset();
    if (!changing)
        return;
    // A change called off before the swap (the material could not be
    // written) leaves each file as it was: its copy of the present goes.
    for (Entry &entry : entries_) {
        FileKeeper::discard(entry.present);
        entry.present.clear();
    }
    QVector<base::KeptFilesJournal::Kept> kept;
    for (const Entry &entry : qAsConst(entries_))
        kept.append({entry.file.path, entry.file.kept});
    QString error;
    if (!journal_->finish(kept, &error)) {
        // The journal still gives back the files as they were before.
        qWarning("Impostor creator: cannot record the finished change of the impostor's files (%s)",
                 error.toUtf8().constData());
        return;
    }
    FileKeeper::discard(material_kept_);
    material_kept_.clear();
}

namespace {

// Whether a reason, as FileKeeper and the journal give it (the system's
// text for the error), is a refused permission or a read-only file system.
bool refusedWriting(const QString &reason)
{
    for (const int code : {EROFS, EACCES, EPERM}) {
        if (reason == QString::fromLocal8Bit(std::strerror(code)))
            return true;
    }
    return false;
}

QString shownPath(const QString &path)
{
    return QDir::toNativeSeparators(fs::relDataPath(path));
}

} // namespace

// Tells what the last undo or redo could not change: all of it when it was
// refused (refusal_), else the files in failed_, each with its reason.
void TextureSwapAction::tell(bool undoing, const QStringList &reasons)
{
    if (failed_.isEmpty() || !depr::gui.main_window)
        return;
    const bool refused = !refusal_.isEmpty();
    QStringList lines;
    bool read_only = refused && refusedWriting(refusal_);
    for (int i = 0; i < failed_.size(); ++i) {
        const QString reason = reasons.value(i);
        read_only = read_only || refusedWriting(reason);
        lines << (refused ? shownPath(failed_[i])
                          : QCoreApplication::translate("ImpostorGrabberWindow", "%1: %2")
                                    .arg(shownPath(failed_[i]), reason));
    }
    QString text;
    if (refused) {
        text = (undoing ? QCoreApplication::translate("ImpostorGrabberWindow",
                                                      "Undo changed nothing: the impostor's files could not be "
                                                      "safeguarded before the change (%1). They keep their present "
                                                      "contents, and Undo can be tried again:")
                        : QCoreApplication::translate("ImpostorGrabberWindow",
                                                      "Redo changed nothing: the impostor's files could not be "
                                                      "safeguarded before the change (%1). They keep their present "
                                                      "contents, and Redo can be tried again:"))
                       .arg(refusal_);
    } else {
        text = QCoreApplication::translate("ImpostorGrabberWindow",
                                           "These impostor textures could not be changed and keep their present "
                                           "contents:");
    }
    text += QStringLiteral("\n\n") + lines.join(QLatin1Char('\n'));
    if (read_only)
        text += QStringLiteral("\n\n")
                + QCoreApplication::translate("ImpostorGrabberWindow", "Is the folder read-only?");
    // Not blocking: undo and redo run from menus and shortcuts alike.
    auto *box = new QMessageBox(QMessageBox::Warning,
                                QCoreApplication::translate("ImpostorGrabberWindow", "Impostors Creator"), text,
                                QMessageBox::Ok, depr::gui.main_window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

} // namespace Impostors
