// The script registry (functions, defines, libraries, constants, classes,
// default arguments, errors) and the engine GUI widget set it hands around.

#include "engine_runtime_fixture.h"

#include "velmora/Engine.h"
#include "velmora/Gui.h"
#include "velmora/Interpreter.h"
#include "velmora/RenderContext.h"
#include "velmora/Widget.h"

#include <QImage>
#include <QPainter>
#include <QWindow>
#include <QtTest>

using namespace Velmora;

class TestScriptRegistry : public QObject
{
    Q_OBJECT

    enginetest::Installation installation_;

private slots:
    void initTestCase() { QVERIFY(installation_.start()); }
    void cleanupTestCase() { installation_.stop(); }

    void removing_a_group_removes_everything_registered_in_it()
    {
        const int group = Interpreter::addGroup("Test");
        const int other = Interpreter::addGroup("Other");
        QVERIFY(Interpreter::addExternDefine("HAS_TEST", group));
        QVERIFY(Interpreter::addExternLibrary("test_lib", group));
        QVERIFY(Interpreter::addExternVariable("TEST_FLAG", 64, group));
        int calls = 0;
        QVERIFY(Interpreter::addExternFunction(
                "test_lib.f", 0,
                [&calls](const Variables &) {
                    ++calls;
                    return Variable(7);
                },
                group));
        QVERIFY(Interpreter::addExternFunction(
                "keep", 0, [](const Variables &) { return Variable(); }, other));
        ExternClass type;
        type.constructor = [](const Variables &) { return std::make_shared<int>(1); };
        QVERIFY(Interpreter::addExternClass("TestClass", type, group));

        Engine *engine = Engine::get();
        const int id = engine->findFunction("test_lib.f", 0);
        QVERIFY(id >= 0);
        QCOMPARE(engine->runFunction(Variable(id)).getInt(), 7);
        QCOMPARE(Interpreter::getVariable("TEST_FLAG").getInt(), 64);

        QVERIFY(Interpreter::removeGroup(group));
        QVERIFY(!Interpreter::isDefined("HAS_TEST"));
        QVERIFY(!Interpreter::isLibrary("test_lib"));
        QVERIFY(!Interpreter::isVariable("TEST_FLAG"));
        QVERIFY(!Interpreter::isClass("TestClass"));
        QCOMPARE(engine->findFunction("test_lib.f", 0), -1);
        // The stale id no longer reaches the function.
        QVERIFY(engine->runFunction(Variable(id)).isNone());
        QCOMPARE(QByteArray(engine->getError()), QByteArray("function not found"));
        QCOMPARE(calls, 1);
        QVERIFY(Interpreter::isFunction("keep"));
        QVERIFY(!Interpreter::removeGroup(group));
        Interpreter::removeGroup(other);
    }

    void unknown_functions_set_the_error_until_a_call_succeeds()
    {
        const int group = Interpreter::addGroup("Errors");
        Interpreter::addExternFunction(
                "ok", 1, [](const Variables &args) { return Variable(args[0].getInt() + 1); }, group);
        Engine *engine = Engine::get();
        enginetest::LogCapture log;
        QVERIFY(engine->runFunction(Variable(999999)).isNone());
        QVERIFY(engine->runFunction(Variable("missing")).isNone());
        QVERIFY(engine->runFunction(Variable("missing")).isNone());
        QCOMPARE(QByteArray(engine->getError()), QByteArray("function not found"));
        QCOMPARE(log.count(QStringLiteral("function not found: missing")), 1); // logged once
        QCOMPARE(engine->runFunction(Variable("ok"), Variable(41)).getInt(), 42);
        QCOMPARE(QByteArray(engine->getError()), QByteArray());
        // A wrong number of arguments is a failure too.
        QVERIFY(engine->runFunction(Variable(engine->findFunction("ok", 1))).isNone());
        QVERIFY(QByteArray(engine->getError()).contains("arguments"));
        Interpreter::removeGroup(group);
    }

    void default_argument_text_fills_missing_trailing_arguments()
    {
        const int group = Interpreter::addGroup("Defaults");
        Variables seen;
        Interpreter::addExternFunction(
                "f3", 3,
                [&seen](const Variables &args) {
                    seen = args;
                    return Variable();
                },
                group, ",,32");
        Engine *engine = Engine::get();
        QCOMPARE(engine->findFunction("f3", 1), -1);
        const int id = engine->findFunction("f3", 2);
        QVERIFY(id >= 0);
        QCOMPARE(engine->findFunction("f3", 3), id);
        QVERIFY(Interpreter::call(id, Variables{Variable(1), Variable("a")}).isNone());
        QCOMPARE(seen.size(), 3);
        QCOMPARE(QByteArray(seen[1].getString()), QByteArray("a"));
        QCOMPARE(seen[2].getInt(), 32);
        QVERIFY(Interpreter::call(id, Variables{Variable(1), Variable("a"), Variable(5)}).isNone());
        QCOMPARE(seen[2].getInt(), 5);
        Interpreter::removeGroup(group);
    }

