#pragma once

#include "editor/interface/interface_screen.h"

#include <velmora/PluginInterface.h>
#include <velmora/Vector.h>

#include <functional>

class InterfaceWindow;
class QObject;
class QWidget;

// The singleton behind the "Interface" plug-in: the desktop and its screens
// (taken once, at construction), the mouse, the list of script windows
// (index 0 is the front) and the script API "engine.interface". The plug-in
// drives updateMouse, update and resetWindows once per engine frame or
// video restart. GUI thread only.
class Interface : public Velmora::Plugins::Interface
{
public:
    enum {
        WINDOW_TITLE = 1,
        WINDOW_FRAME = 2,
        WINDOW_MINIMIZE = 4,
        WINDOW_MAXIMIZE = 8,
        WINDOW_CLOSE = 16,
        WINDOW_DROP = 32,
        WINDOW_TOOLTIP = 64,
    };

    using ScreenSource = std::function<Velmora::Vector<InterfaceScreen>()>;
    // Where the next Interface takes its screens from; an empty source means
    // the application's screens (tests inject their own layouts).
    static void setScreenSource(ScreenSource source);

    Interface();
    ~Interface() override;

    // The singleton; a fatal engine error when there is none.
    static Interface *get();
    // The singleton or null.
    static Interface *find();

    // Velmora::Plugins::Interface
    int getWidth() const override { return desktop_width_; }
    int getHeight() const override { return desktop_height_; }
    void setMouse(int x, int y) override;
    int getMouseX() const override { return mouse_x_; }
    int getMouseY() const override { return mouse_y_; }
    int getPositionX() const override { return position_x_; }
    int getPositionY() const override { return position_y_; }
    int getNumWindows() const override { return windows_.size(); }
    Velmora::Plugins::InterfaceWindow *getWindowInterface(int index) const override;
    int findWindow(const Velmora::Ptr<Velmora::Gui> &gui) const override;
    int getNumScreens() const override { return screens_.size(); }
    int getScreenWidth(int screen) const override;
    int getScreenHeight(int screen) const override;
    int getScreenPositionX(int screen) const override;
    int getScreenPositionY(int screen) const override;
    int getCenterPositionX(int width) const override;
    int getCenterPositionY(int height) const override;
    int getVisiblePositionX(int x, int width, int margin) const override;
    int getVisiblePositionY(int y, int height, int margin) const override;
    Velmora::Plugins::InterfaceWindow *createWindow(int flags, const char *skin) override;
    void destroyWindow(Velmora::Plugins::InterfaceWindow *window) override;

    // The window at an index; null (and a log line) out of range.
    virtual InterfaceWindow *getWindow(int index) const;

    // List upkeep for the windows' constructor, destructor and focus.
    void add_window(InterfaceWindow *window);
    void remove_window(InterfaceWindow *window);
    void raise_window(InterfaceWindow *window);

    void setParentWidget(QWidget *widget) { host_widget_ = widget; }
    QWidget *getParentWidget() const { return host_widget_; }
    void setEventReceiver(QObject *receiver) { event_receiver_ = receiver; }
    QObject *getEventReceiver() const { return event_receiver_; }

    // Moves (x, y) as little as needed so that a window of width w is usable
    // on some screen (h does not enter the computation).
    void findVisiblePosition(int &x, int &y, int w, int h, int mx, int my) const;
    static void findVisiblePosition(const Velmora::Vector<InterfaceScreen> &screens, int &x, int &y, int w, int h,
                                    int mx, int my);

    void resetWindows();
    void updateMouse();
    void update();

    void registerScriptApi();
    void unregisterScriptApi();

private:
    bool checkScreen(int screen, const char *function) const;
    int centerPosition(int size, bool vertical) const;

    QWidget *host_widget_ = nullptr;
    QObject *event_receiver_ = nullptr;
    int desktop_width_ = 0;
    int desktop_height_ = 0;
    int mouse_x_ = 0;
    int mouse_y_ = 0;
    int position_x_ = 0;
    int position_y_ = 0;
    Velmora::Vector<InterfaceWindow *> windows_;
    Velmora::Vector<InterfaceScreen> screens_;
    int group_ = -1;
};
