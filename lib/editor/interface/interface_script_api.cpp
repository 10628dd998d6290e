// The script API of the Interface: group "InterfaceInterpreter", define
// "HAS_INTERFACE", library "engine.interface", its functions and constants
// and the class "InterfaceWindow".

#include "editor/interface/interface.h"
#include "editor/interface/interface_window.h"

#include <velmora/Gui.h>
#include <velmora/Interpreter.h>
#include <velmora/Widget.h>

#include <memory>

namespace {

using Velmora::Interpreter;
using Velmora::Variable;
using Velmora::Variables;

InterfaceWindow *self(void *instance)
{
    return static_cast<InterfaceWindow *>(instance);
}

// The engine-interface part, through which every method except
// getIntersection is called.
Velmora::Plugins::InterfaceWindow *part(void *instance)
{
    return self(instance);
}

void addClass(int group)
{
    Velmora::ExternClass type;
    type.constructor_args = 2;
    type.constructor_defaults = ",0";
    type.constructor = [](const Variables &args) -> std::shared_ptr<void> {
        const char *skin = args[1].isString() ? args[1].getString() : nullptr;
        return std::shared_ptr<void>(new InterfaceWindow(args[0].getInt(), skin),
                                     [](void *window) { delete static_cast<InterfaceWindow *>(window); });
    };
    auto none = [](auto call) {
        return [call](void *instance, const Variables &args) {
            call(part(instance), args);
            return Variable();
        };
    };
    auto value = [](auto call) {
        return [call](void *instance, const Variables &args) { return Variable(call(part(instance), args)); };
    };
    using W = Velmora::Plugins::InterfaceWindow;
    type.addMethod("getGui", 0, [](void *instance, const Variables &) {
        return Variable(Interpreter::get(), part(instance)->getGui());
    });
    type.addMethod("setWidget", 1,
                   none([](W *w, const Variables &a) { w->setWidget(a[0].getWidget(Interpreter::get())); }));
    type.addMethod("getWidget", 0, [](void *instance, const Variables &) {
        return Variable(Interpreter::get(), part(instance)->getWidget());
    });
    type.addMethod("setHidden", 1, none([](W *w, const Variables &a) { w->setHidden(a[0].getInt() != 0); }));
    type.addMethod("isHidden", 0, value([](W *w, const Variables &) { return w->isHidden(); }));
    type.addMethod("setMoveable", 1, none([](W *w, const Variables &a) { w->setMoveable(a[0].getInt() != 0); }));
    type.addMethod("isMoveable", 0, value([](W *w, const Variables &) { return w->isMoveable(); }));
    type.addMethod("setParent", 1, none([](W *w, const Variables &a) { w->setParent(a[0].getInt() != 0); }));
    type.addMethod("isParent", 0, value([](W *w, const Variables &) { return w->isParent(); }));
    type.addMethod("setFocus", 0, none([](W *w, const Variables &) { w->setFocus(); }));
    type.addMethod("isFocused", 0, value([](W *w, const Variables &) { return w->isFocused(); }));
    type.addMethod("setPermanentFocus", 0, none([](W *w, const Variables &) { w->setPermanentFocus(); }));
    type.addMethod("isPermanentlyFocused", 0, value([](W *w, const Variables &) { return w->isPermanentlyFocused(); }));
    type.addMethod("removeFocus", 0, none([](W *w, const Variables &) { w->removeFocus(); }));
    type.addMethod("setTitle", 1, none([](W *w, const Variables &a) { w->setTitle(a[0].getString()); }));
    type.addMethod("getTitle", 0, value([](W *w, const Variables &) { return w->getTitle(); }));
    type.addMethod("setCenterPosition", 0, none([](W *w, const Variables &) { w->setCenterPosition(); }));
    type.addMethod("setPosition", 2,
                   none([](W *w, const Variables &a) { w->setPosition(a[0].getInt(), a[1].getInt()); }));
    type.addMethod("getPositionX", 0, value([](W *w, const Variables &) { return w->getPositionX(); }));
    type.addMethod("getPositionY", 0, value([](W *w, const Variables &) { return w->getPositionY(); }));
    type.addMethod("setWidth", 1, none([](W *w, const Variables &a) { w->setWidth(a[0].getInt()); }));
    type.addMethod("getWidth", 0, value([](W *w, const Variables &) { return w->getWidth(); }));
    type.addMethod("setHeight", 1, none([](W *w, const Variables &a) { w->setHeight(a[0].getInt()); }));
    type.addMethod("getHeight", 0, value([](W *w, const Variables &) { return w->getHeight(); }));
    type.addMethod("getIntersection", 2, [](void *instance, const Variables &a) {
        return Variable(self(instance)->getIntersection(a[0].getInt(), a[1].getInt()));
    });
    type.addMethod("setMouse", 2, none([](W *w, const Variables &a) { w->setMouse(a[0].getInt(), a[1].getInt()); }));
    type.addMethod("getMouseX", 0, value([](W *w, const Variables &) { return w->getMouseX(); }));
    type.addMethod("getMouseY", 0, value([](W *w, const Variables &) { return w->getMouseY(); }));
    type.addMethod("clearDropFiles", 0, none([](W *w, const Variables &) { w->clearDropFiles(); }));
    type.addMethod("getNumDropFiles", 0, value([](W *w, const Variables &) { return w->getNumDropFiles(); }));
    type.addMethod("getDropFileName", 1,
                   value([](W *w, const Variables &a) { return w->getDropFileName(a[0].getInt()); }));
    Interpreter::addExternClass("InterfaceWindow", type, group);
}

} // namespace

