#include "editor_core/Dialogs.h"

#include "editor_core/AssetType.h"
#include "editor_core/View.h"

#include "editor_core/depr/EditorGlobals.h"
#include "editor_core/editor/AssetManagerPrivate.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>

namespace {

Dialogs::Responder &responder()
{
    static Dialogs::Responder current;
    return current;
}

// Calls back from the event loop, unless a parent was given and is gone.
void answerLater(QWidget *parent, std::function<void()> answer)
{
    const bool had_parent = parent != nullptr;
    QPointer<QWidget> guard(parent);
    QTimer::singleShot(0, QCoreApplication::instance(), [had_parent, guard, answer = std::move(answer)]() {
        if (had_parent && !guard)
            return;
        answer();
    });
}

Velmora::UGUID guidFromAnswer(const QString &answer)
{
    Velmora::UGUID guid;
    if (answer.isEmpty())
        return guid;
    if (Velmora::UGUID::isGUIDText(answer.toUtf8().constData())) {
        guid.setString(answer.toUtf8().constData());
        return guid;
    }
    if (Editor::AssetManagerPrivate *manager = depr::g.asset_manager)
        guid = manager->asset(answer).getGUID();
    return guid;
}

} // namespace

void Dialogs::setResponder(Responder responder_function)
{
    responder() = std::move(responder_function);
}

bool Dialogs::hasResponder()
{
    return bool(responder());
}

QString Dialogs::respond(const Request &request)
{
    return responder() ? responder()(request) : QString();
}

void Dialogs::openDirectory(QWidget *parent, const QString &title, const QString &start,
                            std::function<void(const QString &)> callback)
{
    if (responder()) {
        const QString answer = responder()(Request{Kind::OpenDirectory, title, start, {}});
        answerLater(parent, [callback, answer]() { callback(answer); });
        return;
    }
    auto dialog = new QFileDialog(parent, title, start);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly, true);
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    QObject::connect(dialog, &QFileDialog::finished, dialog, [dialog, callback](int result) {
        const QStringList chosen = dialog->selectedFiles();
        const QString path = result == QDialog::Accepted && !chosen.isEmpty()
                ? QDir::fromNativeSeparators(chosen.first())
                : QString();
        dialog->deleteLater();
        callback(path);
    });
    dialog->open();
}

void Dialogs::selectAsset(QWidget *parent, const QString &title, const QVector<int> &types,
                          const Velmora::UGUID &current, std::function<void(const Velmora::UGUID &)> callback)
{
    if (responder()) {
        const QString answer
                = responder()(Request{Kind::SelectAsset, title, QString::fromUtf8(current.getString().get()), types});
        answerLater(parent, [callback, answer]() { callback(guidFromAnswer(answer)); });
        return;
    }

    auto dialog = new QDialog(parent);
    dialog->setWindowTitle(title);
    auto layout = new QVBoxLayout(dialog);
    auto filter = new QLineEdit(dialog);
    filter->setPlaceholderText(QCoreApplication::translate("Dialogs", "Filter"));
    filter->setClearButtonEnabled(true);
    layout->addWidget(filter);
    auto list = new QListWidget(dialog);
    layout->addWidget(list);
    auto buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    layout->addWidget(buttons);
    dialog->resize(480, 400);

    if (Editor::AssetManagerPrivate *manager = depr::g.asset_manager) {
        const Velmora::Vector<as::Asset> assets = manager->assets();
        for (const as::Asset &asset : assets) {
            if (!types.isEmpty() && !types.contains(int(asset.getType())))
                continue;
            auto item = new QListWidgetItem(asset.getRelativePath(), list);
            item->setData(Qt::UserRole, QString::fromUtf8(asset.findSRuntime().getGUID().getString().get()));
            if (asset.getGUID() == current || asset.findSRuntime().getGUID() == current)
                list->setCurrentItem(item);
        }
    }

    QObject::connect(filter, &QLineEdit::textChanged, list, [list](const QString &text) {
        for (int i = 0; i < list->count(); ++i)
            list->item(i)->setHidden(!list->item(i)->text().contains(text, Qt::CaseInsensitive));
    });
    QObject::connect(list, &QListWidget::itemDoubleClicked, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    QObject::connect(dialog, &QDialog::finished, dialog, [dialog, list, callback](int result) {
        Velmora::UGUID guid;
        if (result == QDialog::Accepted && list->currentItem() && !list->currentItem()->isHidden())
            guid.setString(list->currentItem()->data(Qt::UserRole).toString().toUtf8().constData());
        dialog->deleteLater();
        callback(guid);
    });
    dialog->open();
}

void Dialogs::browseAssetTrack(std::function<void(const Velmora::UGUID &)> callback, const Velmora::UGUID &current)
{
    selectAsset(depr::gui.main_window, QCoreApplication::translate("Dialogs", "Select Track"),
                QVector<int>{AssetType::TRACK}, current, std::move(callback));
}

void Dialogs::saveAssetTrack(std::function<void(const QString &)> path_callback,
                             std::function<void(const Velmora::UGUID &, const QString &)> saved_callback,
                             const Velmora::UGUID &)
{
    Editor::AssetManagerPrivate *manager = depr::g.asset_manager;
    const QString root = manager ? manager->rootPath() : QString();
    // Writes the chosen file through the caller, then makes it an asset.
    auto finish = [root, path_callback, saved_callback](QString path) {
        if (path.isEmpty()) {
            path_callback(QString());
            return;
        }
        path = QDir::cleanPath(QDir::fromNativeSeparators(path));
        if (QDir::isRelativePath(path) && !root.isEmpty())
            path = root + path;
        if (QFileInfo(path).suffix().compare(QLatin1String("track"), Qt::CaseInsensitive) != 0)
            path += QStringLiteral(".track");
        path_callback(path);
        Editor::AssetManagerPrivate *assets = depr::g.asset_manager;
        if (!assets || root.isEmpty() || !path.startsWith(root) || !QFileInfo(path).isFile())
            return;
        const Velmora::UGUID guid = assets->importSync(path);
        if (!guid.isEmpty())
            saved_callback(guid, assets->runtime(guid).getName());
    };
    const QString title = QCoreApplication::translate("Dialogs", "Save Track");
    if (responder()) {
        const QString answer = responder()(Request{Kind::SaveAsset, title, root, {AssetType::TRACK}});
        answerLater(depr::gui.main_window, [finish, answer]() { finish(answer); });
        return;
    }
    auto dialog = new QFileDialog(depr::gui.main_window, title, root,
                                  QCoreApplication::translate("Dialogs", "Tracks (*.track)"));
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(QStringLiteral("track"));
    QObject::connect(dialog, &QFileDialog::finished, dialog, [dialog, finish](int result) {
        const QStringList chosen = dialog->selectedFiles();
        const QString path = result == QDialog::Accepted && !chosen.isEmpty() ? chosen.first() : QString();
        dialog->deleteLater();
        finish(path);
    });
    dialog->open();
}
