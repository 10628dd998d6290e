#pragma once

#include <velmora/UGUID.h>
#include <velmora/Vector.h>

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVector>
#include <QWidget>

#include <vector>

class QAction;
class QLineEdit;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace Editor {
class AssetManagerPrivate;
}

namespace as {

// The asset browser window (object name "AssetBrowser"): the asset
// manager's assets as a tree of data folders, with a name filter and a
// context menu for dependency queries and asset creation. It only shows
// and forwards; as::Presenter turns its signals into requests.
//
// Folder rows are made for the whole tree at once; the rows of a folder's
// assets are made when the folder is first expanded, or when an asset of
// it is looked up, selected or made current, so that a large project
// costs only the rows the user opens.
class Browser : public QWidget
{
    Q_OBJECT

public:
    Browser(Editor::AssetManagerPrivate *asset_manager, bool components_active, QWidget *parent = nullptr);
    ~Browser() override;

    // Rebuilds the tree from the asset manager now (changes of the asset
    // manager rebuild it on the next pass of the event loop).
    void refresh();

    // Column sizes, expanded folders, the filter and the current item.
    QByteArray saveState() const;
    // False, and nothing changed, for bytes that saveState did not make.
    bool restoreState(const QByteArray &state);

    // Asset GUIDs of the selected rows, in tree order (folders skipped).
    Velmora::Vector<Velmora::UGUID> selectedAssets() const;
    // Selects the rows of these assets (others are deselected).
    void selectAssets(const Velmora::Vector<Velmora::UGUID> &guids);
    // Absolute folder of the current row ("" for the data folder root).
    QString currentDirectory() const;

    QTreeWidget *tree() const;
    // The row of an asset (made now when its folder's rows are not made
    // yet); null for a GUID that is no asset of the tree.
    QTreeWidgetItem *findItem(const Velmora::UGUID &guid) const;
    QTreeWidgetItem *findFolderItem(const QString &relative_path) const;
    void setFilter(const QString &text);

    QAction *showDependenciesAction() const;
    QAction *showDependentsAction() const;
    QAction *createMaterialAction() const;
    QAction *createPropertyAction() const;
    QAction *createComponentAction() const;
    QAction *createUSCAction() const;
    QAction *createWorldAction() const;

    static constexpr int GUID_ROLE = Qt::UserRole + 1;
    static constexpr int PATH_ROLE = Qt::UserRole + 2;

signals:
    void createMaterialRequest(const QString &directory);
    void createPropertyRequest(const QString &directory);
    void createComponentRequest(const QString &directory);
    void createUSCRequest(const QString &directory);
    void createWorldRequest(const QString &directory);
    void showDependents(const Velmora::Vector<Velmora::UGUID> &guids);
    void showDependencies(const Velmora::Vector<Velmora::UGUID> &guids);

private:
    // An asset as the tree shows it; path is shared with the asset
    // manager's record.
    struct Entry
    {
        QString path; // data-relative
        Velmora::UGUID guid;
        int type = 0;
        int folder = 0; // index in folders_
        int slot = 0; // index in its folder's entries
    };
    struct Folder
    {
        QTreeWidgetItem *item = nullptr; // the tree's invisible root for the data folder
        QVector<int> entries; // assets directly in the folder, by name
        QVector<QTreeWidgetItem *> rows; // their rows, once made
    };

    void scheduleRefresh();
    // Makes the rows of a folder's assets, once.
    void populate(int folder) const;
    QTreeWidgetItem *rowOf(int entry) const;
    // The row of a folder or asset by data-relative path; null when none.
    QTreeWidgetItem *itemForPath(const QString &path) const;
    // Hides what the filter text rules out below a folder; true when
    // something below it stays visible.
    bool filterFolder(int folder, const QString &text) const;
    void showContextMenu(const QPoint &pos);
    void updateActions();
    void applyFilter();

    Editor::AssetManagerPrivate *asset_manager_ = nullptr;
    bool components_active_ = false;
    QLineEdit *filter_edit_ = nullptr;
    QTreeWidget *tree_ = nullptr;
    QTimer *refresh_timer_ = nullptr;
    QAction *show_dependencies_ = nullptr;
    QAction *show_dependents_ = nullptr;
    QAction *create_material_ = nullptr;
    QAction *create_property_ = nullptr;
    QAction *create_component_ = nullptr;
    QAction *create_usc_ = nullptr;
    QAction *create_world_ = nullptr;

    std::vector<Entry> entries_; // by path
    mutable std::vector<Folder> folders_; // [0] is the data folder
    QHash<QString, int> folder_index_; // data-relative path -> folders_
    // GUID -> entries_, made when first needed.
    mutable QHash<Velmora::UGUID, int> entry_by_guid_;
    mutable bool entry_by_guid_made_ = false;
};

} // namespace as
