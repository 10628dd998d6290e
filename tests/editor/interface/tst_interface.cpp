#include "../../platform/engine/engine_runtime_fixture.h"

#include "editor/interface/interface.h"
#include "editor/interface/interface_plugin.h"
#include "editor/interface/interface_window.h"

#include <velmora/Gui.h>
#include <velmora/Interpreter.h>
#include <velmora/Log.h>
#include <velmora/RenderContext.h>
#include <velmora/Widget.h>

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>

#include <climits>

#include <memory>

#include <sys/resource.h>

using namespace Velmora;

namespace {

using HostApp = enginetest::WindowApp;

Vector<InterfaceScreen> oneScreen()
{
    return Vector<InterfaceScreen>{InterfaceScreen{1920, 1080, 0, 0}};
}

Vector<InterfaceScreen> twoScreens()
{
    return Vector<InterfaceScreen>{InterfaceScreen{1920, 1080, 0, 0}, InterfaceScreen{1920, 1080, 1920, 0}};
}

int callInt(const char *name, const Variables &args = Variables())
{
    return Interpreter::call(name, args).getInt();
}

// A content window of the window's own Gui, sizeable by its edges.
Ptr<WidgetWindow> addContent(InterfaceWindow *window, int width, int height)
{
    Ptr<WidgetWindow> content = WidgetWindow::create(window->getGui(), "content");
    content->setSizeable(true);
    content->setWidth(width);
    content->setHeight(height);
    window->setWidget(content);
    return content;
}

// One engine frame with the cursor at a global point and the buttons held.
void frameAt(HostApp &app, QPoint global, int buttons)
{
    QCursor::setPos(global);
    app.buttons = buttons;
    enginetest::Installation::frame();
}

// Pictures the script windows have shown so far.
int paints(Interface *interface)
{
    int total = 0;
    for (int i = 0; i < interface->getNumWindows(); ++i)
        if (const Ptr<RenderContext> context = interface->getWindow(i)->getRenderContext())
            total += context->getNumFrames();
    return total;
}

// Engine frames for a second, the pointer at a point inside the window
// (moved by step each frame) with the buttons held; the number run.
int framesOverASecond(HostApp &app, InterfaceWindow *window, QPoint point, QPoint step, int buttons)
{
    QElapsedTimer timer;
    timer.start();
    int frames = 0;
    for (; timer.elapsed() < 1000; ++frames) {
        frameAt(app, QPoint(window->getPositionX(), window->getPositionY()) + point + step * (frames % 20), buttons);
        QCoreApplication::processEvents();
    }
    return frames;
}

} // namespace

class TestInterface : public QObject
{
    Q_OBJECT

private:
    enginetest::Installation installation_;
    std::unique_ptr<HostApp> app_;
    std::unique_ptr<InterfacePlugin> plugin_;

    Interface *start(Interface::ScreenSource screens)
    {
        Interface::setScreenSource(std::move(screens));
        app_.reset(new HostApp);
        if (!installation_.start({}, app_.get()))
            return nullptr;
        plugin_.reset(new InterfacePlugin);
        Engine::get()->addPlugin(plugin_.get());
        return static_cast<Interface *>(plugin_->getData());
    }

private slots:
    void cleanup()
    {
        if (Engine::get() && plugin_)
            Engine::get()->removePlugin(plugin_.get());
        plugin_.reset();
        installation_.stop();
        app_.reset();
        Interface::setScreenSource(nullptr);
        InterfaceWindow::setFrameSource(nullptr);
    }

    void script_positions_stay_on_the_screens_data()
    {
        QTest::addColumn<bool>("two");
        QTest::addColumn<QString>("function");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("expected");
        QTest::newRow("left overshoot keeps 32 px") << false << "X" << -500 << 400 << -368;
        QTest::newRow("right overshoot") << false << "X" << 1900 << 400 << 1888;
        QTest::newRow("above the top") << false << "Y" << -10 << 300 << 0;
        QTest::newRow("near the bottom, default margin") << false << "Y" << 1070 << 300 << 1016;
        QTest::newRow("nearer second screen wins") << true << "X" << 5000 << 400 << 3808;
        QTest::newRow("visible on the later screen") << true << "X" << 2500 << 400 << 2500;
        QTest::newRow("millions of pixels off comes back") << false << "X" << 5000000 << 400 << 1888;
        QTest::newRow("largest int") << false << "Y" << INT_MAX << 300 << 1016;
        QTest::newRow("smallest int") << false << "X" << INT_MIN << 400 << -368;
    }
    void script_positions_stay_on_the_screens()
    {
        QFETCH(bool, two);
        QFETCH(QString, function);
        QFETCH(int, position);
        QFETCH(int, size);
        QFETCH(int, expected);
        QVERIFY(start(two ? twoScreens : oneScreen));
        // Two arguments: the margin comes from the registered default 32.
        const QByteArray name = "engine.interface.getVisiblePosition" + function.toLatin1();
        QCOMPARE(callInt(name.constData(), Variables{Variable(position), Variable(size)}), expected);
    }

