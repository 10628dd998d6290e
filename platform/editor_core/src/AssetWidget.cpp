#include "editor_core/AssetWidget.h"

#include "editor_core/AssetsMimeDataHandler.h"
#include "editor_core/Dialogs.h"
#include "editor_core/DragAndDropDelegate.h"
#include "editor_core/depr/EditorGlobals.h"
#include "editor_core/editor/AssetManagerPrivate.h"
#include "editor_core/fs/FileSystem.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QToolButton>

AssetWidget::AssetWidget(QWidget *parent)
    : QWidget(parent)
{
    setAcceptDrops(true);
    auto layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    line_ = new QLineEdit(this);
    line_->setReadOnly(true);
    line_->setAcceptDrops(false);
    line_->setPlaceholderText(tr("None"));
    layout->addWidget(line_, 1);
    postfix_ = new QLabel(this);
    postfix_->hide();
    layout->addWidget(postfix_);
    browse_ = new QToolButton(this);
    browse_->setText(QStringLiteral("..."));
    browse_->setToolTip(tr("Choose an asset"));
    layout->addWidget(browse_);
    connect(browse_, &QToolButton::clicked, this, &AssetWidget::browse);
    updateText();
}

AssetWidget::~AssetWidget() = default;

void AssetWidget::setAssetTypes(const QVector<int> &types)
{
    types_ = types;
}

void AssetWidget::enableSupport(int type, int /*subtype*/)
{
    if (!types_.contains(type))
        types_.append(type);
}

void AssetWidget::setReplacerDelegate(std::unique_ptr<DragAndDropDelegate> delegate)
{
    setDragAndDropDelegate(std::move(delegate));
}

bool AssetWidget::isAllowedType(int type) const
{
    return types_.isEmpty() || types_.contains(type);
}

void AssetWidget::setGuid(const Velmora::UGUID &guid)
{
    guid_ = guid;
    updateText();
}

void AssetWidget::changeGuid(const Velmora::UGUID &guid)
{
    if (guid == guid_)
        return;
    setGuid(guid);
    emit guidChanged(guid_);
}

void AssetWidget::setPostfix(const QString &text)
{
    postfix_->setText(text);
    postfix_->setVisible(!text.isEmpty());
}

QString AssetWidget::postfix() const
{
    return postfix_->text();
}

QString AssetWidget::displayText() const
{
    if (guid_.isEmpty())
        return QString();
    QString path;
    if (Editor::AssetManagerPrivate *manager = depr::g.asset_manager)
        path = manager->asset(guid_).getRelativePath();
    if (path.isEmpty())
        path = ::fs::relDataPath(guid_);
    return path.isEmpty() ? QString::fromUtf8(guid_.getString().get()) : path;
}

void AssetWidget::updateText()
{
    const QString text = displayText();
    line_->setText(text);
    line_->setToolTip(text);
}

void AssetWidget::setDragAndDropDelegate(std::unique_ptr<DragAndDropDelegate> delegate)
{
    if (delegate_)
        delegate_->setAssetWidget(nullptr);
    delegate_ = std::move(delegate);
    if (delegate_)
        delegate_->setAssetWidget(this);
}

Velmora::UGUID AssetWidget::defaultDropGuid(const QMimeData *data) const
{
    const QVector<as::Asset> assets = AssetsMimeDataHandler::assets(data);
    for (const as::Asset &asset : assets) {
        if (isAllowedType(asset.getType()))
            return asset.findSRuntime().getGUID();
    }
    return Velmora::UGUID();
}

bool AssetWidget::canDrop(const QMimeData *data) const
{
    if (!data)
        return false;
    if (delegate_)
        return delegate_->isAcceptable(data);
    return defaultDropGuid(data).isValid();
}

bool AssetWidget::dropMimeData(const QMimeData *data)
{
    if (!canDrop(data))
        return false;
    if (delegate_)
        delegate_->drop(data);
    else
        changeGuid(defaultDropGuid(data));
    return true;
}

void AssetWidget::browse()
{
    Dialogs::selectAsset(this, tr("Select an asset"), types_, guid_, [this](const Velmora::UGUID &guid) {
        if (guid.isValid())
            changeGuid(guid);
    });
}

void AssetWidget::dragEnterEvent(QDragEnterEvent *event)
{
    if (canDrop(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void AssetWidget::dragMoveEvent(QDragMoveEvent *event)
{
    if (canDrop(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void AssetWidget::dropEvent(QDropEvent *event)
{
    if (dropMimeData(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}