void Interface::registerScriptApi()
{
    group_ = Interpreter::addGroup("InterfaceInterpreter");
    Interpreter::addExternDefine("HAS_INTERFACE", group_);
    Interpreter::addExternLibrary("engine.interface", group_);

    auto fn = [this](const char *name, int num_args, std::function<Variable(const Variables &)> call,
                     const char *defaults = nullptr) {
        Interpreter::addExternFunction(name, num_args, std::move(call), group_, defaults);
    };
    fn("engine.interface.getWidth", 0, [this](const Variables &) { return Variable(getWidth()); });
    fn("engine.interface.getHeight", 0, [this](const Variables &) { return Variable(getHeight()); });
    fn("engine.interface.setMouse", 2, [this](const Variables &a) {
        setMouse(a[0].getInt(), a[1].getInt());
        return Variable();
    });
    fn("engine.interface.getMouseX", 0, [this](const Variables &) { return Variable(getMouseX()); });
    fn("engine.interface.getMouseY", 0, [this](const Variables &) { return Variable(getMouseY()); });
    fn("engine.interface.getPositionX", 0, [this](const Variables &) { return Variable(getPositionX()); });
    fn("engine.interface.getPositionY", 0, [this](const Variables &) { return Variable(getPositionY()); });
    fn("engine.interface.getNumWindows", 0, [this](const Variables &) { return Variable(getNumWindows()); });
    fn("engine.interface.getWindow", 1, [this](const Variables &a) {
        InterfaceWindow *window = getWindow(a[0].getInt());
        if (!window)
            return Variable();
        // Not the script's to delete: the handle does not own the window.
        return Variable::makeObject("InterfaceWindow", std::shared_ptr<void>(window, [](void *) {}));
    });
    fn("engine.interface.findWindow", 1,
       [this](const Variables &a) { return Variable(findWindow(a[0].getGui(Interpreter::get()))); });
    fn("engine.interface.getNumScreens", 0, [this](const Variables &) { return Variable(getNumScreens()); });
    fn("engine.interface.getScreenWidth", 1,
       [this](const Variables &a) { return Variable(getScreenWidth(a[0].getInt())); });
    fn("engine.interface.getScreenHeight", 1,
       [this](const Variables &a) { return Variable(getScreenHeight(a[0].getInt())); });
    fn("engine.interface.getScreenPositionX", 1,
       [this](const Variables &a) { return Variable(getScreenPositionX(a[0].getInt())); });
    fn("engine.interface.getScreenPositionY", 1,
       [this](const Variables &a) { return Variable(getScreenPositionY(a[0].getInt())); });
    fn("engine.interface.getCenterPositionX", 1,
       [this](const Variables &a) { return Variable(getCenterPositionX(a[0].getInt())); });
    fn("engine.interface.getCenterPositionY", 1,
       [this](const Variables &a) { return Variable(getCenterPositionY(a[0].getInt())); });
    fn(
            "engine.interface.getVisiblePositionX", 3,
            [this](const Variables &a) {
                return Variable(getVisiblePositionX(a[0].getInt(), a[1].getInt(), a[2].getInt()));
            },
            ",,32");
    fn(
            "engine.interface.getVisiblePositionY", 3,
            [this](const Variables &a) {
                return Variable(getVisiblePositionY(a[0].getInt(), a[1].getInt(), a[2].getInt()));
            },
            ",,32");

    const struct
    {
        const char *name;
        int value;
    } constants[] = {
            {"INTERFACE_WINDOW_TITLE", WINDOW_TITLE},       {"INTERFACE_WINDOW_FRAME", WINDOW_FRAME},
            {"INTERFACE_WINDOW_MINIMIZE", WINDOW_MINIMIZE}, {"INTERFACE_WINDOW_MAXIMIZE", WINDOW_MAXIMIZE},
            {"INTERFACE_WINDOW_CLOSE", WINDOW_CLOSE},       {"INTERFACE_WINDOW_DROP", WINDOW_DROP},
            {"INTERFACE_WINDOW_TOOLTIP", WINDOW_TOOLTIP},
    };
    for (const auto &constant : constants)
        Interpreter::addExternVariable(constant.name, constant.value, group_);

    addClass(group_);
}

void Interface::unregisterScriptApi()
{
    if (group_ >= 0)
        Interpreter::removeGroup(group_);
    group_ = -1;
}
