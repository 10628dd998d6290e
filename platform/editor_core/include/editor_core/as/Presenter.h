#pragma once

#include <velmora/UGUID.h>
#include <velmora/Vector.h>

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>

class Thumbnails;
class View;

namespace Editor {
class AssetManagerPrivate;
}

namespace as {

class Browser;

// The asset browser's presenter (registry member depr::g.asset_presenter):
// builds the browser, docks it at the bottom of the main window and turns
// its commands into the seven requests the shell wires to the tools.
class Presenter : public QObject
{
    Q_OBJECT

public:
    Presenter(Editor::AssetManagerPrivate *asset_manager, bool components_active, Thumbnails *thumbnails,
              QObject *parent = nullptr);
    ~Presenter() override;

    // Creates the browser (depr::gui.asset_browser) and docks it.
    void initGUI(View *main_window);
    // Undocks and deletes the browser, clears depr::gui.asset_browser.
    void shutdownGUI();
    Browser *browser() const;
    // Selects the browser's rows of the assets of the editor's selection
    // when it selects assets or runtimes (a selection of nodes leaves the
    // browser alone). Done on every change of the selection.
    void showSelection();

    // The GUID under which the browser shows g: an asset GUID gives itself,
    // a runtime GUID its asset's GUID, anything else the empty GUID. Safe
    // from any thread (reads depr::g.asset_manager).
    static Velmora::UGUID convertToVisible(const Velmora::UGUID &guid);

    // The asset save dialog over the data folder, parented to the main
    // window; it never blocks. The callback gets, from the event loop, the
    // chosen absolute path ("/" separators), or "" on cancel. A Dialogs
    // responder answers its SaveAsset request (absolute or data-relative
    // path) instead of the window.
    void showSaveDialog(std::function<void(const QString &)> callback, const QString &title = QString(),
                        const QStringList &name_filters = QStringList(), const QString &start = QString());

signals:
    void createMaterialRequest(const QString &directory);
    void createPropertyRequest(const QString &directory);
    void createComponentRequest(const QString &directory);
    void createUSCRequest(const QString &directory);
    void createWorldRequest(const QString &directory);
    void showDependents(const Velmora::Vector<Velmora::UGUID> &guids);
    void showDependencies(const Velmora::Vector<Velmora::UGUID> &guids);

private:
    Editor::AssetManagerPrivate *asset_manager_ = nullptr;
    bool components_active_ = false;
    Thumbnails *thumbnails_ = nullptr;
    QPointer<Browser> browser_;
};

} // namespace as
