#pragma once

#include <velmora/PluginInterface.h>
#include <velmora/String.h>
#include <velmora/Vector.h>

#include <QMargins>
#include <QPointer>
#include <QWindow>

#include <cstdint>
#include <functional>

class Interface;

namespace Velmora {
class RenderContext;
}

// qobject_cast by this name gives a window's engine-interface part.
Q_DECLARE_INTERFACE(Velmora::Plugins::InterfaceWindow, "Velmora::Plugins::InterfaceWindow")

// A native top-level window opened by an engine script: its own engine Gui
// and render context, one content widget that it follows in size and that
// can drag and resize it, its own mouse position, focus, title and place on
// the screens. The Interface lists it and updates and draws it once per
// frame. GUI thread only.
class InterfaceWindow : public QWindow, public Velmora::Plugins::InterfaceWindow
{
    Q_OBJECT
    Q_INTERFACES(Velmora::Plugins::InterfaceWindow)

public:
    // The Interface must exist (a fatal engine error otherwise).
    InterfaceWindow(int flags, const char *skin);
    ~InterfaceWindow() override;

    // The largest side when no screen is known.
    static constexpr int MAX_SIDE = 16384;

    // The extents of a window's frame as the window system reports them
    // (QWindow::frameMargins when none is set; tests stand in for a window
    // manager with their own).
    using FrameSource = std::function<QMargins(const InterfaceWindow &)>;
    static void setFrameSource(FrameSource source);
    QMargins frameExtents() const;

    // Qt window flags of the window constant bits.
    static Qt::WindowFlags windowFlags(int flags);
    static Qt::CursorShape toQtCursorShape(int cursor);

    Velmora::Ptr<Velmora::Gui> getGui() const override { return gui_; }
    void setWidget(const Velmora::Ptr<Velmora::Widget> &widget) override;
    Velmora::Ptr<Velmora::Widget> getWidget() const override { return widget_; }
    void setMoveable(bool moveable) override { moveable_ = moveable; }
    bool isMoveable() const override { return moveable_; }
    void setParent(bool parent) override { parent_ = parent; }
    bool isParent() const override { return parent_; }
    void setHidden(bool hidden) override;
    bool isHidden() const override { return !isVisible(); }
    void setFocus() override;
    bool isFocused() const override { return focused_; }
    void setPermanentFocus() override;
    bool isPermanentlyFocused() const override { return focused_ && permanently_focused_; }
    void removeFocus() override;
    void setTitle(const char *title) override;
    const char *getTitle() const override { return title_.get(); }
    void setCenterPosition() override;
    void setPosition(int x, int y) override;
    int getPositionX() const override { return position_x_; }
    int getPositionY() const override { return position_y_; }
    // Kept within 1 and the desktop's size, as positions are kept on the
    // screens.
    void setWidth(int width) override { width_ = boundedSize(width, false); }
    void setHeight(int height) override { height_ = boundedSize(height, true); }
    int getWidth() const override { return width_; }
    int getHeight() const override { return height_; }
    void setMouse(int x, int y) override;
    int getMouseX() const override { return mouse_x_; }
    int getMouseY() const override { return mouse_y_; }
    void clearDropFiles() override { drop_files_.clear(); }
    int getNumDropFiles() const override { return drop_files_.size(); }
    // "" (and a log line) out of range.
    const char *getDropFileName(int index) const override;

    // 1 when (x, y) lies inside the client area.
    int getIntersection(int x, int y) const;

    // Per frame, from the Interface. render hands the mouse to the Gui and
    // paints only when what the window shows changed since its last picture:
    // the Gui's paint key, the size, a new render context or an expose.
    void updateMouse();
    void render();
    void destroyRenderContext();
    // After a video restart: drops the GUI's resources and the render
    // context, then re-applies title, position and visibility.
    void reset();

    int getFlags() const { return flags_; }
    QWindow *getPreviousWindow() const { return previous_window_; }
    Velmora::Ptr<Velmora::RenderContext> getRenderContext() const { return render_context_; }
    // The Interface is going away: forget it.
    void detachInterface() { interface_ = nullptr; }

protected:
    bool event(QEvent *event) override;

private:
    int boundedSize(int size, bool vertical) const;
    void applyFlags();
    void ensureRenderContext();
    // Places the window again when its frame became known or changed since
    // it was placed.
    void followFrame();
    void onWidgetEvent(const Velmora::Ptr<Velmora::Widget> &widget);
    void releaseWidget();

    Interface *interface_ = nullptr;
    Velmora::Ptr<Velmora::Gui> gui_;
    Velmora::Ptr<Velmora::Widget> widget_;
    Velmora::String title_;
    QPointer<QWindow> previous_window_;
    int position_x_ = 0;
    int position_y_ = 0;
    // The frame extents the last placement allowed for.
    QMargins placed_frame_;
    int width_ = 16;
    int height_ = 16;
    bool moveable_ = true;
    bool parent_ = true;
    int mouse_x_ = 0;
    int mouse_y_ = 0;
    int drag_state_ = 0;
    int drag_mouse_x_ = 0;
    int drag_mouse_y_ = 0;
    int drag_position_x_ = 0;
    int drag_position_y_ = 0;
    int flags_ = 0;
    int render_width_ = 0;
    int render_height_ = 0;
    // The Gui's paint key of the picture on the window, and whether that
    // picture must be made again whatever the key says.
    uint64_t painted_key_ = 0;
    bool repaint_ = true;
    bool focused_ = false;
    bool permanently_focused_ = false;
    Velmora::Vector<Velmora::String> drop_files_;
    Velmora::Ptr<Velmora::RenderContext> render_context_;
};