    void script_api_is_registered_checked_and_removed_with_the_interface()
    {
        Interface *interface = start(twoScreens);
        QVERIFY(interface);
        QVERIFY(Interpreter::isDefined("HAS_INTERFACE"));
        QVERIFY(Interpreter::isLibrary("engine.interface"));
        const struct
        {
            const char *name;
            int args;
        } functions[] = {{"getWidth", 0},           {"getHeight", 0},          {"setMouse", 2},
                         {"getMouseX", 0},          {"getMouseY", 0},          {"getPositionX", 0},
                         {"getPositionY", 0},       {"getNumWindows", 0},      {"getWindow", 1},
                         {"findWindow", 1},         {"getNumScreens", 0},      {"getScreenWidth", 1},
                         {"getScreenHeight", 1},    {"getScreenPositionX", 1}, {"getScreenPositionY", 1},
                         {"getCenterPositionX", 1}, {"getCenterPositionY", 1}, {"getVisiblePositionX", 3},
                         {"getVisiblePositionY", 3}};
        for (const auto &f : functions) {
            const QByteArray name = QByteArray("engine.interface.") + f.name;
            QVERIFY2(Interpreter::findFunction(name.constData(), f.args) >= 0, name.constData());
        }
        const char *constants[] = {"TITLE", "FRAME", "MINIMIZE", "MAXIMIZE", "CLOSE", "DROP", "TOOLTIP"};
        for (int i = 0; i < 7; ++i)
            QCOMPARE(Interpreter::getVariable((QByteArray("INTERFACE_WINDOW_") + constants[i]).constData()).getInt(),
                     1 << i);
        QCOMPARE(callInt("engine.interface.getWidth"), 3840);
        QCOMPARE(callInt("engine.interface.getScreenPositionX", Variables{Variable(1)}), 1920);

        // Indexes from scripts are checked: empty results and a log line.
        enginetest::LogCapture log;
        QCOMPARE(callInt("engine.interface.getScreenWidth", Variables{Variable(2)}), 0);
        QCOMPARE(callInt("engine.interface.getScreenHeight", Variables{Variable(-1)}), 0);
        QVERIFY(Interpreter::call("engine.interface.getWindow", Variables{Variable(0)}).isNone());
        QCOMPARE(log.count(QStringLiteral("bad screen index")), 2);
        QCOMPARE(log.count(QStringLiteral("bad window index")), 1);

        // A script window, its methods through the class, and a window that
        // outlives the interface.
        const Variable window = Interpreter::construct("InterfaceWindow", Variables{Variable(0)});
        QVERIFY(window.isObject());
        QCOMPARE(Interpreter::callMethod(window, "getDropFileName", Variables{Variable(3)}).getString(),
                 QByteArray(""));
        Interpreter::callMethod(window, "setTitle", Variables{Variable("Größe")});
        QCOMPARE(static_cast<InterfaceWindow *>(window.getObjectHandle().get())->title(), QStringLiteral("Größe"));
        auto survivor = std::make_unique<InterfaceWindow>(0, nullptr);
        QCOMPARE(callInt("engine.interface.getNumWindows"), 2);

        Engine::get()->removePlugin(plugin_.get());
        plugin_.reset();
        QVERIFY(!Interpreter::isDefined("HAS_INTERFACE"));
        QVERIFY(!Interpreter::isFunction("engine.interface.getWidth"));
        QVERIFY(!Interpreter::isClass("InterfaceWindow"));
        QCOMPARE(Interpreter::getNumInstances("InterfaceWindow"), 0);
        QVERIFY(!Interface::find());
        // Detached: no use of the destroyed interface.
        survivor->setCenterPosition();
        survivor->setPosition(-9000, 20);
        QCOMPARE(survivor->getPositionX(), -9000);
        survivor.reset();
    }

