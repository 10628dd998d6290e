#pragma once

#include "velmora/Ptr.h"

namespace Velmora {

class Gui;
class Widget;

namespace Plugins {

// A native script window of the "Interface" plug-in, as the engine and the
// scripts see it.
class InterfaceWindow
{
public:
    virtual ~InterfaceWindow() = default;
    virtual Ptr<Gui> getGui() const = 0;
    virtual void setWidget(const Ptr<Widget> &widget) = 0;
    virtual Ptr<Widget> getWidget() const = 0;
    virtual void setMoveable(bool moveable) = 0;
    virtual bool isMoveable() const = 0;
    virtual void setParent(bool parent) = 0;
    virtual bool isParent() const = 0;
    virtual void setHidden(bool hidden) = 0;
    virtual bool isHidden() const = 0;
    virtual void setFocus() = 0;
    virtual bool isFocused() const = 0;
    virtual void setPermanentFocus() = 0;
    virtual bool isPermanentlyFocused() const = 0;
    virtual void removeFocus() = 0;
    virtual void setTitle(const char *title) = 0;
    virtual const char *getTitle() const = 0;
    virtual void setCenterPosition() = 0;
    virtual void setPosition(int x, int y) = 0;
    virtual int getPositionX() const = 0;
    virtual int getPositionY() const = 0;
    virtual void setWidth(int width) = 0;
    virtual void setHeight(int height) = 0;
    virtual int getWidth() const = 0;
    virtual int getHeight() const = 0;
    virtual void setMouse(int x, int y) = 0;
    virtual int getMouseX() const = 0;
    virtual int getMouseY() const = 0;
    virtual void clearDropFiles() = 0;
    virtual int getNumDropFiles() const = 0;
    virtual const char *getDropFileName(int index) const = 0;
};

// The "Interface" plug-in's data (Plugin::getData): the desktop, the
// mouse and the list of script windows.
class Interface
{
public:
    virtual ~Interface() = default;
    virtual int getWidth() const = 0;
    virtual int getHeight() const = 0;
    virtual void setMouse(int x, int y) = 0;
    virtual int getMouseX() const = 0;
    virtual int getMouseY() const = 0;
    virtual int getPositionX() const = 0;
    virtual int getPositionY() const = 0;
    virtual int getNumWindows() const = 0;
    virtual InterfaceWindow *getWindowInterface(int index) const = 0;
    virtual int findWindow(const Ptr<Gui> &gui) const = 0;
    virtual int getNumScreens() const = 0;
    virtual int getScreenWidth(int screen) const = 0;
    virtual int getScreenHeight(int screen) const = 0;
    virtual int getScreenPositionX(int screen) const = 0;
    virtual int getScreenPositionY(int screen) const = 0;
    virtual int getCenterPositionX(int width) const = 0;
    virtual int getCenterPositionY(int height) const = 0;
    virtual int getVisiblePositionX(int x, int width, int margin) const = 0;
    virtual int getVisiblePositionY(int y, int height, int margin) const = 0;
    virtual InterfaceWindow *createWindow(int flags, const char *skin) = 0;
    virtual void destroyWindow(InterfaceWindow *window) = 0;
};

} // namespace Plugins
} // namespace Velmora
