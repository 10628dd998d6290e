#pragma once

#include <editor_core/ViewportWindow.h>
#include <editor_core/WidgetGui.h>

#include <velmora/Ptr.h>
#include <velmora/UGUID.h>

#include <QPointer>

namespace Velmora {
class Engine;
class Gui;
class Player;
class Variable;
class Widget;
} // namespace Velmora

// The dockable "Tracker" window that hosts the engine script's track
// editor. It registers the script callbacks the editor script expects
// (group "Tamsel2Callbacks": define HAS_TAMSEL2, library tamsel2_callbacks
// with manipulatorPressed and manipulatorReleased) when it is constructed,
// before the editor script loads; init() then lets the script build the
// window content around the engine buttons "Load", "Save" and "Clear".
// Once per engine frame it hands the script the hovered viewport's GUI and
// camera when the window becomes visible, nulls when it is hidden, and
// runs the script's update while it is visible. A viewport hovered while
// the window is hidden is only remembered: the script sees no viewport
// then.
//
// Script functions that are missing, or calls made before init(), do
// nothing; closed viewports are never handed to the script.
class Tracker : public WidgetGui
{
public:
    explicit Tracker(QWidget *parent = nullptr);
    ~Tracker() override;

    void init();
    // The per-frame step (EditorLogic::onUpdate).
    void update();
    void setUpdateEnabled(bool enabled);
    void setViewportPlayer(ViewportWindow *viewport);
    void showTracker();
    void hideTracker();
    void shutdown();

    void onLoadClicked();
    void onSaveClicked();
    void onClearClicked();
    // Clears the script's track and the title (also on world load and
    // unload).
    void clearTrack();

    // Script callbacks: a manipulator grab starts and ends.
    void manipulatorPressed();
    void manipulatorReleased();

    bool isUpdateEnabled() const { return update_enabled_; }
    bool wasVisible() const { return was_visible_; }
    bool isManipulatorActivated() const { return manipulator_activated_; }
    ViewportWindow *lastViewport() const { return last_viewport_.data(); }
    Velmora::Ptr<Velmora::Widget> loadButton() const { return load_button_; }
    Velmora::Ptr<Velmora::Widget> saveButton() const { return save_button_; }
    Velmora::Ptr<Velmora::Widget> clearButton() const { return clear_button_; }

    // The size of the script's content.
    QSize sizeHint() const override;

protected:
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    enum ScriptFunction {
        TRACKER_INIT,
        TRACKER_SHUTDOWN,
        TRACKER_UPDATE,
        SET_VIEWPORT_GUI,
        SET_VIEWPORT_PLAYER,
        LOAD_TRACK,
        SAVE_TRACK,
        CLEAR_TRACK,
        NUM_FUNCTIONS,
    };

    // Gives the script the viewport's GUI and camera (nulls for none).
    void handOver(ViewportWindow *viewport);
    void onTrackLoaded(const Velmora::UGUID &guid);
    void onTrackSavePath(const QString &fpath);
    Velmora::Variable call(ScriptFunction function);
    Velmora::Variable call(ScriptFunction function, const Velmora::Variable &argument);

    Velmora::Engine *engine_ = nullptr;
    QPointer<ViewportWindow> last_viewport_;
    Velmora::Ptr<Velmora::Widget> load_button_;
    Velmora::Ptr<Velmora::Widget> save_button_;
    Velmora::Ptr<Velmora::Widget> clear_button_;
    Velmora::Ptr<Velmora::Gui> empty_gui_;
    Velmora::Ptr<Velmora::Player> empty_player_;
    int functions_[NUM_FUNCTIONS];
    bool update_enabled_ = true;
    bool manipulator_activated_ = false;
    bool was_visible_ = false;
    bool save_failed_ = false;
    int group_ = -1;
    QSize content_size_;
};
