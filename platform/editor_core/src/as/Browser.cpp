#include "editor_core/as/Browser.h"

#include "editor_core/as/AssetTypes.h"
#include "editor_core/editor/AssetManagerPrivate.h"

#include <QAction>
#include <QDataStream>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QSet>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

namespace as {

namespace {

// First word of every state this browser writes.
constexpr quint32 STATE_MAGIC = 0x41534231; // "ASB1"

bool isFolder(const QTreeWidgetItem *item)
{
    return item && item->data(0, Browser::GUID_ROLE).toString().isEmpty();
}

// Folders first, then files, each by name.
// An asset's row. Its tool tip (path and GUID) is made when it is asked
// for, not kept for every asset of a large project.
class AssetItem : public QTreeWidgetItem
{
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    QVariant data(int column, int role) const override
    {
        if (column == 0 && role == Qt::ToolTipRole)
            return QTreeWidgetItem::data(0, Browser::PATH_ROLE).toString() + QLatin1Char('\n')
                    + QTreeWidgetItem::data(0, Browser::GUID_ROLE).toString();
        return QTreeWidgetItem::data(column, role);
    }
};

void sortChildren(QTreeWidgetItem *parent)
{
    QList<QTreeWidgetItem *> children = parent->takeChildren();
    std::stable_sort(children.begin(), children.end(), [](const QTreeWidgetItem *a, const QTreeWidgetItem *b) {
        if (isFolder(a) != isFolder(b))
            return isFolder(a);
        return a->text(0) < b->text(0);
    });
    parent->addChildren(children);
    for (QTreeWidgetItem *child : qAsConst(children))
        if (isFolder(child))
            sortChildren(child);
}

void collectExpanded(const QTreeWidgetItem *item, QStringList &paths)
{
    for (int i = 0; i < item->childCount(); ++i) {
        const QTreeWidgetItem *child = item->child(i);
        if (isFolder(child) && child->isExpanded()) {
            paths.append(child->data(0, Browser::PATH_ROLE).toString());
            collectExpanded(child, paths);
        }
    }
}

// Hides asset rows whose name does not contain text and folders with no
// visible row below them; true when something below item stays visible.
bool filterItem(QTreeWidgetItem *item, const QString &text)
{
    bool any = false;
    for (int i = 0; i < item->childCount(); ++i) {
        QTreeWidgetItem *child = item->child(i);
        bool visible;
        if (isFolder(child))
            visible = filterItem(child, text) || text.isEmpty();
        else
            visible = text.isEmpty() || child->text(0).contains(text, Qt::CaseInsensitive);
        child->setHidden(!visible);
        any = any || visible;
    }
    return any;
}

} // namespace

Browser::Browser(Editor::AssetManagerPrivate *asset_manager, bool components_active, QWidget *parent)
    : QWidget(parent)
    , asset_manager_(asset_manager)
    , components_active_(components_active)
{
    setObjectName(QStringLiteral("AssetBrowser"));
    setWindowTitle(tr("Asset Browser"));

    filter_edit_ = new QLineEdit(this);
    filter_edit_->setObjectName(QStringLiteral("filter"));
    filter_edit_->setPlaceholderText(tr("Filter by name"));
    filter_edit_->setClearButtonEnabled(true);
    connect(filter_edit_, &QLineEdit::textChanged, this, &Browser::applyFilter);

    tree_ = new QTreeWidget(this);
    tree_->setObjectName(QStringLiteral("assets"));
    tree_->setColumnCount(2);
    tree_->setHeaderLabels({tr("Name"), tr("Type")});
    tree_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tree_->setContextMenuPolicy(Qt::CustomContextMenu);
    tree_->setUniformRowHeights(true);
    tree_->header()->setStretchLastSection(false);
    tree_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    connect(tree_, &QWidget::customContextMenuRequested, this, &Browser::showContextMenu);
    connect(tree_, &QTreeWidget::itemSelectionChanged, this, &Browser::updateActions);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(filter_edit_);
    layout->addWidget(tree_);

    auto makeAction = [this](const QString &text, const char *name) {
        auto *action = new QAction(text, this);
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    show_dependencies_ = makeAction(tr("Show Dependencies"), "showDependencies");
    show_dependents_ = makeAction(tr("Show Dependents"), "showDependents");
    create_material_ = makeAction(tr("Create Material"), "createMaterial");
    create_property_ = makeAction(tr("Create Property"), "createProperty");
    create_component_ = makeAction(tr("Create Component"), "createComponent");
    create_usc_ = makeAction(tr("Create Script"), "createUSC");
    create_world_ = makeAction(tr("Create World"), "createWorld");
    create_component_->setVisible(components_active_);

    connect(show_dependencies_, &QAction::triggered, this, [this]() {
        const Velmora::Vector<Velmora::UGUID> guids = selectedAssets();
        if (!guids.isEmpty())
            emit showDependencies(guids);
    });
    connect(show_dependents_, &QAction::triggered, this, [this]() {
        const Velmora::Vector<Velmora::UGUID> guids = selectedAssets();
        if (!guids.isEmpty())
            emit showDependents(guids);
    });
    connect(create_material_, &QAction::triggered, this, [this]() { emit createMaterialRequest(currentDirectory()); });
    connect(create_property_, &QAction::triggered, this, [this]() { emit createPropertyRequest(currentDirectory()); });
    connect(create_component_, &QAction::triggered, this,
            [this]() { emit createComponentRequest(currentDirectory()); });
    connect(create_usc_, &QAction::triggered, this, [this]() { emit createUSCRequest(currentDirectory()); });
    connect(create_world_, &QAction::triggered, this, [this]() { emit createWorldRequest(currentDirectory()); });

    refresh_timer_ = new QTimer(this);
    refresh_timer_->setSingleShot(true);
    refresh_timer_->setInterval(0);
    connect(refresh_timer_, &QTimer::timeout, this, &Browser::refresh);

    if (asset_manager_) {
        using AM = Editor::AssetManagerPrivate;
        connect(asset_manager_, &AM::initialized, this, &Browser::refresh);
        connect(asset_manager_, &AM::added, this, &Browser::scheduleRefresh);
        connect(asset_manager_, &AM::removed, this, &Browser::scheduleRefresh);
        connect(asset_manager_, &AM::moved, this, &Browser::scheduleRefresh);
        connect(asset_manager_, &AM::changed, this, &Browser::scheduleRefresh);
        connect(asset_manager_, &AM::end, this, &Browser::scheduleRefresh);
        connect(asset_manager_, &AM::dirMoved, this, &Browser::scheduleRefresh);
        connect(asset_manager_, &AM::dirRemoved, this, &Browser::scheduleRefresh);
    }
    refresh();
    updateActions();
}

Browser::~Browser() = default;

void Browser::scheduleRefresh()
{
    refresh_timer_->start();
}

void Browser::refresh()
{
    refresh_timer_->stop();

    // What the user sees survives the rebuild.
    QStringList expanded;
    collectExpanded(tree_->invisibleRootItem(), expanded);
    const Velmora::Vector<Velmora::UGUID> selected = selectedAssets();
    const QString current = tree_->currentItem() ? tree_->currentItem()->data(0, PATH_ROLE).toString() : QString();

    tree_->clear();
    if (!asset_manager_)
        return;

    // The items are made and sorted below a root of their own and join the
    // tree at once: items already in a tree tell its model of every change.
    QTreeWidgetItem staging;
    QHash<QString, QTreeWidgetItem *> folders;
    std::function<QTreeWidgetItem *(const QString &)> folderItem = [&](const QString &path) -> QTreeWidgetItem * {
        if (path.isEmpty())
            return &staging;
        if (QTreeWidgetItem *item = folders.value(path))
            return item;
        const int slash = path.lastIndexOf(QLatin1Char('/'));
        QTreeWidgetItem *parent = folderItem(slash < 0 ? QString() : path.left(slash));
        auto *item = new QTreeWidgetItem(parent);
        item->setText(0, path.mid(slash + 1));
        item->setData(0, PATH_ROLE, path);
        item->setFlags(Qt::ItemIsEnabled);
        folders.insert(path, item);
        return item;
    };

    // One text per type, shared by the rows.
    QString type_names[AssetType::SIZE];
    for (int type = 0; type < AssetType::SIZE; ++type)
        type_names[type] = typeToPrettyString(type);
    const Velmora::Vector<as::Asset> all = asset_manager_->assets();
    for (const as::Asset &asset : all) {
        const QString path = asset.getRelativePath();
        const int slash = path.lastIndexOf(QLatin1Char('/'));
        auto *item = new AssetItem(folderItem(slash < 0 ? QString() : path.left(slash)));
        item->setText(0, path.mid(slash + 1));
        const int type = int(asset.getType());
        item->setText(1, type > 0 && type < AssetType::SIZE ? type_names[type] : QString());
        item->setData(0, GUID_ROLE, QString::fromUtf8(asset.getGUID().getString().get()));
        item->setData(0, PATH_ROLE, path);
    }
    sortChildren(&staging);
    tree_->invisibleRootItem()->addChildren(staging.takeChildren());

    for (const QString &path : qAsConst(expanded))
        if (QTreeWidgetItem *item = folders.value(path))
            item->setExpanded(true);
    selectAssets(selected);
    if (!current.isEmpty()) {
        QTreeWidgetItemIterator it(tree_);
        for (; *it; ++it)
            if ((*it)->data(0, PATH_ROLE).toString() == current) {
                tree_->setCurrentItem(*it, 0, QItemSelectionModel::NoUpdate);
                break;
            }
    }
    applyFilter();
    updateActions();
}

QByteArray Browser::saveState() const
{
    QStringList expanded;
    collectExpanded(tree_->invisibleRootItem(), expanded);
    const QString current = tree_->currentItem() ? tree_->currentItem()->data(0, PATH_ROLE).toString() : QString();
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_5_15);
    out << STATE_MAGIC << tree_->header()->saveState() << expanded << filter_edit_->text() << current;
    return bytes;
}

bool Browser::restoreState(const QByteArray &state)
{
    QDataStream in(state);
    in.setVersion(QDataStream::Qt_5_15);
    quint32 magic = 0;
    QByteArray header;
    QStringList expanded;
    QString filter;
    QString current;
    in >> magic >> header >> expanded >> filter >> current;
    if (magic != STATE_MAGIC || in.status() != QDataStream::Ok)
        return false;

    tree_->header()->restoreState(header);
    QTreeWidgetItemIterator it(tree_);
    for (; *it; ++it) {
        QTreeWidgetItem *item = *it;
        const QString path = item->data(0, PATH_ROLE).toString();
        if (isFolder(item))
            item->setExpanded(expanded.contains(path));
        if (!current.isEmpty() && path == current)
            tree_->setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
    }
    filter_edit_->setText(filter);
    applyFilter();
    return true;
}

Velmora::Vector<Velmora::UGUID> Browser::selectedAssets() const
{
    Velmora::Vector<Velmora::UGUID> guids;
    QTreeWidgetItemIterator it(tree_, QTreeWidgetItemIterator::Selected);
    for (; *it; ++it) {
        const QString text = (*it)->data(0, GUID_ROLE).toString();
        if (!text.isEmpty())
            guids.append(Velmora::UGUID(text.toLatin1().constData()));
    }
    return guids;
}

void Browser::selectAssets(const Velmora::Vector<Velmora::UGUID> &guids)
{
    QSet<QString> wanted;
    for (const Velmora::UGUID &guid : guids)
        wanted.insert(QString::fromUtf8(guid.getString().get()));
    QTreeWidgetItemIterator it(tree_);
    for (; *it; ++it) {
        const QString text = (*it)->data(0, GUID_ROLE).toString();
        const bool select = !text.isEmpty() && wanted.contains(text);
        (*it)->setSelected(select);
        if (select)
            for (QTreeWidgetItem *p = (*it)->parent(); p; p = p->parent())
                p->setExpanded(true);
    }
}

QString Browser::currentDirectory() const
{
    QString relative;
    if (QTreeWidgetItem *item = tree_->currentItem()) {
        relative = item->data(0, PATH_ROLE).toString();
        if (!isFolder(item)) {
            const int slash = relative.lastIndexOf(QLatin1Char('/'));
            relative = slash < 0 ? QString() : relative.left(slash);
        }
    }
    const QString root = asset_manager_ ? asset_manager_->rootPath() : QString();
    return relative.isEmpty() ? root : root + relative + QLatin1Char('/');
}

QTreeWidget *Browser::tree() const
{
    return tree_;
}

QTreeWidgetItem *Browser::findItem(const Velmora::UGUID &guid) const
{
    const QString text = QString::fromUtf8(guid.getString().get());
    QTreeWidgetItemIterator it(tree_);
    for (; *it; ++it)
        if ((*it)->data(0, GUID_ROLE).toString() == text)
            return *it;
    return nullptr;
}

QTreeWidgetItem *Browser::findFolderItem(const QString &relative_path) const
{
    QTreeWidgetItemIterator it(tree_);
    for (; *it; ++it)
        if (isFolder(*it) && (*it)->data(0, PATH_ROLE).toString() == relative_path)
            return *it;
    return nullptr;
}

void Browser::setFilter(const QString &text)
{
    filter_edit_->setText(text);
}

void Browser::applyFilter()
{
    filterItem(tree_->invisibleRootItem(), filter_edit_->text().trimmed());
}

void Browser::updateActions()
{
    const bool has_assets = !selectedAssets().isEmpty();
    show_dependencies_->setEnabled(has_assets);
    show_dependents_->setEnabled(has_assets);
}

void Browser::showContextMenu(const QPoint &pos)
{
    updateActions();
    QMenu menu(this);
    menu.addAction(show_dependencies_);
    menu.addAction(show_dependents_);
    menu.addSeparator();
    menu.addAction(create_material_);
    menu.addAction(create_property_);
    menu.addAction(create_component_);
    menu.addAction(create_usc_);
    menu.addAction(create_world_);
    menu.exec(tree_->viewport()->mapToGlobal(pos));
}

QAction *Browser::showDependenciesAction() const
{
    return show_dependencies_;
}

QAction *Browser::showDependentsAction() const
{
    return show_dependents_;
}

QAction *Browser::createMaterialAction() const
{
    return create_material_;
}

QAction *Browser::createPropertyAction() const
{
    return create_property_;
}

QAction *Browser::createComponentAction() const
{
    return create_component_;
}

QAction *Browser::createUSCAction() const
{
    return create_usc_;
}

QAction *Browser::createWorldAction() const
{
    return create_world_;
}

} // namespace as
