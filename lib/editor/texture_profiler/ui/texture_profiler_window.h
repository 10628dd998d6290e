#pragma once

#include "editor/texture_profiler/data/textures_list.h"

#include <editor_core/CheckBox.h>
#include <editor_core/ComboBox.h>
#include <velmora/UGUID.h>
#include <velmora/Vector.h>

#include <QItemSelection>
#include <QWidget>

#include <functional>

class EditorSettings;
class QMenu;
class QPushButton;
class QTableView;

namespace Editor {
class AssetManagerPrivate;
}

namespace tprof {

class TexturesFilterProxyModel;
class TexturesModel;

// The "Texture Profiler" window: lists the textures the engine's streaming
// holds (console command "render_streaming_list") with their memory use,
// format and resolution. "From Viewport" first renders a few frames with the
// streaming limits at 0, so that only what the current view uses stays
// loaded. Selecting a row selects its asset in the editor; the context menu
// opens the dependency windows of the selected asset.
class Window : public QWidget
{
    Q_OBJECT

public:
    enum Location {
        LOCATION_FROM_VIDEO_MEMORY = 0,
        LOCATION_FROM_VIEWPORT = 1,
        LOCATION_FIRST = LOCATION_FROM_VIDEO_MEMORY,
        LOCATION_SIZE = 2
    };
    // Frames rendered by a refresh from the viewport.
    static constexpr int VIEWPORT_FRAMES = 30;

    // Opens a dependency window for the given assets; true when it opened.
    using DependencyOpener = std::function<bool(const Velmora::Vector<Velmora::UGUID> &)>;

    Window(Editor::AssetManagerPrivate *asset_manager, QWidget *parent = nullptr);
    ~Window() override;

    void refresh();
    void setLocation(int type);
    void setDisplayCoreAssets(bool on);

    void restoreSettings(EditorSettings *settings);
    void saveSettings(EditorSettings *settings);

    // Runs "render_streaming_list" and reads its output into list.
    static void runStreamingList(TexturesList *list);

    int location() const { return location_; }
    bool displayCoreAssets() const { return display_core_assets_; }
    const TexturesList &list() const { return list_; }
    TexturesModel *model() const { return model_; }
    TexturesFilterProxyModel *proxy() const { return proxy_; }
    QTableView *texturesView() const { return textures_view_; }
    ComboBox *locationComboBox() const { return location_combo_; }
    CheckBox *displayCoreAssetsCheckBox() const { return display_core_check_; }
    QPushButton *refreshButton() const { return refresh_button_; }

    // The context menu for the current selection (the caller owns it);
    // null when no row with an asset is selected.
    QMenu *createContextMenu();
    // Replaces what the context menu's actions open (tests); the defaults
    // are the editor's dependency windows.
    void setDependencyOpeners(DependencyOpener dependents, DependencyOpener dependencies);

public slots:
    void assetChanged(const Velmora::UGUID &asset_guid);
    void assetRemoved(const Velmora::UGUID &asset_guid);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void onSelectionChanged(const QItemSelection &selected);
    void showContextMenu(const QPoint &global_position);
    void applyFilter();
    // Makes the location box wide enough for its whole texts.
    void fitLocationBox();
    Velmora::Vector<Velmora::UGUID> selectedGuids(const QModelIndexList &indexes) const;

    TexturesList list_;
    TexturesModel *model_ = nullptr;
    TexturesFilterProxyModel *proxy_ = nullptr;
    QTableView *textures_view_ = nullptr;
    ComboBox *location_combo_ = nullptr;
    CheckBox *display_core_check_ = nullptr;
    QPushButton *refresh_button_ = nullptr;
    bool selecting_ = false;
    int location_ = LOCATION_FROM_VIDEO_MEMORY;
    bool display_core_assets_ = true;
    DependencyOpener open_dependents_;
    DependencyOpener open_dependencies_;
};

} // namespace tprof
