#include "editor/interface/interface.h"

#include "editor/interface/interface_window.h"

#include <velmora/Engine.h>
#include <velmora/Gui.h>
#include <velmora/Log.h>
#include <velmora/Widget.h>

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace {

Interface *g_interface = nullptr;

Interface::ScreenSource &screenSource()
{
    static Interface::ScreenSource source;
    return source;
}

Velmora::Vector<InterfaceScreen> applicationScreens()
{
    Velmora::Vector<InterfaceScreen> screens;
    if (!qGuiApp)
        return screens;
    const QList<QScreen *> list = QGuiApplication::screens();
    // The count is asked again on every pass, as screens are added in order.
    for (int i = 0; i < QGuiApplication::screens().size(); ++i) {
        const QRect area = list.value(i) ? list.value(i)->geometry() : QRect();
        screens.append(InterfaceScreen{area.width(), area.height(), area.x(), area.y()});
    }
    return screens;
}

// The list invariants; a violation is a programming error of the window
// code, so it ends the process like every engine assertion.
void checkList(bool condition, int line, const char *text)
{
    if (!condition)
        Velmora::Log::fatal("%s:%d: Assertion: '%s'\n", "lib/editor/interface/Interface", line, text);
}

} // namespace

void Interface::setScreenSource(ScreenSource source)
{
    screenSource() = std::move(source);
}

Interface::Interface()
{
    if (g_interface)
        Velmora::Log::fatal("Interface::Interface(): interface is already created\n");
    g_interface = this;
    registerScriptApi();

    screens_ = screenSource() ? screenSource()() : applicationScreens();
    // The desktop is the box around every screen.
    if (!screens_.empty()) {
        int left = screens_[0].x, top = screens_[0].y;
        int right = left + screens_[0].width, bottom = top + screens_[0].height;
        for (const InterfaceScreen &screen : screens_) {
            left = qMin(left, screen.x);
            top = qMin(top, screen.y);
            right = qMax(right, screen.x + screen.width);
            bottom = qMax(bottom, screen.y + screen.height);
        }
        desktop_width_ = right - left;
        desktop_height_ = bottom - top;
    }
}

Interface::~Interface()
{
    // Windows may outlive the interface (scripts own them): they must not
    // reach it afterwards.
    const Velmora::Vector<InterfaceWindow *> windows = windows_;
    for (InterfaceWindow *window : windows)
        window->detachInterface();
    windows_.clear();
    if (g_interface == this)
        g_interface = nullptr;
    unregisterScriptApi();
    screens_.clear();
}

Interface *Interface::get()
{
    if (!g_interface)
        Velmora::Log::fatal("Interface::get(): interface is NULL\n");
    return g_interface;
}

Interface *Interface::find()
{
    return g_interface;
}

void Interface::setMouse(int x, int y)
{
    mouse_x_ = x;
    mouse_y_ = y;
    QCursor::setPos(x, y);
}

Velmora::Plugins::InterfaceWindow *Interface::getWindowInterface(int index) const
{
    return getWindow(index);
}

InterfaceWindow *Interface::getWindow(int index) const
{
    if (index < 0 || index >= windows_.size()) {
        Velmora::Log::error("Interface::getWindow(): bad window index %d (%d windows)\n", index, windows_.size());
        return nullptr;
    }
    return windows_[index];
}

int Interface::findWindow(const Velmora::Ptr<Velmora::Gui> &gui) const
{
    for (int i = 0; i < windows_.size(); ++i)
        if (windows_[i]->getGui() == gui)
            return i;
    return -1;
}

bool Interface::checkScreen(int screen, const char *function) const
{
    if (screen >= 0 && screen < screens_.size())
        return true;
    Velmora::Log::error("Interface::%s(): bad screen index %d (%d screens)\n", function, screen, screens_.size());
    return false;
}

int Interface::getScreenWidth(int screen) const
{
    return checkScreen(screen, "getScreenWidth") ? screens_[screen].width : 0;
}

int Interface::getScreenHeight(int screen) const
{
    return checkScreen(screen, "getScreenHeight") ? screens_[screen].height : 0;
}

int Interface::getScreenPositionX(int screen) const
{
    return checkScreen(screen, "getScreenPositionX") ? screens_[screen].x : 0;
}

int Interface::getScreenPositionY(int screen) const
{
    return checkScreen(screen, "getScreenPositionY") ? screens_[screen].y : 0;
}

int Interface::centerPosition(int size, bool vertical) const
{
    for (InterfaceWindow *window : windows_) {
        if (!window->isParent() || window->isHidden() || !window->isFocused())
            continue;
        const Velmora::Ptr<Velmora::Widget> widget = window->getWidget();
        if (widget && widget->getType() != Velmora::Widget::WIDGET_WINDOW)
            continue;
        return vertical ? window->getPositionY() + (window->getHeight() - size) / 2
                        : window->getPositionX() + (window->getWidth() - size) / 2;
    }
    if (!host_widget_)
        return vertical ? Velmora::App::getPositionY() + (Velmora::App::getHeight() - size) / 2
                        : Velmora::App::getPositionX() + (Velmora::App::getWidth() - size) / 2;
    if (QWindow *focus = QGuiApplication::focusWindow())
        return vertical ? focus->y() + (focus->height() - size) / 2 : focus->x() + (focus->width() - size) / 2;
    const QPoint corner = host_widget_->mapToGlobal(QPoint(0, 0));
    return vertical ? corner.y() + (host_widget_->height() - size) / 2
                    : corner.x() + (host_widget_->width() - size) / 2;
}

int Interface::getCenterPositionX(int width) const
{
    return centerPosition(width, false);
}

