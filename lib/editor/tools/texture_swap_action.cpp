#include "editor/tools/texture_swap_action.h"

#include "core/base/kept_files_journal.h"
#include "editor/tools/file_keeper.h"

#include <editor_core/View.h>
#include <editor_core/as/Asset.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/AssetManagerPrivate.h>
#include <editor_core/fs/FileSystem.h>

#include <QCoreApplication>
#include <QDir>
#include <QMessageBox>
#include <QVariantMap>

namespace Impostors {

TextureSwapAction::TextureSwapAction(const QVector<File> &files, const std::shared_ptr<base::KeptFilesJournal> &journal)
    : journal_(journal)
{
    for (const File &file : files)
        entries_.append({file, false});
}

TextureSwapAction::~TextureSwapAction()
{
    for (const Entry &entry : qAsConst(entries_))
        FileKeeper::discard(entry.file.kept);
    if (journal_)
        journal_->remove();
}

void TextureSwapAction::undo()
{
    show(true);
}

void TextureSwapAction::redo()
{
    show(false);
}

void TextureSwapAction::show(bool earlier)
{
    failed_.clear();
    Editor::AssetManagerPrivate *assets = depr::g.asset_manager;
    for (Entry &entry : entries_) {
        if (entry.earlier == earlier)
            continue;
        QString error;
        if (!FileKeeper::exchange(entry.file.path, &entry.file.kept, &error)) {
            qWarning("Impostor creator: cannot swap \"%s\" with its kept contents: %s",
                     entry.file.path.toUtf8().constData(), error.toUtf8().constData());
            failed_ << entry.file.path;
            continue;
        }
        entry.earlier = earlier;
        const as::Asset asset = assets ? assets->asset(entry.file.path) : as::Asset();
        if (!asset.isNull() && !assets->reimportSync(asset.getGUID(), QVariantMap()))
            qWarning("Impostor creator: \"%s\" could not be re-imported", entry.file.path.toUtf8().constData());
    }
    if (failed_.isEmpty() || !depr::gui.main_window)
        return;
    QStringList shown;
    for (const QString &path : qAsConst(failed_))
        shown << QDir::toNativeSeparators(fs::relDataPath(path));
    // Not blocking: undo and redo run from menus and shortcuts alike.
    auto *box = new QMessageBox(
            QMessageBox::Warning, QCoreApplication::translate("ImpostorGrabberWindow", "Impostors Creator"),
            QCoreApplication::translate("ImpostorGrabberWindow",
                                        "These impostor textures could not be changed and keep their present "
                                        "contents (is the folder read-only?):\n\n%1")
                    .arg(shown.join(QLatin1Char('\n'))),
            QMessageBox::Ok, depr::gui.main_window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

} // namespace Impostors