    void classes_construct_call_and_release_script_owned_instances()
    {
        const int group = Interpreter::addGroup("Classes");
        struct Counter
        {
            int flags;
            std::string skin;
        };
        ExternClass type;
        type.constructor_args = 2;
        type.constructor_defaults = ",0";
        type.constructor = [](const Variables &args) {
            return std::make_shared<Counter>(Counter{args[0].getInt(), args[1].isString() ? args[1].getString() : ""});
        };
        type.addMethod("getFlags", 0,
                       [](void *self, const Variables &) { return Variable(static_cast<Counter *>(self)->flags); });
        QVERIFY(Interpreter::addExternClass("Counter", type, group));
        const Variable instance = Interpreter::construct("Counter", Variables{Variable(17)});
        QVERIFY(instance.isObject());
        QCOMPARE(QByteArray(instance.getTypeName()), QByteArray("Counter"));
        QCOMPARE(Interpreter::callMethod(instance, "getFlags", Variables()).getInt(), 17);
        QVERIFY(Interpreter::callMethod(instance, "nope", Variables()).isNone());
        QCOMPARE(Interpreter::getNumInstances("Counter"), 1);
        QVERIFY(Interpreter::release(instance));
        QVERIFY(!Interpreter::release(instance));
        QCOMPARE(Interpreter::getNumInstances("Counter"), 0);
        Interpreter::removeGroup(group);
    }

    void object_values_carry_engine_objects_and_read_null_on_mismatch()
    {
        void *interpreter = Engine::get()->getInterpreter();
        Ptr<Gui> gui = Gui::create("test/");
        Ptr<Widget> label = WidgetLabel::create(gui, "x");
        const Variable gui_value(interpreter, gui);
        const Variable widget_value(interpreter, label);
        QCOMPARE(gui_value.getGui(interpreter).get(), gui.get());
        QCOMPARE(widget_value.getWidget(interpreter).get(), label.get());
        QVERIFY(!gui_value.getWidget(interpreter));
        QVERIFY(!widget_value.getPlayer(interpreter));
        QVERIFY(!Variable(interpreter, Ptr<Gui>()).getGui(interpreter));
        QCOMPARE(Variable(2.75f).getInt(), 2);
        QCOMPARE(Variable("3").getInt(), 0);
    }

    void a_click_fires_the_button_callback_during_the_next_update()
    {
        Ptr<Gui> gui = Gui::create("test/");
        gui->setSize(300, 200);
        auto box = WidgetVBox::create(gui, 4, 4);
        auto button = WidgetButton::create(gui, "Load");
        auto slider = WidgetSlider::create(gui, 0, 100, 0);
        box->addChild(button);
        box->addChild(slider);
        gui->addChild(box, Gui::ALIGN_EXPAND);
        box->arrange();
        QVERIFY(box->getWidth() > 0 && box->getHeight() > 0);
        int clicks = 0;
        int changes = 0;
        button->addCallback(Gui::CLICKED, [&clicks] { ++clicks; });
        slider->addCallback(Gui::CHANGED, [&changes] { ++changes; });

        const int bx = button->getScreenPositionX() + 5;
        const int by = button->getScreenPositionY() + 5;
        gui->setMouse(bx, by, Gui::BUTTON_LEFT);
        gui->setMouse(bx, by, 0);
        QCOMPARE(clicks, 0);
        gui->update(0.0f);
        QCOMPARE(clicks, 1);
        // Released outside the button: no click.
        gui->setMouse(bx, by, Gui::BUTTON_LEFT);
        gui->setMouse(299, 199, 0);
        gui->update(0.0f);
        QCOMPARE(clicks, 1);

        const int sy = slider->getScreenPositionY() + 5;
        gui->setMouse(slider->getScreenPositionX() + slider->getWidth() - 5, sy, Gui::BUTTON_LEFT);
        gui->setMouse(slider->getScreenPositionX() + slider->getWidth() - 5, sy, 0);
        QCOMPARE(slider->getValue(), 100);
        // A widget dropped before the update never fires.
        button->addCallback(Gui::CLICKED, [] { QFAIL("dropped widget fired"); });
        gui->setMouse(bx, by, Gui::BUTTON_LEFT);
        gui->setMouse(bx, by, 0);
        box->removeChild(button);
        button.reset();
        gui->update(0.0f);
        QCOMPARE(changes, 1);
    }

