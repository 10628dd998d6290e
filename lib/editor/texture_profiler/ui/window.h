#pragma once

#include <velmora/UGUID.h>

#include <QWidget>

class EditorSettings;
class QCheckBox;
class QComboBox;
class QLabel;

namespace Editor {
class AssetManagerPrivate;
}

namespace tprof {

// The "Texture Profiler" window. It keeps its view settings (geometry, the
// core-assets flag, the location choice) in the editor settings and follows
// asset changes; the texture list comes with the profiler itself.
class Window : public QWidget
{
    Q_OBJECT

public:
    Window(Editor::AssetManagerPrivate *assets, QWidget *parent = nullptr);
    ~Window() override;

    void restoreSettings(EditorSettings *settings);
    void saveSettings(EditorSettings *settings);

    QCheckBox *displayCoreAssetsCheckBox() const { return display_core_assets_; }
    QComboBox *locationComboBox() const { return location_; }
    // Asset events received since construction (changed or moved, removed).
    int assetChangeCount() const { return changed_count_; }
    int assetRemoveCount() const { return removed_count_; }

public slots:
    void assetChanged(const Velmora::UGUID &guid);
    void assetRemoved(const Velmora::UGUID &guid);

private:
    Editor::AssetManagerPrivate *assets_ = nullptr;
    QCheckBox *display_core_assets_ = nullptr;
    QComboBox *location_ = nullptr;
    QLabel *last_event_ = nullptr;
    int changed_count_ = 0;
    int removed_count_ = 0;
};

} // namespace tprof
