#pragma once

#include "velmora/Base.h"
#include "velmora/Ptr.h"
#include "velmora/String.h"
#include "velmora/Vector.h"

#include <cstdint>
#include <functional>
#include <set>
#include <utility>

class QImage;
class QPainter;

namespace Velmora {

class Widget;

// An engine GUI surface with a small software widget set painted with
// QPainter. The host (a window) hands it the mouse and keys; input changes
// widget state at once and queues the widgets' callbacks, which fire during
// the next update(). Gui::get() is the engine's main GUI (null while the
// engine is not running); Engine::update updates every live Gui.
//
// Coordinates are pixels from the surface's top-left corner. Main thread
// only.
class Gui
{
public:
    // Callback indexes of Widget::addCallback.
    enum CALLBACK_INDEX {
        SHOW = 0,
        HIDE,
        FOCUS_IN,
        FOCUS_OUT,
        PRESSED,
        CLICKED, // 5: a button was clicked
        RELEASED,
        CHANGED, // 7: a value changed, or a window was moved or resized
        KEY_PRESSED,
        NUM_CALLBACKS,
    };
    // Flags of addChild.
    enum {
        ALIGN_LEFT = 1,
        ALIGN_RIGHT = 2,
        ALIGN_TOP = 4,
        ALIGN_BOTTOM = 8,
        ALIGN_CENTER = 16,
        ALIGN_EXPAND = 32,
        ALIGN_OVERLAP = 64,
    };
    // Bits of getMouseGrab(): what a held mouse button is dragging.
    enum {
        GRAB_NONE = 0,
        GRAB_MOVE = 1,
        GRAB_TOP = 16,
        GRAB_LEFT = 64,
    };
    // getMouseCursor() values.
    enum {
        CURSOR_ARROW = 0,
        CURSOR_FORBIDDEN = 2,
        CURSOR_HAND = 3,
        CURSOR_SIZE_H = 4,
        CURSOR_SIZE_V = 5,
        CURSOR_SIZE_BDIAG = 6,
        CURSOR_SIZE_FDIAG = 7,
        CURSOR_MOVE = 8,
        CURSOR_SIZE_ALL = 9,
        CURSOR_DRAG = 10,
    };
    // Mouse button bits.
    enum {
        BUTTON_LEFT = 1,
        BUTTON_RIGHT = 2,
        BUTTON_MIDDLE = 4,
    };
    enum {
        KEY_BACKSPACE = 8,
        KEY_RETURN = 13,
    };

    static Gui *get();
    static Ptr<Gui> create(const char *skin = nullptr);
    // Updates every live Gui (Engine::update).
    static void updateAll(float ifps);
    static int getNumGuis();

    ~Gui();

    bool isHidden() const { return hidden_; }
    void setHidden(bool hidden) { hidden_ = hidden; }
    const char *getSkin() const { return skin_.get(); }
    int getWidth() const { return width_; }
    int getHeight() const { return height_; }
    void setSize(int width, int height)
    {
        width_ = width;
        height_ = height;
    }

    // Top-level widgets, painted in order (later ones on top).
    void addChild(const Ptr<Widget> &widget, int flags = 0);
    void removeChild(const Ptr<Widget> &widget);
    bool isChild(const Ptr<Widget> &widget) const;
    int getNumChildren() const { return children_.size(); }
    Ptr<Widget> getChild(int index) const;
    // Drops every top-level widget and queued callback.
    void destroy();

    Widget *getFocus() const { return focus_; }
    void setFocus(Widget *widget);
    // Drops the focus, a permanent one included.
    void removeFocus();

    // Input from the host.
    void setMouse(int x, int y, int buttons);
    void keyPress(unsigned int key);
    int getMouseX() const { return mouse_x_; }
    int getMouseY() const { return mouse_y_; }
    int getMouseButtons() const { return mouse_buttons_; }
    int getMouseButton() const { return mouse_buttons_; }
    int getMouseGrab() const;
    int getMouseCursor() const;
    // The widget under the point (deepest first), or null.
    Widget *getWidgetAt(int x, int y) const;

    // Arranges the top-level widgets and fires the queued callbacks.
    void update(float ifps);
    int getNumQueuedCallbacks() const { return int(queue_.size()); }

    // Paints the widgets (not the background). render() paints into the
    // current RenderContext while a frame is under way, else into the
    // Gui's own image.
    void paint(QPainter &painter) const;
    // A summary of everything paint() draws (widgets, their places, texts,
    // values and pressed or focused states): equal keys paint the same
    // picture, so a host paints again only when the key changed.
    uint64_t getPaintKey() const;

    // A surface that renders into its own image (render contexts): enable
    // with a size, render with the mouse state, read the last frame.
    void enable(int width, int height);
    bool isEnabled() const { return enabled_; }
    void render(int x, int y, int buttons, int flags);
    void disable();
    QImage getImage() const;

private:
    friend class Widget;
    Gui() = default;

    void queueCallback(Widget *widget, int index);
    void forget(Widget *widget);

    String skin_;
    bool hidden_ = false;
    bool enabled_ = false;
    int width_ = 0;
    int height_ = 0;
    Vector<std::pair<Ptr<Widget>, int>> children_;
    std::set<Widget *> widgets_;
    Vector<std::pair<Widget *, int>> queue_;
    Widget *focus_ = nullptr;
    // Keeps the focus when the mouse presses where nothing takes it.
    Widget *permanent_focus_ = nullptr;
    Widget *pressed_ = nullptr;
    int mouse_x_ = 0;
    int mouse_y_ = 0;
    int mouse_buttons_ = 0;
    QImage *image_ = nullptr;
};

} // namespace Velmora
