// A built-in script module that shows the script windows of the
// "Interface" plug-in: it uses nothing but the names the plug-in registers
// ("engine.interface.*", the INTERFACE_WINDOW_* constants and the class
// "InterfaceWindow"), as an engine script would.

#include "interface_demo.h"

#include "velmora/Console.h"
#include "velmora/Gui.h"
#include "velmora/Interpreter.h"
#include "velmora/Log.h"
#include "velmora/Widget.h"

#include <QByteArray>

namespace Velmora {
namespace engine_internal {

namespace {

int g_demo_group = -1;
Vector<Variable> g_demo_windows;

int constant(const char *name)
{
    return Interpreter::getVariable(name).getInt();
}

int call(const char *name)
{
    return Interpreter::call(name, Variables()).getInt();
}

Variable method(const Variable &window, const char *name, const Variables &args = Variables())
{
    return Interpreter::callMethod(window, name, args);
}

// One window: a content widget with a label per line and a Hide button.
Variable openWindow(int flags, const char *title, const Vector<String> &lines, bool framed_content)
{
    const Variable window = Interpreter::construct("InterfaceWindow", Variables{Variable(flags)});
    if (!window.isObject())
        return Variable();
    const Ptr<Gui> gui = method(window, "getGui").getGui(Interpreter::get());
    if (!gui)
        return Variable();
    Ptr<WidgetVBox> box;
    if (framed_content) {
        Ptr<WidgetWindow> frame = WidgetWindow::create(gui, title);
        frame->setSizeable(true);
        box = frame;
    } else {
        box = WidgetVBox::create(gui, 6, 10);
    }
    for (const String &line : lines)
        box->addChild(WidgetLabel::create(gui, line.get()));
    Ptr<WidgetButton> hide = WidgetButton::create(gui, "Hide");
    const int index = g_demo_windows.size();
    hide->addCallback(Gui::CLICKED, [index]() {
        if (index < g_demo_windows.size())
            method(g_demo_windows[index], "setHidden", Variables{Variable(1)});
    });
    box->addChild(hide);
    box->setWidth(300);
    method(window, "setTitle", Variables{Variable(title)});
    method(window, "setWidget", Variables{Variable(Interpreter::get(), Ptr<Widget>(box))});
    g_demo_windows.append(window);
    return window;
}

Variable demoOpen(const Variables &)
{
    if (!Interpreter::isDefined("HAS_INTERFACE")) {
        Log::error("interface_demo: the script window plug-in is not loaded (start with -extern_plugin "
                   "Interface)\n");
        return Variable(0);
    }
    demoClose();
    const QByteArray desktop = QByteArray("Desktop ") + QByteArray::number(call("engine.interface.getWidth")) + " x "
            + QByteArray::number(call("engine.interface.getHeight")) + ", "
            + QByteArray::number(call("engine.interface.getNumScreens")) + " screen(s)";

    // A frameless window moved and resized by its own title bar and edges.
    const Variable first = openWindow(0, "Script window",
                                      Vector<String>{String("Drawn by its own engine GUI."),
                                                     String("Drag the title bar, resize by the"),
                                                     String("top or left edge."), String(desktop.constData())},
                                      true);
    if (first.isObject()) {
        method(first, "setCenterPosition");
        method(first, "setHidden", Variables{Variable(0)});
    }
    // A window with a native frame beside the first, asked for a place above
    // the screens: it lands at the nearest visible place.
    const int flags = constant("INTERFACE_WINDOW_TITLE") | constant("INTERFACE_WINDOW_FRAME")
            | constant("INTERFACE_WINDOW_CLOSE");
    const Variable second = openWindow(
            flags, "Second script window",
            Vector<String>{String("Asked for a place above the screen,"), String("moved down onto it.")}, false);
    if (second.isObject()) {
        const int x = first.isObject()
                ? method(first, "getPositionX").getInt() + method(first, "getWidth").getInt() + 24
                : 0;
        method(second, "setPosition", Variables{Variable(x), Variable(-5000)});
        method(second, "setHidden", Variables{Variable(0)});
    }
    if (first.isObject())
        method(first, "setFocus");
    return Variable(call("engine.interface.getNumWindows"));
}

} // namespace

Variable demoClose(const Variables &)
{
    demoClose();
    return Variable();
}

void demoClose()
{
    const Vector<Variable> windows = g_demo_windows;
    g_demo_windows.clear();
    for (const Variable &window : windows)
        Interpreter::release(window);
}

void registerInterfaceDemo()
{
    unregisterInterfaceDemo();
    g_demo_group = Interpreter::addGroup("InterfaceDemo");
    Interpreter::addExternFunction("interface_demo.open", 0, demoOpen, g_demo_group);
    Interpreter::addExternFunction(
            "interface_demo.close", 0, [](const Variables &args) { return demoClose(args); }, g_demo_group);
    Console::addCommand("interface_demo", "opens two script windows: interface_demo [close]",
                        [](int argc, const char *const *argv) {
                            if (argc > 1 && String(argv[1]) == "close") {
                                Interpreter::call("interface_demo.close", Variables());
                                return;
                            }
                            const int count = Interpreter::call("interface_demo.open", Variables()).getInt();
                            if (count > 0)
                                Console::message("interface_demo: %d script windows\n", count);
                        });
}

void unregisterInterfaceDemo()
{
    demoClose();
    if (g_demo_group >= 0)
        Interpreter::removeGroup(g_demo_group);
    g_demo_group = -1;
    Console::removeCommand("interface_demo");
}

} // namespace engine_internal
} // namespace Velmora
