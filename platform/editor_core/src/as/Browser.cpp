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
#include <utility>
#include <vector>

namespace as {

namespace {

// First word of every state this browser writes.
constexpr quint32 STATE_MAGIC = 0x41534231; // "ASB1"

// Row types: folders and assets.
constexpr int FOLDER_ROW = QTreeWidgetItem::UserType + 1;
constexpr int ASSET_ROW = QTreeWidgetItem::UserType + 2;

bool isFolder(const QTreeWidgetItem *item)
{
    return item && item->type() != ASSET_ROW;
}

// A folder's row knows its place in the browser's folder list.
class FolderItem : public QTreeWidgetItem
{
public:
    explicit FolderItem(int index)
        : QTreeWidgetItem(FOLDER_ROW)
        , index_(index)
    {}
    int index() const { return index_; }

private:
    int index_;
};

// An asset's row. Its tool tip (path and GUID) is made when it is asked
// for, not kept for every asset of a large project.
class AssetItem : public QTreeWidgetItem
{
public:
    AssetItem()
        : QTreeWidgetItem(ASSET_ROW)
    {}
    QVariant data(int column, int role) const override
    {
        if (column == 0 && role == Qt::ToolTipRole)
            return QTreeWidgetItem::data(0, Browser::PATH_ROLE).toString() + QLatin1Char('\n')
                    + QTreeWidgetItem::data(0, Browser::GUID_ROLE).toString();
        return QTreeWidgetItem::data(column, role);
    }
};

// Folders by name (the rows of assets come after them, made later). Each
// name is read from its row once, not at every comparison.
void sortFolders(QTreeWidgetItem *parent)
{
    QList<QTreeWidgetItem *> children = parent->takeChildren();
    std::vector<std::pair<QString, QTreeWidgetItem *>> named;
    named.reserve(size_t(children.size()));
    for (QTreeWidgetItem *child : qAsConst(children))
        named.emplace_back(child->text(0), child);
    std::sort(named.begin(), named.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    for (int i = 0; i < children.size(); ++i)
        children[i] = named[size_t(i)].second;
    parent->addChildren(children);
    for (QTreeWidgetItem *child : qAsConst(children))
        sortFolders(child);
}

void collectExpanded(const QTreeWidgetItem *item, QStringList &paths)
{
    for (int i = 0; i < item->childCount(); ++i) {
        const QTreeWidgetItem *child = item->child(i);
        if (child->type() != FOLDER_ROW)
            break; // folders come first
        if (child->isExpanded()) {
            paths.append(child->data(0, Browser::PATH_ROLE).toString());
            collectExpanded(child, paths);
        }
    }
}

void setHiddenIfChanged(QTreeWidgetItem *item, bool hidden)
{
    if (item->isHidden() != hidden)
        item->setHidden(hidden);
}

QStringRef nameOf(const QString &path)
{
    return path.midRef(path.lastIndexOf(QLatin1Char('/')) + 1);
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
    connect(tree_, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem *item) {
        if (item->type() == FOLDER_ROW)
            populate(static_cast<FolderItem *>(item)->index());
    });

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
    entries_.clear();
    folders_.clear();
    folder_index_.clear();
    entry_by_guid_.clear();
    entry_by_guid_made_ = false;
    folders_.push_back(Folder{tree_->invisibleRootItem(), {}, {}});
    if (!asset_manager_)
        return;

    // The folder rows are made and sorted below a root of their own and
    // join the tree at once: rows already in a tree tell its model of every
    // change.
    QTreeWidgetItem staging;
    std::function<int(const QString &)> folderOf = [&](const QString &path) -> int {
        if (path.isEmpty())
            return 0;
        const auto known = folder_index_.constFind(path);
        if (known != folder_index_.constEnd())
            return known.value();
        const int slash = path.lastIndexOf(QLatin1Char('/'));
        const int parent = folderOf(slash < 0 ? QString() : path.left(slash));
        const int index = int(folders_.size());
        auto *item = new FolderItem(index);
        (parent == 0 ? &staging : folders_[size_t(parent)].item)->addChild(item);
        item->setText(0, path.mid(slash + 1));
        item->setData(0, PATH_ROLE, path);
        item->setFlags(Qt::ItemIsEnabled);
        folders_.push_back(Folder{item, {}, {}});
        folder_index_.insert(path, index);
        return index;
    };

    // The records come sorted by path, so the assets of a folder follow
    // each other (apart from those of its subfolders in between).
    entries_.reserve(size_t(asset_manager_->getNumAssets()));
    QString last_folder;
    int last_index = 0;
    asset_manager_->forEachAsset([&](const as::Asset &asset) {
        const QString &path = asset.getRelativePath();
        const int slash = path.lastIndexOf(QLatin1Char('/'));
        const QStringRef folder = slash < 0 ? QStringRef() : path.leftRef(slash);
        if (entries_.empty() || folder != last_folder) {
            last_folder = folder.toString();
            last_index = folderOf(last_folder);
        }
        Folder &target = folders_[size_t(last_index)];
        entries_.push_back(Entry{path, asset.getGUID(), int(asset.getType()), last_index, target.entries.size()});
        target.entries.append(int(entries_.size() - 1));
    });
    sortFolders(&staging);
    for (size_t f = 1; f < folders_.size(); ++f)
        if (!folders_[f].entries.isEmpty())
            folders_[f].item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    tree_->invisibleRootItem()->addChildren(staging.takeChildren());
    populate(0);

    for (const QString &path : qAsConst(expanded))
        if (QTreeWidgetItem *item = findFolderItem(path))
            item->setExpanded(true);
    selectAssets(selected);
    if (!current.isEmpty())
        if (QTreeWidgetItem *item = itemForPath(current))
            tree_->setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
    applyFilter();
    updateActions();
}

void Browser::populate(int index) const
{
    Folder &folder = folders_[size_t(index)];
    if (folder.rows.size() == folder.entries.size())
        return;
    // One text per type, shared by the rows.
    QString type_names[AssetType::SIZE];
    for (int type = 0; type < AssetType::SIZE; ++type)
        type_names[type] = typeToPrettyString(type);
    QList<QTreeWidgetItem *> rows;
    rows.reserve(folder.entries.size());
    folder.rows.reserve(folder.entries.size());
    for (int e : qAsConst(folder.entries)) {
        const Entry &entry = entries_[size_t(e)];
        auto *item = new AssetItem;
        item->setText(0, nameOf(entry.path).toString());
        item->setText(1, entry.type > 0 && entry.type < AssetType::SIZE ? type_names[entry.type] : QString());
        item->setData(0, GUID_ROLE, QString::fromUtf8(entry.guid.getString().get()));
        item->setData(0, PATH_ROLE, entry.path);
        rows.append(item);
        folder.rows.append(item);
    }
    folder.item->addChildren(rows);
    folder.item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
    const QString text = filter_edit_->text().trimmed();
    if (!text.isEmpty())
        for (QTreeWidgetItem *row : qAsConst(rows))
            setHiddenIfChanged(row, !row->text(0).contains(text, Qt::CaseInsensitive));
}

QTreeWidgetItem *Browser::rowOf(int entry) const
{
    const Entry &e = entries_[size_t(entry)];
    populate(e.folder);
    return folders_[size_t(e.folder)].rows[e.slot];
}

QTreeWidgetItem *Browser::itemForPath(const QString &path) const
{
    if (QTreeWidgetItem *folder = findFolderItem(path))
        return folder;
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    const int index = slash < 0 ? 0 : folder_index_.value(path.left(slash), -1);
    if (index < 0)
        return nullptr;
    for (int e : qAsConst(folders_[size_t(index)].entries))
        if (entries_[size_t(e)].path == path)
            return rowOf(e);
    return nullptr;
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
    const QSet<QString> open(expanded.begin(), expanded.end());
    for (size_t f = 1; f < folders_.size(); ++f) {
        QTreeWidgetItem *item = folders_[f].item;
        item->setExpanded(open.contains(item->data(0, PATH_ROLE).toString()));
    }
    if (!current.isEmpty())
        if (QTreeWidgetItem *item = itemForPath(current))
            tree_->setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
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
    QSet<QTreeWidgetItem *> wanted;
    for (const Velmora::UGUID &guid : guids)
        if (QTreeWidgetItem *item = findItem(guid))
            wanted.insert(item);
    for (QTreeWidgetItem *item : tree_->selectedItems())
        if (!wanted.contains(item))
            item->setSelected(false);
    if (wanted.isEmpty())
        return;
    // In tree order, as a user would have selected them.
    QList<QTreeWidgetItem *> ordered;
    for (QTreeWidgetItemIterator it(tree_); *it; ++it)
        if (wanted.contains(*it))
            ordered.append(*it);
    // Opening a folder adds rows: not while iterating.
    for (QTreeWidgetItem *item : qAsConst(ordered)) {
        item->setSelected(true);
        for (QTreeWidgetItem *p = item->parent(); p; p = p->parent())
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
    if (!entry_by_guid_made_) {
        entry_by_guid_.reserve(int(entries_.size()));
        for (size_t e = 0; e < entries_.size(); ++e)
            entry_by_guid_.insert(entries_[e].guid, int(e));
        entry_by_guid_made_ = true;
    }
    const auto found = entry_by_guid_.constFind(guid);
    return guid.isEmpty() || found == entry_by_guid_.constEnd() ? nullptr : rowOf(found.value());
}

QTreeWidgetItem *Browser::findFolderItem(const QString &relative_path) const
{
    const int index = relative_path.isEmpty() ? 0 : folder_index_.value(relative_path, 0);
    return index == 0 ? nullptr : folders_[size_t(index)].item;
}

void Browser::setFilter(const QString &text)
{
    filter_edit_->setText(text);
}

void Browser::applyFilter()
{
    if (!folders_.empty())
        filterFolder(0, filter_edit_->text().trimmed());
}

bool Browser::filterFolder(int index, const QString &text) const
{
    const Folder &folder = folders_[size_t(index)];
    bool any = false;
    for (int i = 0; i < folder.item->childCount(); ++i) {
        QTreeWidgetItem *child = folder.item->child(i);
        bool visible;
        if (child->type() == FOLDER_ROW)
            visible = filterFolder(static_cast<FolderItem *>(child)->index(), text) || text.isEmpty();
        else
            visible = text.isEmpty() || child->text(0).contains(text, Qt::CaseInsensitive);
        setHiddenIfChanged(child, !visible);
        any = any || visible;
    }
    // Assets without rows yet count all the same.
    if (!any && folder.rows.size() < folder.entries.size()) {
        for (int e : folder.entries) {
            if (text.isEmpty() || nameOf(entries_[size_t(e)].path).contains(text, Qt::CaseInsensitive)) {
                any = true;
                break;
            }
        }
    }
    return any;
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