    void engine_update_drives_every_gui()
    {
        Ptr<Gui> gui = Gui::create("test/");
        auto button = WidgetButton::create(gui, "Go");
        gui->addChild(button);
        button->arrange();
        int clicks = 0;
        button->addCallback(Gui::CLICKED, [&clicks] { ++clicks; });
        gui->setMouse(2, 2, Gui::BUTTON_LEFT);
        gui->setMouse(2, 2, 0);
        enginetest::Installation::frame();
        QCOMPARE(clicks, 1);
    }

    void windows_move_by_the_title_and_resize_by_their_edges()
    {
        Ptr<Gui> gui = Gui::create("test/");
        gui->enable(400, 300);
        auto window = WidgetWindow::create(gui, "Tool");
        window->setSizeable(true);
        window->addChild(WidgetLabel::create(gui, "content"));
        window->setPosition(50, 50);
        gui->addChild(window);
        window->arrange();
        int changes = 0;
        window->addCallback(Gui::CHANGED, [&changes] { ++changes; });

        gui->setMouse(80, 55, Gui::BUTTON_LEFT);
        QCOMPARE(gui->getMouseGrab(), int(Gui::GRAB_MOVE));
        QCOMPARE(gui->getMouseCursor(), int(Gui::CURSOR_MOVE));
        gui->setMouse(90, 75, Gui::BUTTON_LEFT);
        gui->setMouse(90, 75, 0);
        QCOMPARE(window->getPositionX(), 60);
        QCOMPARE(window->getPositionY(), 70);

        const int height = window->getHeight();
        gui->setMouse(61, 71, Gui::BUTTON_LEFT);
        QCOMPARE(gui->getMouseGrab(), int(Gui::GRAB_TOP | Gui::GRAB_LEFT));
        gui->setMouse(61, 61, Gui::BUTTON_LEFT);
        gui->setMouse(61, 61, 0);
        QCOMPARE(window->getPositionY(), 60);
        QCOMPARE(window->getHeight(), height + 10);
        gui->update(0.0f);
        QCOMPARE(changes, 2); // one move, one resize
        gui->render(0, 0, 0, 0);
        const QImage frame = gui->getImage();
        QCOMPARE(frame.size(), QSize(400, 300));
        QVERIFY(frame.pixelColor(70, 65).alpha() > 0);
        QCOMPARE(frame.pixelColor(10, 10).alpha(), 0);
    }

    void a_render_context_puts_the_gui_on_its_window()
    {
        QWindow window;
        window.resize(120, 80);
        window.show();
        Ptr<RenderContext> context = CustomApp::createContext();
        QVERIFY(!context->isReady());
        QVERIFY(context->createVisual());
        QVERIFY(!context->createContext(uintptr_t(0xdead), 120, 80)); // no such window
        QVERIFY(context->createContext(uintptr_t(window.winId()), 120, 80));
        QVERIFY(context->isReady());

        Ptr<Gui> gui = Gui::create("test/");
        auto button = WidgetButton::create(gui, "Ok");
        gui->addChild(button);
        button->setPosition(10, 10);
        button->arrange();
        button->setMouseCursor(Gui::CURSOR_HAND);
        QVERIFY(context->renderWindow());
        gui->enable(120, 80);
        gui->render(15, 15, 0, 0);
        gui->disable();
        QVERIFY(context->swapWindow());
        QCOMPARE(gui->getMouseCursor(), int(Gui::CURSOR_HAND));
        const QImage frame = context->getLastFrame();
        QCOMPARE(frame.size(), QSize(120, 80));
        QVERIFY(frame.pixelColor(15, 15) != frame.pixelColor(100, 70)); // the button is there
        QVERIFY(gui->getImage().isNull()); // nothing went to the Gui's own image

        // Later frames are drawn into the two images the context keeps, not
        // into new ones (the high half of a cache key names an image's data).
        QSet<qint64> images;
        for (int i = 0; i < 4; ++i) {
            QVERIFY(context->renderWindow());
            QVERIFY(context->swapWindow());
            images << (context->getLastFrame().cacheKey() >> 32);
        }
        QCOMPARE(images.size(), 2);

        window.destroy();
        QVERIFY(!context->isReady());
        QVERIFY(!context->renderWindow());
    }
};

QTEST_MAIN(TestScriptRegistry)
#include "tst_script_registry.moc"
