// The asset save dialog of the asset browser's presenter.

#include "editor_core/as/Presenter.h"

#include "editor_core/Dialogs.h"
#include "editor_core/View.h"
#include "editor_core/depr/EditorGlobals.h"
#include "editor_core/editor/AssetManagerPrivate.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QPointer>
#include <QTimer>

namespace as {

void Presenter::showSaveDialog(std::function<void(const QString &)> callback, const QString &title,
                               const QStringList &name_filters, const QString &start)
{
    const QString root = asset_manager_ ? asset_manager_->rootPath() : QString();
    const QString caption = title.isEmpty() ? QCoreApplication::translate("as::Presenter", "Save Asset") : title;
    auto answer = [root, callback](QString path) {
        if (!path.isEmpty()) {
            path = QDir::cleanPath(QDir::fromNativeSeparators(path));
            if (QDir::isRelativePath(path) && !root.isEmpty())
                path = root + path;
        }
        callback(path);
    };
    if (Dialogs::hasResponder()) {
        // The responder is asked now; the callback runs from the event loop.
        Dialogs::Request request{Dialogs::Kind::SaveAsset, caption, start.isEmpty() ? root : start, {}};
        const QString chosen = Dialogs::respond(request);
        QTimer::singleShot(0, this, [answer, chosen]() { answer(chosen); });
        return;
    }
    auto dialog = new QFileDialog(depr::gui.main_window, caption, start.isEmpty() ? root : start);
    if (!name_filters.isEmpty())
        dialog->setNameFilters(name_filters);
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    QObject::connect(dialog, &QFileDialog::finished, dialog, [dialog, answer](int result) {
        const QStringList chosen = dialog->selectedFiles();
        dialog->deleteLater();
        answer(result == QDialog::Accepted && !chosen.isEmpty() ? chosen.first() : QString());
    });
    dialog->open();
}

} // namespace as