int Interface::getCenterPositionY(int height) const
{
    return centerPosition(height, true);
}

int Interface::getVisiblePositionX(int x, int width, int margin) const
{
    int y = 32;
    findVisiblePosition(x, y, width, 32, margin, 32);
    return x;
}

int Interface::getVisiblePositionY(int y, int height, int margin) const
{
    int x = 32;
    findVisiblePosition(x, y, 32, height, 32, margin);
    return y;
}

void Interface::findVisiblePosition(int &x, int &y, int w, int h, int mx, int my) const
{
    findVisiblePosition(screens_, x, y, w, h, mx, my);
}

void Interface::findVisiblePosition(const Velmora::Vector<InterfaceScreen> &screens, int &x, int &y, int w, int, int mx,
                                    int my)
{
    // In 64 bits: a script may pass any int, and a window however far off
    // the screens must still come back.
    constexpr qint64 FAR = std::numeric_limits<qint64>::max() / 4;
    const qint64 x0 = x;
    const qint64 y0 = y;
    qint64 best_cost = FAR;
    qint64 best_dx = 0;
    qint64 best_dy = 0;
    for (const InterfaceScreen &screen : screens) {
        const qint64 left = (qint64(screen.x) + mx) - (x0 + w);
        const qint64 right = x0 - (qint64(screen.x) + screen.width - mx);
        const qint64 top = qint64(screen.y) - y0;
        const qint64 bottom = y0 - (qint64(screen.y) + screen.height - 2 * qint64(my));
        if (left <= 0 && right <= 0 && top <= 0 && bottom <= 0)
            return; // usable on this screen as it is
        qint64 dx = left > 0 || right > 0 ? FAR : 0;
        if (left >= 0 && dx > left)
            dx = left;
        if (right >= 0 && dx > right)
            dx = -right;
        qint64 dy = top > 0 || bottom > 0 ? FAR : 0;
        if (top >= 0 && dy > top)
            dy = top;
        if (bottom >= 0 && dy > bottom)
            dy = -bottom;
        const qint64 cost = std::abs(dx) + std::abs(dy);
        if (cost < best_cost) {
            best_cost = cost;
            best_dx = dx;
            best_dy = dy;
        }
    }
    auto toInt = [](qint64 value) {
        return int(std::clamp<qint64>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    };
    x = toInt(x0 + best_dx);
    y = toInt(y0 + best_dy);
}

Velmora::Plugins::InterfaceWindow *Interface::createWindow(int flags, const char *skin)
{
    return new InterfaceWindow(flags, skin);
}

void Interface::destroyWindow(Velmora::Plugins::InterfaceWindow *window)
{
    delete window;
}

void Interface::add_window(InterfaceWindow *window)
{
    checkList(windows_.findIndex(window) == -1, 137,
              "windows.find(window) == windows.end() && \"Interface::add_window(): window is already defined\"");
    windows_.append(window);
}

void Interface::remove_window(InterfaceWindow *window)
{
    const int index = windows_.findIndex(window);
    checkList(index != -1, 143,
              "windows.find(window) != windows.end() && \"Interface::remove_window(): can't find window\"");
    windows_.remove(index);
}

void Interface::raise_window(InterfaceWindow *window)
{
    const int index = windows_.findIndex(window);
    checkList(index != -1, 149,
              "windows.find(window) != windows.end() && \"Interface::raise_window(): can't find window\"");
    windows_.remove(index);
    windows_.insert(0, window);
}

void Interface::resetWindows()
{
    const Velmora::Vector<InterfaceWindow *> windows = windows_;
    for (InterfaceWindow *window : windows)
        if (windows_.contains(window))
            window->reset();
}

void Interface::updateMouse()
{
    if (!Velmora::App::getHandle())
        return;
    const QPoint cursor = QCursor::pos();
    mouse_x_ = cursor.x();
    mouse_y_ = cursor.y();
    position_x_ = Velmora::App::getPositionX();
    position_y_ = Velmora::App::getPositionY();
}

void Interface::update()
{
    // Script callbacks run inside the windows' updates and may destroy
    // windows: walk copies and skip the ones gone.
    const Velmora::Vector<InterfaceWindow *> hidden = windows_;
    for (InterfaceWindow *window : hidden)
        if (windows_.contains(window) && window->isHidden())
            window->destroyRenderContext();

    InterfaceWindow *active = nullptr;
    for (InterfaceWindow *window : windows_) {
        if (!window->isHidden() && window->isFocused()) {
            active = window;
            break;
        }
    }
    if (active) {
        active->updateMouse();
        if (windows_.contains(active))
            active->render();
        if (windows_.contains(active)) {
            const Velmora::Ptr<Velmora::Gui> gui = active->getGui();
            if (gui && active->getIntersection(active->getMouseX(), active->getMouseY())) {
                Velmora::Widget *focus = gui->getFocus();
                bool top_level = false;
                for (int i = 0; focus && i < gui->getNumChildren(); ++i)
                    top_level = top_level || gui->getChild(i).get() == focus;
                if (focus && !top_level && focus->getType() != Velmora::Widget::WIDGET_FOCUSABLE)
                    Velmora::App::setMouseButton(0);
            }
            const int buttons = Velmora::App::getMouseButton();
            if ((buttons & 8) && !(gui && (gui->getMouseButton() & 8)))
                Velmora::App::setMouseButton(buttons & ~8);
        }
    }
    const Velmora::Vector<InterfaceWindow *> others = windows_;
    for (InterfaceWindow *window : others) {
        if (window == active || !windows_.contains(window) || window->isHidden())
            continue;
        window->updateMouse();
        if (windows_.contains(window))
            window->render();
    }
}
