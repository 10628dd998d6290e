#pragma once

#include <QVariant>
#include <QWidget>

namespace Editor {

class WindowManager;

// The main window's central widget (registry member
// depr::g.window_manager). It carries the window commands of the main menu
// as signals; the shell connects them to its slots.
class WindowManagerPrivate : public QWidget
{
    Q_OBJECT

public:
    explicit WindowManagerPrivate(WindowManager *manager, QWidget *parent = nullptr);
    ~WindowManagerPrivate() override;

    // Same as WindowManager::show.
    void show(QWidget *widget);
    using QWidget::show;

    // QMainWindow::saveState bytes of the main window.
    QVariant saveState() const;
    // Applies saved bytes; an empty or invalid value applies the default
    // layout.
    void restoreState(const QVariant &state);

    WindowManager *manager() const;

signals:
    void addParameters();
    void toggleAssetBrowser();
    void toggleSettings();
    void toggleNodes();
    void toggleMaterials();
    void toggleProperties();
    void toggleConsole();
    void toggleImpostorGrabber();
    void toggleRandomizer();
    void toggleLightBaking();
    void toggleAbout();
    void toggleEngineViewport();
    void addEditorViewport();
    void showTracker();
    void closeTracker();
    void toggleTracker();
    void toggleCleaner();
    void toggleVideoGrabber();
    void toggleTextureProfiler();
    void openHelp();
    void resetWindowsLayout();
    void toggleAssembly();

private:
    friend class WindowManager;
    WindowManager *manager_ = nullptr;
};

} // namespace Editor
