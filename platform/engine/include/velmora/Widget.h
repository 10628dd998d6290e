#pragma once

#include "velmora/Base.h"
#include "velmora/Gui.h"
#include "velmora/Ptr.h"
#include "velmora/String.h"
#include "velmora/Vector.h"

#include <functional>
#include <memory>

class QPainter;

namespace Velmora {

// A widget of an engine Gui. Widgets are made in a Gui, owned by counted
// pointers (their parents hold their children), arranged by arrange()
// (sizes bottom-up, positions top-down) and painted by the Gui.
class Widget
{
public:
    enum Type {
        WIDGET = 0,
        WIDGET_VBOX = 1,
        WIDGET_HBOX = 2,
        WIDGET_LABEL = 3,
        WIDGET_BUTTON = 4,
        WIDGET_SLIDER = 5,
        WIDGET_EDITLINE = 6,
        // Widgets that take the keyboard focus report this from isFocusable.
        WIDGET_FOCUSABLE = 28,
        WIDGET_WINDOW = 29,
    };

    virtual ~Widget();

    int getType() const { return type_; }
    virtual bool isFocusable() const { return false; }
    // The Gui the widget was made in (null once that Gui is gone).
    Gui *getGui() const { return gui_; }
    Widget *getParent() const { return parent_; }

    void addChild(const Ptr<Widget> &widget, int flags = 0);
    void removeChild(const Ptr<Widget> &widget);
    int getNumChildren() const { return children_.size(); }
    Ptr<Widget> getChild(int index) const;

    // Computes the size from the content and the minimum size, then places
    // the children.
    void arrange();
    int getWidth() const { return width_; }
    int getHeight() const { return height_; }
    // Minimum size.
    void setWidth(int width) { min_width_ = width; }
    void setHeight(int height) { min_height_ = height; }
    // Position relative to the parent (or the Gui for top-level widgets).
    int getPositionX() const { return x_; }
    int getPositionY() const { return y_; }
    void setPosition(int x, int y);
    int getScreenPositionX() const;
    int getScreenPositionY() const;
    bool contains(int screen_x, int screen_y) const;

    bool isHidden() const { return hidden_; }
    void setHidden(bool hidden);
    bool isFocused() const { return gui_ && gui_->getFocus() == this; }
    void setFocus();
    void removeFocus();
    // Keeps the focus while the mouse presses on nothing focusable.
    void setPermanentFocus();
    // The cursor shown over the widget (Gui::CURSOR_*; 0 = the default).
    int getMouseCursor() const { return cursor_; }
    void setMouseCursor(int cursor) { cursor_ = cursor; }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }

    // Callbacks by Gui::CALLBACK_INDEX; they run in the order added.
    void addCallback(int index, std::function<void()> callback);
    // Takes ownership of the callback object.
    void addCallback(int index, CallbackBase *callback);
    void clearCallbacks(int index = -1);
    int getNumCallbacks(int index) const;
    // Runs the callbacks of an index now.
    void runCallbacks(int index);

    // What paint() draws of the widget and its children, as a key (see
    // Gui::getPaintKey).
    uint64_t getPaintKey() const;

protected:
    friend class Gui;
    friend class WidgetVBox;
    friend class WidgetHBox;
    friend class WidgetWindow;
    Widget(Gui *gui, int type);

    // Size of the widget's own content.
    virtual void measure(int &width, int &height);
    // Places the children inside the arranged size.
    virtual void layoutChildren();
    virtual void paintSelf(QPainter &painter, int x, int y) const;
    // Mixes the state paintSelf() draws, beyond place, size and the
    // flags every widget has, into key.
    virtual void mixPaintState(uint64_t &key) const;
    // Input at screen coordinates; return true when handled.
    virtual bool mousePressed(int x, int y);
    virtual void mouseDragged(int x, int y);
    virtual void mouseReleased(int x, int y, bool inside);
    virtual void keyPressed(unsigned int key);
    virtual int grabAt(int x, int y) const;

    void paint(QPainter &painter, int origin_x, int origin_y) const;
    void queue(int index);
    void detach();

    Gui *gui_ = nullptr;
    Widget *parent_ = nullptr;
    Vector<std::pair<Ptr<Widget>, int>> children_;
    int type_ = WIDGET;
    int x_ = 0;
    int y_ = 0;
    int width_ = 0;
    int height_ = 0;
    int min_width_ = 0;
    int min_height_ = 0;
    bool hidden_ = false;
    bool enabled_ = true;
    int cursor_ = 0;
    Vector<Vector<std::shared_ptr<CallbackBase>>> callbacks_;
};

// Children stacked vertically or side by side with spacing and padding.
class WidgetVBox : public Widget
{
public:
    static Ptr<WidgetVBox> create(const Ptr<Gui> &gui, int spacing = 4, int padding = 4);
    static Ptr<WidgetVBox> create(Gui *gui, int spacing = 4, int padding = 4);

protected:
    WidgetVBox(Gui *gui, int type, int spacing, int padding);
    void measure(int &width, int &height) override;
    // The size of the shown children stacked along one axis (vertical or not).
    void measureStack(bool vertical, int &width, int &height) const;
    void layoutChildren() override;
    int spacing_;
    int padding_;
};

