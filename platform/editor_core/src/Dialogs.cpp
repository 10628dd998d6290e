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
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
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

// Moves a list's current row with the keys that move it, pressed while the
// filter above the list has the focus.
class ListKeys : public QObject
{
public:
    ListKeys(QListWidget *list, QObject *parent)
        : QObject(parent)
        , list_(list)
    {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return QObject::eventFilter(watched, event);
        switch (static_cast<QKeyEvent *>(event)->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            QCoreApplication::sendEvent(list_, event);
            return true;
        default:
            return QObject::eventFilter(watched, event);
        }
    }

private:
    QListWidget *list_;
};

// The current row when it is shown, else the first row shown (none when
// the filter hides every row).
void keepCurrentShown(QListWidget *list)
{
    if (list->currentItem() && !list->currentItem()->isHidden())
        return;
    for (int i = 0; i < list->count(); ++i) {
        if (!list->item(i)->isHidden()) {
            list->setCurrentRow(i);
            return;
        }
    }
    list->setCurrentItem(nullptr);
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

    // Enter chooses the current row, as a double-click does: the filter
    // keeps a shown row current and passes the arrow keys to the list, and
    // OK (the default button) is enabled only while a row is current.
    QPushButton *ok = buttons->button(QDialogButtonBox::Ok);
    const auto enableOk = [list, ok] { ok->setEnabled(list->currentItem() && !list->currentItem()->isHidden()); };
    enableOk();
    QObject::connect(list, &QListWidget::currentItemChanged, ok, enableOk);
    QObject::connect(filter, &QLineEdit::textChanged, list, [list, enableOk](const QString &text) {
        for (int i = 0; i < list->count(); ++i)
            list->item(i)->setHidden(!list->item(i)->text().contains(text, Qt::CaseInsensitive));
        keepCurrentShown(list);
        enableOk();
    });
    filter->installEventFilter(new ListKeys(list, filter));
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
