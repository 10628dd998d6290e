#pragma once

#include <editor_core/EditorLogic.h>
#include <editor_core/View.h>
#include <editor_core/ViewportManager.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/AssetManagerPrivate.h>
#include <editor_core/editor/WindowManager.h>
#include <editor_core/editor/WindowManagerPrivate.h>

#include <velmora/Engine.h>
#include <velmora/UGUID.h>

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <string>
#include <vector>

namespace test {

// The part of the editor shell the track and capture tools rely on,
// without the rest of the editor: a running engine over a small data
// folder (a world "worlds/farm" with the player "camera_1" and a box, a
// track asset, tracks/fly.track, that moves the player), the editor logic,
// the main window with its window manager, the asset manager and the
// viewport manager, all in the registries. pumpFrames runs whole engine
// frames (the editor logic's onUpdate included) with a fixed step of
// 0.1 s.
class CaptureShell
{
public:
    static const char *const TRACK_GUID;

    // extra: more engine arguments. data_through_link: the engine reaches
    // the data folder through a symbolic link ("linked_data" beside it).
    explicit CaptureShell(const QStringList &extra = {}, bool data_through_link = false);
    ~CaptureShell();
    CaptureShell(const CaptureShell &) = delete;
    CaptureShell &operator=(const CaptureShell &) = delete;

    bool isValid() const { return engine_ != nullptr; }
    // The data folder as the engine knows it, ending with "/".
    QString dataPath() const;
    // Where it really is (the same unless it is reached through a link).
    QString realDataPath() const;
    QString root() const { return dir_.path(); }
    bool writeData(const QString &relative, const QByteArray &content) const;
    bool loadWorld();
    void quitWorld();

    void pumpFrames(int count);

    Velmora::Engine *engine() const { return engine_; }
    EditorLogic *logic() const { return logic_; }
    View *mainWindow() const { return main_window_; }
    Editor::AssetManagerPrivate *assets() const { return assets_; }
    ViewportManager *viewports() const { return viewports_; }

private:
    QTemporaryDir dir_;
    bool data_through_link_ = false;
    std::vector<std::string> storage_;
    std::vector<char *> pointers_;
    Velmora::Engine *engine_ = nullptr;
    EditorLogic *logic_ = nullptr;
    View *main_window_ = nullptr;
    Editor::WindowManager *window_manager_ = nullptr;
    Editor::AssetManagerPrivate *assets_ = nullptr;
    ViewportManager *viewports_ = nullptr;
};

} // namespace test