class WidgetHBox : public WidgetVBox
{
public:
    static Ptr<WidgetHBox> create(const Ptr<Gui> &gui, int spacing = 4, int padding = 4);
    static Ptr<WidgetHBox> create(Gui *gui, int spacing = 4, int padding = 4);

protected:
    WidgetHBox(Gui *gui, int spacing, int padding);
    void measure(int &width, int &height) override;
    void layoutChildren() override;
};

class WidgetLabel : public Widget
{
public:
    static Ptr<WidgetLabel> create(const Ptr<Gui> &gui, const char *text = nullptr);
    const char *getText() const { return text_.get(); }
    void setText(const char *text) { text_ = text ? text : ""; }

protected:
    WidgetLabel(Gui *gui, const char *text);
    void measure(int &width, int &height) override;
    void paintSelf(QPainter &painter, int x, int y) const override;
    void mixPaintState(uint64_t &key) const override;
    String text_;
};

// Fires Gui::CLICKED when pressed and released over it.
class WidgetButton : public Widget
{
public:
    static Ptr<WidgetButton> create(const Ptr<Gui> &gui, const char *text = nullptr);
    static Ptr<WidgetButton> create(Gui *gui, const char *text = nullptr);
    bool isFocusable() const override { return true; }
    const char *getText() const { return text_.get(); }
    void setText(const char *text) { text_ = text ? text : ""; }
    bool isPressed() const { return pressed_; }

protected:
    WidgetButton(Gui *gui, const char *text);
    void measure(int &width, int &height) override;
    void paintSelf(QPainter &painter, int x, int y) const override;
    void mixPaintState(uint64_t &key) const override;
    bool mousePressed(int x, int y) override;
    void mouseReleased(int x, int y, bool inside) override;
    String text_;
    bool pressed_ = false;
};

// An integer between min and max, dragged with the mouse; fires
// Gui::CHANGED when the value changes through input.
class WidgetSlider : public Widget
{
public:
    static Ptr<WidgetSlider> create(const Ptr<Gui> &gui, int min = 0, int max = 100, int value = 0);
    bool isFocusable() const override { return true; }
    int getMinValue() const { return min_; }
    int getMaxValue() const { return max_; }
    void setRange(int min, int max);
    int getValue() const { return value_; }
    void setValue(int value);

protected:
    WidgetSlider(Gui *gui, int min, int max, int value);
    void measure(int &width, int &height) override;
    void paintSelf(QPainter &painter, int x, int y) const override;
    void mixPaintState(uint64_t &key) const override;
    bool mousePressed(int x, int y) override;
    void mouseDragged(int x, int y) override;
    void setFromX(int x);
    int min_;
    int max_;
    int value_;
};

// One line of text typed while it has the focus; fires Gui::CHANGED on
// every edit.
class WidgetEditLine : public Widget
{
public:
    static Ptr<WidgetEditLine> create(const Ptr<Gui> &gui, const char *text = nullptr);
    bool isFocusable() const override { return true; }
    const char *getText() const { return text_.get(); }
    void setText(const char *text) { text_ = text ? text : ""; }

protected:
    WidgetEditLine(Gui *gui, const char *text);
    void measure(int &width, int &height) override;
    void paintSelf(QPainter &painter, int x, int y) const override;
    void mixPaintState(uint64_t &key) const override;
    bool mousePressed(int x, int y) override;
    void keyPressed(unsigned int key) override;
    String text_;
};

// A window inside a Gui: a title bar that moves it (when moveable) and top
// and left edges that resize it (when sizeable); its children stack
// vertically below the title. Fires Gui::CHANGED when moved or resized.
// A window that is not moveable still reports the title-bar drag as
// Gui::GRAB_MOVE and fires CHANGED while it runs, so that its host can move
// instead (script windows).
class WidgetWindow : public WidgetVBox
{
public:
    static constexpr int TITLE_HEIGHT = 20;
    static constexpr int EDGE = 3;

    static Ptr<WidgetWindow> create(const Ptr<Gui> &gui, const char *title = nullptr);
    bool isFocusable() const override { return true; }
    const char *getText() const { return title_.get(); }
    void setText(const char *title) { title_ = title ? title : ""; }
    bool isMoveable() const { return moveable_; }
    void setMoveable(bool moveable) { moveable_ = moveable; }
    bool isSizeable() const { return sizeable_; }
    void setSizeable(bool sizeable) { sizeable_ = sizeable; }

protected:
    friend class Gui;
    WidgetWindow(Gui *gui, const char *title);
    void measure(int &width, int &height) override;
    void layoutChildren() override;
    void paintSelf(QPainter &painter, int x, int y) const override;
    void mixPaintState(uint64_t &key) const override;
    bool mousePressed(int x, int y) override;
    void mouseDragged(int x, int y) override;
    void mouseReleased(int x, int y, bool inside) override;
    int grabAt(int x, int y) const override;
    String title_;
    bool moveable_ = true;
    bool sizeable_ = false;
    int grab_ = 0;
    int grab_x_ = 0;
    int grab_y_ = 0;
};

} // namespace Velmora
