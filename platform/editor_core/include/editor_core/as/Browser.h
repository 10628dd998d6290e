#pragma once

#include <velmora/UGUID.h>
#include <velmora/Vector.h>

#include <QByteArray>
#include <QWidget>

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
    void scheduleRefresh();
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
};

} // namespace as