    void list_order_and_centring()
    {
        Interface *interface = start(oneScreen);
        QVERIFY(interface);
        // No focused parent window and no host: centred on the engine window,
        // halves truncated toward zero.
        QCOMPARE(callInt("engine.interface.getCenterPositionX", Variables{Variable(401)}), 100 + (640 - 401) / 2);
        QCOMPARE(callInt("engine.interface.getCenterPositionY", Variables{Variable(600)}), 50 + (480 - 600) / 2);

        InterfaceWindow first(0, nullptr);
        InterfaceWindow second(2, nullptr);
        addContent(&second, 300, 200);
        QCOMPARE(interface->getWindow(0), &first);
        second.setHidden(false);
        QCOMPARE(interface->getWindow(0), &second);
        const Variable front = Interpreter::call("engine.interface.getWindow", Variables{Variable(0)});
        QCOMPARE(front.getObjectHandle().get(), static_cast<void *>(&second));
        Ptr<Gui> foreign = Gui::create();
        QCOMPARE(interface->findWindow(foreign), -1);
        QCOMPARE(interface->findWindow(first.getGui()), 1);

        // A focused parent window whose content is an engine window centres.
        second.setPosition(200, 100);
        QVERIFY(second.isFocused());
        QCOMPARE(interface->getCenterPositionX(101), 200 + (300 - 101) / 2);
        second.setParent(false);
        QCOMPARE(interface->getCenterPositionX(101), 100 + (640 - 101) / 2);
    }

    void flags_and_defaults_data()
    {
        QTest::addColumn<int>("flags");
        QTest::addColumn<int>("expected");
        QTest::newRow("none") << 0 << int(Qt::Tool | Qt::FramelessWindowHint);
        QTest::newRow("tooltip wins") << (64 | 1)
                                      << int(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
        QTest::newRow("title and close without frame")
                << (1 | 16) << int(Qt::FramelessWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
        QTest::newRow("frame, buttons, drop")
                << (2 | 4 | 8 | 32) << int(Qt::Tool | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint);
    }
    void flags_and_defaults()
    {
        QFETCH(int, flags);
        QFETCH(int, expected);
        QVERIFY(start(oneScreen));
        InterfaceWindow window(flags, "skin");
        QCOMPARE(int(window.flags()), expected);
        QCOMPARE(window.getWidth(), 16);
        QCOMPARE(window.getHeight(), 16);
        QVERIFY(window.isMoveable() && window.isParent() && window.isHidden() && !window.isFocused());
        QCOMPARE(QByteArray(window.getTitle()), QByteArray());
        QCOMPARE(QByteArray(window.getGui()->getSkin()), QByteArray("skin"));
        window.setWidth(0);
        window.setHeight(-5);
        QCOMPARE(window.getWidth(), 1);
        QCOMPARE(window.getHeight(), 1);
        QCOMPARE(window.objectName(), QStringLiteral("interface window"));
        QCOMPARE(qobject_cast<Plugins::InterfaceWindow *>(static_cast<QObject *>(&window)),
                 static_cast<Plugins::InterfaceWindow *>(&window));
    }

    // Sizes are kept within the desktop as positions are kept on its
    // screens, and a framed window's place is its frame's: the title bar
    // lands on the screen with the rest.
    void a_window_and_its_frame_stay_within_the_screens()
    {
        QVERIFY(start(oneScreen));
        InterfaceWindow window(Interface::WINDOW_TITLE | Interface::WINDOW_FRAME | Interface::WINDOW_CLOSE, nullptr);
        window.setWidth(INT_MAX);
        window.setHeight(INT_MAX);
        QCOMPARE(window.getWidth(), 1920);
        QCOMPARE(window.getHeight(), 1080);
        window.setHidden(false);
        enginetest::Installation::frame();
        QCOMPARE(window.size(), QSize(1920, 1080));

        addContent(&window, 300, 200);
        window.setPosition(100, -5000);
        enginetest::Installation::frame();
        QCOMPARE(window.framePosition(), QPoint(window.getPositionX(), 0));
    }

    // A window manager frames a window only once it is shown: asked for a
    // place above the screen, the window is placed again inside its frame
    // once the frame is known, title bar on the screen.
    void a_framed_window_is_placed_again_once_its_frame_is_known()
    {
        QVERIFY(start(oneScreen));
        QMargins frame; // no frame before the window is shown
        InterfaceWindow::setFrameSource([&frame](const InterfaceWindow &) { return frame; });
        InterfaceWindow window(Interface::WINDOW_TITLE | Interface::WINDOW_FRAME | Interface::WINDOW_CLOSE, nullptr);
        addContent(&window, 300, 96);
        window.setPosition(990, -5000);
        QCOMPARE(window.position(), QPoint(990, 0));
        window.setHidden(false);
        enginetest::Installation::frame();

        frame = QMargins(1, 20, 1, 5); // the frame arrives
        enginetest::Installation::frame();
        QTRY_COMPARE(window.position(), QPoint(991, 20));
        enginetest::Installation::frame();
        QCOMPARE(window.position(), QPoint(991, 20));
        QCOMPARE(QPoint(window.getPositionX(), window.getPositionY()), QPoint(990, 0));

        // Moved by the window manager (the user dragging the title bar):
        // the place is the frame's corner.
        window.QWindow::setPosition(401, 320);
        QTRY_COMPARE(QPoint(window.getPositionX(), window.getPositionY()), QPoint(400, 300));
        enginetest::Installation::frame();
        QCOMPARE(window.position(), QPoint(401, 320));
    }

    void content_widget_moves_and_resizes_the_window()
    {
        QVERIFY(start(oneScreen));
        HostApp &app = *app_;
        InterfaceWindow window(0, nullptr);
        Ptr<WidgetWindow> content = addContent(&window, 200, 120);
        QVERIFY(!content->isMoveable()); // the native window moves instead
        window.setPosition(400, 300);
        window.setHidden(false);
        frameAt(app, QPoint(0, 0), 0);
        const int right = window.getPositionX() + window.getWidth();
        const int bottom = window.getPositionY() + window.getHeight();

        // Left edge: pressed at (1, 60) of the window, dragged 30 px left.
        frameAt(app, QPoint(401, 360), 1);
        frameAt(app, QPoint(371, 360), 1);
        frameAt(app, QPoint(371, 360), 1);
        QCOMPARE(window.getWidth(), content->getWidth());
        QVERIFY(window.getWidth() > 200);
        QCOMPARE(window.getPositionX() + window.getWidth(), right);
        frameAt(app, QPoint(371, 360), 0);

        // Top edge, dragged 20 px up: the bottom edge stays.
        const int x = window.getPositionX();
        frameAt(app, QPoint(x + 60, 301), 1);
        frameAt(app, QPoint(x + 60, 281), 1);
        frameAt(app, QPoint(x + 60, 281), 1);
        QVERIFY(window.getHeight() > 120);
        QCOMPARE(window.getPositionY() + window.getHeight(), bottom);
        frameAt(app, QPoint(x + 60, 281), 0);

        // Title bar: the window follows the global mouse deltas until the
        // application's left button is released.
        const QPoint start(window.getPositionX() + 80, window.getPositionY() + 10);
        frameAt(app, start, 1);
        for (int step = 1; step <= 3; ++step)
            frameAt(app, start + QPoint(step, step), 1);
        const QPoint from(window.getPositionX(), window.getPositionY());
        frameAt(app, start + QPoint(53, 43), 1);
        frameAt(app, start + QPoint(53, 43), 1);
        QCOMPARE(QPoint(window.getPositionX(), window.getPositionY()), from + QPoint(50, 40));
        QCOMPARE(window.cursor().shape(), Qt::SizeAllCursor);
        frameAt(app, start + QPoint(53, 43), 0);
        frameAt(app, start + QPoint(90, 90), 0);
        QCOMPARE(QPoint(window.getPositionX(), window.getPositionY()), from + QPoint(50, 40));

        // The render context shows the Gui: the content's title bar is
        // painted at the top-left of the last frame.
        const Ptr<RenderContext> context = window.getRenderContext();
        QVERIFY(context && context->getNumFrames() > 0);
        const QImage frame = context->getLastFrame();
        QCOMPARE(frame.size(), QSize(window.getWidth(), window.getHeight()));
        QVERIFY(frame.pixelColor(10, 10) != frame.pixelColor(10, window.getHeight() - 10));

        // A click the window's own widgets take is not the engine's: pressing
        // a button inside the content clears the application's buttons.
        Ptr<WidgetButton> button = WidgetButton::create(window.getGui(), "press");
        content->addChild(button);
        window.setFocus();
        frameAt(app, QPoint(0, 0), 0);
        content->arrange();
        const QPoint inside(window.getPositionX() + button->getScreenPositionX() + 3,
                            window.getPositionY() + button->getScreenPositionY() + 3);
        frameAt(app, inside, 1);
        QCOMPARE(window.getGui()->getFocus(), static_cast<Widget *>(button.get()));
        QCOMPARE(app.buttons, 0);
    }

    // Script windows rest with the editor: one picture of what they show
    // until it changes, whatever the frames and the pointer do.
    void script_windows_paint_only_what_changed_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("least");
        QTest::addColumn<int>("most");
        QTest::addColumn<bool>("picture");
        QTest::newRow("nothing") << "" << 0 << 0 << false;
        QTest::newRow("the pointer moving over a window") << "pointer" << 0 << 0 << false;
        QTest::newRow("a label's text set by a script") << "text" << 1 << 1 << true;
        QTest::newRow("the content pressed and held, taking the focus") << "press" << 1 << 1 << true;
        // The window system may expose the resized window once more.
        QTest::newRow("a new width") << "size" << 1 << 2 << true;
        QTest::newRow("an expose") << "expose" << 1 << 1 << false;
        QTest::newRow("hidden and shown again") << "show" << 1 << 2 << false;
    }
    void script_windows_paint_only_what_changed()
    {
        QFETCH(QString, change);
        QFETCH(int, least);
        QFETCH(int, most);
        QFETCH(bool, picture);
        Interface *interface = start(oneScreen);
        QVERIFY(interface);
        Console::run("interface_demo");
        Console::flush();
        QCOMPARE(interface->getNumWindows(), 2);
        InterfaceWindow *window = interface->getWindow(0);
        QCOMPARE(QByteArray(window->getTitle()), QByteArray("Script window"));
        // Shown and painted, then resting: five frames without a picture.
        int settled = 0;
        for (int tries = 0; tries < 100 && settled < 5; ++tries) {
            const int before = paints(interface);
            frameAt(*app_, QPoint(0, 0), 0);
            QCoreApplication::processEvents();
            const bool shown = window->isExposed() && interface->getWindow(1)->isExposed();
            settled = shown && paints(interface) == before ? settled + 1 : 0;
        }
        QCOMPARE(settled, 5);
        const int before = paints(interface);
        const QImage shown = window->getRenderContext()->getLastFrame();

        QPoint step;
        int buttons = 0;
        if (change == QLatin1String("pointer")) {
            step = QPoint(3, 1);
        } else if (change == QLatin1String("text")) {
            static_cast<WidgetLabel *>(window->getWidget()->getChild(0).get())->setText("Changed by the script.");
        } else if (change == QLatin1String("press")) {
            buttons = 1;
        } else if (change == QLatin1String("size")) {
            window->setWidth(window->getWidth() + 10);
        } else if (change == QLatin1String("expose")) {
            QExposeEvent expose(QRegion(0, 0, window->getWidth(), window->getHeight()));
            QCoreApplication::sendEvent(window, &expose);
        } else if (change == QLatin1String("show")) {
            window->setHidden(true);
            frameAt(*app_, QPoint(0, 0), 0);
            window->setHidden(false);
        }
        QVERIFY(framesOverASecond(*app_, window, QPoint(40, 40), step, buttons) >= 10);
        const int painted = paints(interface) - before;
        QVERIFY2(painted >= least && painted <= most, qPrintable(QString::number(painted)));
        QCOMPARE(window->getRenderContext()->getLastFrame() != shown, picture);
    }

    void focus_hide_and_reset()
    {
        Interface *interface = start(oneScreen);
        QVERIFY(interface);
        InterfaceWindow owner(0, nullptr);
        Ptr<WidgetWindow> owner_content = addContent(&owner, 100, 80);
        InterfaceWindow tooltip(64, nullptr);
        owner.setHidden(false);
        QCOMPARE(interface->getWindow(0), &owner);
        tooltip.setFocus();
        QVERIFY(!tooltip.isFocused());
        QCOMPARE(interface->getWindow(0), &owner);

        QVERIFY(QTest::qWaitForWindowActive(&owner));

        // Permanent focus needs the real focus too.
        InterfaceWindow modal(0, nullptr);
        addContent(&modal, 100, 80);
        modal.setHidden(false);
        QCOMPARE(modal.getPreviousWindow(), &owner);
        QFocusEvent out(QEvent::FocusOut);
        QCoreApplication::sendEvent(&modal, &out);
        modal.setPermanentFocus();
        QVERIFY(!modal.isPermanentlyFocused());
        QFocusEvent in(QEvent::FocusIn);
        QCoreApplication::sendEvent(&modal, &in);
        QVERIFY(modal.isPermanentlyFocused());
        QCOMPARE(modal.modality(), Qt::ApplicationModal);

        // Hiding hands the activation back to the window focused before it
        // was shown, showing it again.
        owner.QWindow::hide();
        modal.setHidden(true);
        QVERIFY(modal.isHidden());
        QCOMPARE(modal.modality(), Qt::NonModal);
        QVERIFY(!owner.isHidden());
        QVERIFY(QTest::qWaitForWindowActive(&owner));
        // ... unless it is a script window whose content is hidden.
        modal.setHidden(false);
        QCOMPARE(modal.getPreviousWindow(), &owner);
        owner.QWindow::hide();
        owner_content->setHidden(true);
        modal.setHidden(true);
        QVERIFY(owner.isHidden());

        // A close request without a host hides the window for the script.
        owner_content->setHidden(false);
        owner.setHidden(false);
        QCloseEvent close;
        QCoreApplication::sendEvent(&owner, &close);
        QVERIFY(owner.isHidden());

        // Per frame a hidden window drops its render context; a reset gives
        // a visible one a new context and keeps title and position.
        owner.setHidden(false);
        owner.setTitle("kept");
        owner.setPosition(300, 200);
        enginetest::Installation::frame();
        QVERIFY(owner.getRenderContext()->isCreated());
        QVERIFY(!modal.getRenderContext()->isCreated());
        Console::run("video_restart");
        Console::flush();
        QVERIFY(owner.getRenderContext()->isCreated());
        QCOMPARE(owner.title(), QStringLiteral("kept"));
        QCOMPARE(QPoint(owner.getPositionX(), owner.getPositionY()), QPoint(300, 200));
        QVERIFY(owner.getGui()->isChild(owner_content));
    }

    void destroyed_window_ignores_its_old_widget()
    {
        QVERIFY(start(oneScreen));
        auto window = std::make_unique<InterfaceWindow>(0, nullptr);
        Ptr<WidgetWindow> content = addContent(window.get(), 100, 80);
        window.reset();
        QCOMPARE(content->getNumCallbacks(Gui::CHANGED), 0);
        content->runCallbacks(Gui::CHANGED); // must not reach the destroyed window
        QCOMPARE(Interface::get()->getNumWindows(), 0);
    }

    void second_interface_and_list_misuse_are_fatal_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("expected");
        QTest::newRow("second") << "second"
                                << "Interface::Interface(): interface is already created";
        QTest::newRow("raise")
                << "raise"
                << "lib/editor/interface/Interface:149: Assertion: 'windows.find(window) != windows.end() && "
                   "\"Interface::raise_window(): can't find window\"'";
    }
    void second_interface_and_list_misuse_are_fatal()
    {
        QFETCH(QString, mode);
        QFETCH(QString, expected);
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--fatal"), mode});
        QVERIFY(child.waitForFinished(60000));
        QVERIFY(child.exitStatus() == QProcess::CrashExit || child.exitCode() != 0);
        QVERIFY2(child.readAllStandardError().contains(expected.toUtf8()), qPrintable(expected));
    }
};

// Child mode of the fatal test: make the fault, which never returns.
int runFatalChild(const QString &mode)
{
    Interface::setScreenSource(oneScreen);
    Interface first;
    if (mode == QLatin1String("second")) {
        Interface second;
    } else {
        InterfaceWindow window(0, nullptr);
        first.remove_window(&window);
        first.raise_window(&window);
    }
    return 0;
}

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--fatal") {
        const rlimit no_core{0, 0};
        setrlimit(RLIMIT_CORE, &no_core);
        return runFatalChild(QString::fromLatin1(argv[2]));
    }
    TestInterface test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_interface.moc"
